#include "render/pixel_functions.h"

#include <cmath>
#include <limits>

#include "params/ring_params.h"
#include "render/ring_coverage.h"

int64_t TruncateToInt64(double v) noexcept {
    if (v >= -9223372036854775808.0 && v < 9223372036854775808.0) {
        return static_cast<int64_t>(v);
    }
    return std::numeric_limits<int64_t>::min();
}

namespace {

// Keeps the low 8 or 16 bits of the truncated value, as the channel holds them.
template <typename Channel>
Channel StoreChannel(double v) noexcept {
    return static_cast<Channel>(static_cast<uint64_t>(TruncateToInt64(v)));
}

// Output alpha of the ring composited over a source of alpha a.
inline float OverAlpha(float a, float coverage) noexcept { return 1.0f - (1.0f - a) * (1.0f - coverage); }

// The ring's share of the composite. Capped at 1: in single precision a tiny
// coverage over a transparent source can give oa slightly below the
// coverage, and a weight above 1 would wrap integer channels.
inline float RingWeight(float coverage, float oa) noexcept {
    if (oa == 0.0f || std::isnan(oa)) {
        return 0.0f;
    }
    const float w = coverage / oa;
    return w > 1.0f ? 1.0f : w;
}

template <typename Pixel, typename Channel, uint32_t FULL>
void ShadeInteger(const RingRenderInfo &info, int32_t x, int32_t y, const Pixel &in, Pixel &out) noexcept {
    constexpr float full_f = static_cast<float>(FULL);
    constexpr double full_d = static_cast<double>(FULL);
    const RingSample ring = RingCoverage(info, x, y);
    const float coverage = static_cast<float>(ring.f);
    const float ring_color[3] = {ring.red, ring.green, ring.blue};
    const Channel source[3] = {in.red, in.green, in.blue};
    Channel *const dest[3] = {&out.red, &out.green, &out.blue};

    switch (info.blend_mode) {
    case BLEND_NONE:
        for (int k = 0; k < 3; ++k) {
            *dest[k] = StoreChannel<Channel>(static_cast<double>(ring_color[k] * full_f));
        }
        out.alpha = StoreChannel<Channel>(ring.f * full_d);
        break;
    case BLEND_NORMAL: {
        const float oa = OverAlpha(static_cast<float>(in.alpha) / full_f, coverage);
        const float w = RingWeight(coverage, oa);
        for (int k = 0; k < 3; ++k) {
            const float v = (1.0f - w) * static_cast<float>(source[k]) + (w * ring_color[k]) * full_f;
            *dest[k] = StoreChannel<Channel>(static_cast<double>(v));
        }
        out.alpha = StoreChannel<Channel>(static_cast<double>(oa * full_f));
        break;
    }
    case BLEND_ADD: {
        const float source_alpha = static_cast<float>(in.alpha) / full_f;
        const float oa = OverAlpha(source_alpha, coverage);
        const float w = RingWeight(coverage, oa);
        for (int k = 0; k < 3; ++k) {
            const float sum = static_cast<float>(source[k]) / full_f + ring_color[k];
            const float mix = (1.0f - source_alpha) * ring_color[k] + source_alpha * sum;
            double v = (1.0 - static_cast<double>(w)) * static_cast<double>(source[k]) +
                       static_cast<double>((w * mix) * full_f);
            if (v >= full_d) {
                v = full_d;
            }
            *dest[k] = StoreChannel<Channel>(v);
        }
        out.alpha = StoreChannel<Channel>(static_cast<double>(oa * full_f));
        break;
    }
    case BLEND_STENCIL_MULTIPLY:
    case BLEND_STENCIL_MULTIPLY_ALPHA: {
        const float source_alpha = static_cast<float>(in.alpha) / full_f;
        Channel stored[3];
        for (int k = 0; k < 3; ++k) {
            const float product = (static_cast<float>(source[k]) * source_alpha) * ring_color[k];
            stored[k] = StoreChannel<Channel>(static_cast<double>(product) * ring.f);
        }
        if (info.blend_mode == BLEND_STENCIL_MULTIPLY) {
            for (int k = 0; k < 3; ++k) {
                *dest[k] = stored[k];
            }
            out.alpha = static_cast<Channel>(FULL);
            break;
        }
        Channel brightest = stored[0];
        if (stored[1] > brightest) brightest = stored[1];
        if (stored[2] > brightest) brightest = stored[2];
        out.alpha = brightest;
        for (int k = 0; k < 3; ++k) {
            *dest[k] = brightest > 0 ? StoreChannel<Channel>(static_cast<double>(stored[k]) * full_d /
                                                             static_cast<double>(brightest))
                                     : Channel{0};
        }
        break;
    }
    default:
        break;  // an unknown mode leaves the destination as the host had it
    }
}

void ShadeFloat(const RingRenderInfo &info, int32_t x, int32_t y, const PF_PixelFloat &in,
                PF_PixelFloat &out) noexcept {
    const RingSample ring = RingCoverage(info, x, y);
    const float coverage = static_cast<float>(ring.f);
    const float ring_color[3] = {ring.red, ring.green, ring.blue};
    const float source[3] = {in.red, in.green, in.blue};
    float *const dest[3] = {&out.red, &out.green, &out.blue};

    switch (info.blend_mode) {
    case BLEND_NONE:
        for (int k = 0; k < 3; ++k) {
            *dest[k] = ring_color[k];
        }
        out.alpha = coverage;
        break;
    case BLEND_NORMAL: {
        const float oa = OverAlpha(in.alpha, coverage);
        const float w = RingWeight(coverage, oa);
        for (int k = 0; k < 3; ++k) {
            *dest[k] = (1.0f - w) * source[k] + w * ring_color[k];
        }
        out.alpha = oa;
        break;
    }
    case BLEND_ADD: {
        const float oa = OverAlpha(in.alpha, coverage);
        const float w = RingWeight(coverage, oa);
        for (int k = 0; k < 3; ++k) {
            const float kept = (1.0f - w) * source[k];
            const float over_transparent = (1.0f - in.alpha) * ring_color[k];
            const float over_opaque = in.alpha * (source[k] + ring_color[k]);
            *dest[k] = kept + w * (over_transparent + over_opaque);  // never clamped
        }
        out.alpha = oa;
        break;
    }
    case BLEND_STENCIL_MULTIPLY:
    case BLEND_STENCIL_MULTIPLY_ALPHA: {
        float product[3];
        for (int k = 0; k < 3; ++k) {
            product[k] = ((source[k] * in.alpha) * ring_color[k]) * coverage;
        }
        if (info.blend_mode == BLEND_STENCIL_MULTIPLY) {
            for (int k = 0; k < 3; ++k) {
                *dest[k] = product[k];
            }
            out.alpha = 1.0f;
            break;
        }
        float brightest = product[0];
        if (product[1] > brightest) brightest = product[1];
        if (product[2] > brightest) brightest = product[2];
        for (int k = 0; k < 3; ++k) {
            *dest[k] = brightest > 0.0f ? product[k] / brightest : product[k];
        }
        out.alpha = brightest;
        break;
    }
    default:
        break;
    }
}

} // namespace

PF_Err ShadePixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept {
    if (refcon != nullptr) {
        ShadeInteger<PF_Pixel, uint8_t, 255>(*static_cast<const RingRenderInfo *>(refcon), x, y, *in, *out);
    }
    return PF_Err_NONE;
}

PF_Err ShadePixel16(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in, PF_Pixel16 *out) noexcept {
    if (refcon != nullptr) {
        ShadeInteger<PF_Pixel16, uint16_t, 32768>(*static_cast<const RingRenderInfo *>(refcon), x, y, *in, *out);
    }
    return PF_Err_NONE;
}

PF_Err ShadePixelFloat(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in, PF_PixelFloat *out) noexcept {
    if (refcon != nullptr) {
        ShadeFloat(*static_cast<const RingRenderInfo *>(refcon), x, y, *in, *out);
    }
    return PF_Err_NONE;
}
