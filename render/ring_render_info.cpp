#include "render/ring_render_info.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "render/thread_state.h"

RingRenderInfo NewRingRenderInfo() noexcept {
    // Every byte zero, padding included, so no noise offset and no stale bytes.
    RingRenderInfo info;
    std::memset(&info, 0, sizeof info);
    return info;
}

int32_t ScatterSeedFromValue(double scatter_value) noexcept {
    const double product = scatter_value * scatter_value * 256.0;
    if (std::isnan(product)) {
        return 0;
    }
    // Only values within the int32 range may be converted; beyond it saturate.
    if (product >= 2147483648.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (product <= -2147483649.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(product);
}

void FillRingRenderInfo(RingRenderInfo &info, const RingParamValues &values, const RingFrameScales &scales) noexcept {
    // Single precision, strictly left to right, as the host's scale factors are meant.
    float x_scale = static_cast<float>(scales.pixel_aspect_ratio.num) /
                    static_cast<float>(scales.pixel_aspect_ratio.den);
    x_scale = x_scale * static_cast<float>(scales.downsample_x.den);
    x_scale = x_scale / static_cast<float>(scales.downsample_x.num);
    x_scale = x_scale * static_cast<float>(scales.downsample_y.num);
    x_scale = x_scale / static_cast<float>(scales.downsample_y.den);
    info.x_scale = static_cast<double>(x_scale);

    info.opacity = values.opacity / 100.0;
    info.center_x = static_cast<double>(values.center_x) / 65536.0;
    info.center_y = static_cast<double>(values.center_y) / 65536.0;
    info.color1_float = values.color1;
    info.color2_float = values.color2;

    const float vertical = static_cast<float>(scales.downsample_y.num) / static_cast<float>(scales.downsample_y.den);
    const double v = static_cast<double>(vertical);
    info.radius = values.radius * v;
    info.feather = values.feather * v;
    info.expand = values.expand / 100.0;
    info.scatter = values.scatter * 0.000001;
    info.scatter_seed = ScatterSeedFromValue(values.scatter);
    info.smooth = static_cast<uint8_t>(values.smooth & 0xFF);
    info.blend_mode = values.blend_mode;
}

void AdjustRingRenderInfo(RingRenderInfo &info, int32_t origin_x, int32_t origin_y) noexcept {
    info.center_x = (info.center_x - static_cast<double>(origin_x)) * info.x_scale;
    info.center_y = info.center_y - static_cast<double>(origin_y);
    // The noise belongs to the layer: row seeds and each column's place in
    // its row's sequence follow layer coordinates, so a tile shows the same
    // grain as the whole frame at the same pixels.
    info.row_offset = origin_y;
    info.discard_count = origin_x;
    if (0.0 < info.expand) {
        info.inner_offset = 1.0 - (1.0 / info.expand);
    }
    // The record is complete for this frame: no thread may go on with a plan
    // made for what lay here before.
    BeginRingFrame(info);
}
