#include "web/web_shading.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "render/row_shading.h"

namespace {

// Rounded to nearest, halves away from zero, held within the 32-bit range;
// NaN gives the lowest value, as our host converts a point.
int32_t HeldInt32(double value) noexcept {
    constexpr double lowest = static_cast<double>(std::numeric_limits<int32_t>::min());
    constexpr double highest = static_cast<double>(std::numeric_limits<int32_t>::max());
    if (!(value >= lowest)) {
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= highest) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(std::lround(value));
}

uint32_t HeldUint32(double value) noexcept {
    if (!(value >= 0.0)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
        return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(std::lround(value));
}

// The host's colour is 8-bit; it hands the effect each channel over 255.
PF_PixelFloat FloatColor(double rgb) noexcept {
    const uint32_t bits = HeldUint32(rgb);
    const PF_Pixel pixel{255, static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
                         static_cast<uint8_t>(bits)};
    return PF_PixelFloat{pixel.alpha / 255.0f, pixel.red / 255.0f, pixel.green / 255.0f, pixel.blue / 255.0f};
}

RingRenderInfo CompleteRecord(const RingParamValues &values, const RingFrameScales &scales, int32_t origin_x,
                              int32_t origin_y) noexcept {
    RingRenderInfo info = NewRingRenderInfo();
    FillRingRenderInfo(info, values, scales);
    AdjustRingRenderInfo(info, origin_x, origin_y);
    return info;
}

}  // namespace

RingRenderInfo WebRenderInfo(const double (&values)[WEB_VALUE_COUNT], uint32_t downsample,
                             int32_t first_row) noexcept {
    const PF_RationalScale one{1, 1};
    const PF_RationalScale reduced{1, downsample == 0 ? 1u : downsample};
    RingParamValues ring{};
    // The point in full-size pixels, scaled to the proxy, then to 16.16.
    const auto fixed = [&](double pixels) {
        return HeldInt32(pixels * static_cast<double>(reduced.num) / static_cast<double>(reduced.den) * 65536.0);
    };
    ring.center_x = fixed(values[WEB_CENTER_X]);
    ring.center_y = fixed(values[WEB_CENTER_Y]);
    ring.radius = values[WEB_RADIUS];
    ring.feather = values[WEB_FEATHER];
    ring.expand = values[WEB_EXPAND];
    ring.opacity = values[WEB_OPACITY];
    ring.scatter = values[WEB_SCATTER];
    ring.color1 = FloatColor(values[WEB_COLOR1]);
    ring.color2 = FloatColor(values[WEB_COLOR2]);
    ring.smooth = HeldInt32(values[WEB_SMOOTH]);
    ring.blend_mode = HeldInt32(values[WEB_BLEND]);
    return CompleteRecord(ring, RingFrameScales{one, reduced, reduced}, 0, first_row);
}

RingRenderInfo WebRecordFromNumbers(const double (&numbers)[WEB_RECORD_NUMBERS]) noexcept {
    const auto color = [&](int first) {
        return PF_PixelFloat{static_cast<float>(numbers[first]), static_cast<float>(numbers[first + 1]),
                             static_cast<float>(numbers[first + 2]), static_cast<float>(numbers[first + 3])};
    };
    const auto ratio = [&](int first) {
        return PF_RationalScale{HeldInt32(numbers[first]), HeldUint32(numbers[first + 1])};
    };
    RingParamValues ring{};
    ring.center_x = HeldInt32(numbers[0]);
    ring.center_y = HeldInt32(numbers[1]);
    ring.radius = numbers[2];
    ring.feather = numbers[3];
    ring.expand = numbers[4];
    ring.opacity = numbers[5];
    ring.scatter = numbers[6];
    ring.color1 = color(7);
    ring.color2 = color(11);
    ring.smooth = HeldInt32(numbers[15]);
    ring.blend_mode = HeldInt32(numbers[16]);
    return CompleteRecord(ring, RingFrameScales{ratio(17), ratio(19), ratio(21)}, HeldInt32(numbers[23]),
                          HeldInt32(numbers[24]));
}

void ShadeWebFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in,
                   uint8_t *out) noexcept {
    if (in == nullptr || out == nullptr) {
        return;
    }
    // Whole rows from x = 0 through the row routine: the pixel function's
    // bytes, without a call per pixel.
    for (uint32_t y = 0; y < height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width * 4;
        ShadeRowRgba8(info, 0, static_cast<int32_t>(y), width, in + row, out + row);
    }
}
