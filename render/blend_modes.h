// The five blend modes: how the ring, with its coverage and colour at a
// pixel, meets the source pixel. One template for the 8-bit and 16-bit
// depths, one function for float.
#pragma once

#include <cstdint>

#include "host/host_types.h"
#include "params/ring_params.h"
#include "render/blend_math.h"
#include "render/ring_coverage.h"

// Integer depths. Unit(channel) must give channel / FULL in single precision;
// callers pass a plain division or an exact shortcut of it. An unknown mode
// writes nothing, leaving the destination as the host had it.
template <typename Pixel, typename Channel, uint32_t FULL, typename UnitOf>
[[gnu::always_inline]] inline void BlendInteger(int32_t blend_mode, const RingSample &ring, const Pixel &in, Pixel &out, UnitOf unit) noexcept {
    constexpr float full_f = static_cast<float>(FULL);
    constexpr double full_d = static_cast<double>(FULL);
    const float coverage = static_cast<float>(ring.f);
    const float ring_color[3] = {ring.red, ring.green, ring.blue};
    const Channel source[3] = {in.red, in.green, in.blue};
    Channel *const dest[3] = {&out.red, &out.green, &out.blue};

    switch (blend_mode) {
    case BLEND_NONE:
        for (int k = 0; k < 3; ++k) {
            *dest[k] = StoreChannel<Channel>(static_cast<double>(ring_color[k] * full_f));
        }
        out.alpha = StoreChannel<Channel>(ring.f * full_d);
        break;
    case BLEND_NORMAL: {
        const float oa = OverAlpha(unit(in.alpha), coverage);
        const float w = RingWeight(coverage, oa);
        for (int k = 0; k < 3; ++k) {
            const float v = (1.0f - w) * static_cast<float>(source[k]) + (w * ring_color[k]) * full_f;
            *dest[k] = StoreChannel<Channel>(static_cast<double>(v));
        }
        out.alpha = StoreChannel<Channel>(static_cast<double>(oa * full_f));
        break;
    }
    case BLEND_ADD: {
        const float source_alpha = unit(in.alpha);
        const float oa = OverAlpha(source_alpha, coverage);
        const float w = RingWeight(coverage, oa);
        for (int k = 0; k < 3; ++k) {
            const float sum = unit(source[k]) + ring_color[k];
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
        const float source_alpha = unit(in.alpha);
        Channel stored[3];
        for (int k = 0; k < 3; ++k) {
            const float product = (static_cast<float>(source[k]) * source_alpha) * ring_color[k];
            stored[k] = StoreChannel<Channel>(static_cast<double>(product) * ring.f);
        }
        if (blend_mode == BLEND_STENCIL_MULTIPLY) {
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
        break;
    }
}

// Float: the same modes on unscaled values, never clamped.
[[gnu::always_inline]] inline void BlendFloat(int32_t blend_mode, const RingSample &ring, const PF_PixelFloat &in,
                       PF_PixelFloat &out) noexcept {
    const float coverage = static_cast<float>(ring.f);
    const float ring_color[3] = {ring.red, ring.green, ring.blue};
    const float source[3] = {in.red, in.green, in.blue};
    float *const dest[3] = {&out.red, &out.green, &out.blue};

    switch (blend_mode) {
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
            *dest[k] = kept + w * (over_transparent + over_opaque);
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
        if (blend_mode == BLEND_STENCIL_MULTIPLY) {
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
