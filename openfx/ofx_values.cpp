#include "openfx/ofx_values.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "params/ring_params.h"

namespace {

// Ranges of the module's sliders; every minimum is 0.
constexpr double OFX_RADIUS_MAX = 10000.0;
constexpr double OFX_FEATHER_MAX = 10000.0;
constexpr double OFX_PERCENT_MAX = 100.0;
constexpr double OFX_SCATTER_MAX = 512.0;
constexpr double OFX_COLOR1_DEFAULT[3] = {1.0, 1.0, 1.0};
constexpr double OFX_COLOR2_DEFAULT[3] = {0.0, 127.0 / 255.0, 1.0};
constexpr int OFX_BLEND_COUNT = 5;

// A point holds 16.16 pixels; the centre stays where that can reach.
constexpr double OFX_POINT_LIMIT = 32767.0;

// The largest denominator a ratio is looked for with.
constexpr uint32_t OFX_RATIONAL_DENOMINATOR_LIMIT = 1u << 20;

double Clamped(double value, double low, double high, double fallback) noexcept {
    if (std::isnan(value)) {
        return fallback;
    }
    return value < low ? low : (value > high ? high : value);
}

double Finite(double value, double fallback) noexcept { return std::isfinite(value) ? value : fallback; }

// Rounded to the nearest 1/65536 pixel, as the host stores a point.
PF_Fixed PointFixed(double pixels) noexcept {
    const double held = Clamped(pixels, -OFX_POINT_LIMIT, OFX_POINT_LIMIT, 0.0);
    return static_cast<PF_Fixed>(std::lround(held * 65536.0));
}

// A colour channel as a float, within what a float holds.
float ColorChannel(double value) noexcept {
    return static_cast<float>(Clamped(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX), 0.0));
}

PF_PixelFloat Color(const double (&channels)[3]) noexcept {
    return PF_PixelFloat{1.0f, ColorChannel(channels[0]), ColorChannel(channels[1]), ColorChannel(channels[2])};
}

}  // namespace

int32_t FloorToInt32(double value) noexcept {
    if (std::isnan(value)) {
        return 0;
    }
    const double floored = std::floor(value);
    if (floored <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    if (floored >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(floored);
}

int32_t CeilToInt32(double value) noexcept { return std::isnan(value) ? 0 : FloorToInt32(std::ceil(value)); }

OfxRingValues SanitizedRingValues(const OfxRingValues &values, const OfxRectD &source_rod) noexcept {
    OfxRingValues held = values;
    const double middle_x = Finite((source_rod.x1 + source_rod.x2) * 0.5, 0.0);
    const double middle_y = Finite((source_rod.y1 + source_rod.y2) * 0.5, 0.0);
    held.center_x = Finite(values.center_x, middle_x);
    held.center_y = Finite(values.center_y, middle_y);
    held.radius = Clamped(values.radius, 0.0, OFX_RADIUS_MAX, 100.0);
    held.feather = Clamped(values.feather, 0.0, OFX_FEATHER_MAX, 3.0);
    held.expand = Clamped(values.expand, 0.0, OFX_PERCENT_MAX, 50.0);
    held.opacity = Clamped(values.opacity, 0.0, OFX_PERCENT_MAX, 100.0);
    held.scatter = Clamped(values.scatter, 0.0, OFX_SCATTER_MAX, 0.0);
    for (int c = 0; c < 3; ++c) {
        held.color1[c] = Finite(values.color1[c], OFX_COLOR1_DEFAULT[c]);
        held.color2[c] = Finite(values.color2[c], OFX_COLOR2_DEFAULT[c]);
    }
    held.smooth = values.smooth != 0 ? 1 : 0;
    if (values.blend_index < 0 || values.blend_index >= OFX_BLEND_COUNT) {
        held.blend_index = 0;
    }
    return held;
}

PF_RationalScale RationalFromDouble(double value) noexcept {
    if (!(value > 0.0) || !std::isfinite(value)) {
        return PF_RationalScale{1, 1};
    }
    if (value >= 2147483647.0) {
        return PF_RationalScale{2147483647, 1};
    }
    // Continued fraction convergents h/k until exact or k would pass the limit.
    double h_prev = 1.0, h = std::floor(value);
    double k_prev = 0.0, k = 1.0;
    double rest = value - h;
    while (rest > 0.0 && h / k != value) {
        const double inverse = 1.0 / rest;
        const double term = std::floor(inverse);
        const double h_next = term * h + h_prev;
        const double k_next = term * k + k_prev;
        if (k_next > static_cast<double>(OFX_RATIONAL_DENOMINATOR_LIMIT) || h_next > 2147483647.0) {
            break;
        }
        h_prev = h;
        k_prev = k;
        h = h_next;
        k = k_next;
        rest = inverse - term;
    }
    if (h < 1.0) {
        // Smaller than any fraction within the limit: the smallest.
        return PF_RationalScale{1, OFX_RATIONAL_DENOMINATOR_LIMIT};
    }
    return PF_RationalScale{static_cast<A_long>(h), static_cast<A_u_long>(k)};
}

OfxLayerOrigin LayerOrigin(const OfxRectD &source_rod, double sx, double sy, double par) noexcept {
    return OfxLayerOrigin{FloorToInt32(source_rod.x1 * sx / par), CeilToInt32(source_rod.y2 * sy)};
}

RingRenderInfo OfxRingRenderInfo(const OfxRingValues &values, const OfxRectD &source_rod, double sx, double sy,
                                 double par) noexcept {
    const OfxRingValues held = SanitizedRingValues(values, source_rod);
    RingParamValues ring{};
    ring.center_x = PointFixed((held.center_x - source_rod.x1) * sx / par);
    ring.center_y = PointFixed((source_rod.y2 - held.center_y) * sy);
    ring.radius = held.radius;
    ring.feather = held.feather;
    ring.expand = held.expand;
    ring.opacity = held.opacity;
    ring.scatter = held.scatter;
    ring.color1 = Color(held.color1);
    ring.color2 = Color(held.color2);
    ring.smooth = held.smooth;
    ring.blend_mode = BLEND_NONE + held.blend_index;

    const RingFrameScales scales{RationalFromDouble(par), RationalFromDouble(sx), RationalFromDouble(sy)};
    RingRenderInfo info = NewRingRenderInfo();
    FillRingRenderInfo(info, ring, scales);
    return info;
}
