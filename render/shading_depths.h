// What differs between the depths once the ring at a pixel is known: the
// blend, and what the row plan says of a pixel the ring cannot reach. Shared
// by the pixel functions and the row shading, so both give the same bytes
// by the same forms.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/host_types.h"
#include "render/blend_math.h"
#include "render/blend_modes.h"
#include "render/ring_plan.h"
#include "render/ring_render_info.h"
#include "render/ring_sample.h"
#include "render/thread_state.h"

namespace ring_depth {

// Exact: the channel has at most 16 bits and 32768 is a power of two.
inline float Unit16(uint32_t channel) noexcept { return static_cast<float>(channel) * 0x1p-15f; }

// Normal and add where the coverage is 0 and the colour plain: the source's
// colour (add clamps it at full intensity) with its alpha round-tripped
// through a / FULL.
template <typename Pixel, typename Channel, uint32_t FULL>
void KeepColor(const Pixel &in, Pixel &out, bool clamped) noexcept {
    constexpr auto full = static_cast<Channel>(FULL);
    const Pixel source = in;
    if constexpr (FULL == 255) {
        // 8-bit channels never exceed 255, so the clamp changes nothing: the
        // pixel moves as one word with its alpha, the first byte, replaced.
        if constexpr (std::endian::native == std::endian::little) {
            uint32_t word = 0;
            std::memcpy(&word, &in, sizeof word);
            word = (word & 0xFFFFFF00u) | RING_ZERO_COVERAGE_ALPHA8[word & 0xFFu];
            std::memcpy(&out, &word, sizeof word);
        } else {
            out = Pixel{RING_ZERO_COVERAGE_ALPHA8[source.alpha], source.red, source.green, source.blue};
        }
        return;
    }
    const Channel alpha = source.alpha;
    if (clamped) {
        out = Pixel{alpha, source.red < full ? source.red : full, source.green < full ? source.green : full,
                    source.blue < full ? source.blue : full};
    } else {
        out = Pixel{alpha, source.red, source.green, source.blue};
    }
}

// Mode normal where the coverage is a zero: the blend's formulas as they
// stand, except that the weight, a zero divided by the output alpha, is
// formed from the signs instead of by a division.
inline void BlendUncoveredNormalFloat(const RingPlan &plan, const PF_PixelFloat &in, PF_PixelFloat &out) noexcept {
    const float coverage = static_cast<float>(plan.zero.f);
    const float oa = OverAlpha(in.alpha, coverage);
    float w = 0.0f;
    if (oa != 0.0f && !std::isnan(oa)) {
        w = std::signbit(coverage) != std::signbit(oa) ? -0.0f : 0.0f;
    }
    const PF_PixelFloat source = in;
    out.red = (1.0f - w) * source.red + w * plan.zero.red;
    out.green = (1.0f - w) * source.green + w * plan.zero.green;
    out.blue = (1.0f - w) * source.blue + w * plan.zero.blue;
    out.alpha = oa;
}

template <typename Pixel, typename Channel, uint32_t FULL>
struct IntegerDepth {
    using PixelType = Pixel;
    static constexpr auto unit = FULL == 255 ? RingUnit8 : Unit16;
    static constexpr uint8_t KEEPS_BIT = FULL == 255 ? RING_RUN_KEEPS8 : RING_RUN_KEEPS16;
    static constexpr uint8_t CONSTANT_BIT = FULL == 255 ? RING_RUN_CONSTANT8 : RING_RUN_CONSTANT16;

    [[gnu::always_inline]] static void Blend(int32_t blend_mode, const RingSample &ring, const Pixel &in,
                                             Pixel &out) noexcept {
        BlendInteger<Pixel, Channel, FULL>(blend_mode, ring, in, out, unit);
    }
    static RingUncovered Uncovered(const RingPlan &plan) noexcept {
        return FULL == 255 ? plan.uncovered8 : plan.uncovered16;
    }
    static const Pixel &Constant(const RingPlan &plan) noexcept {
        if constexpr (FULL == 255) {
            return plan.constant8;
        } else {
            return plan.constant16;
        }
    }
    static void Keep(const Pixel &in, Pixel &out, bool clamped) noexcept {
        KeepColor<Pixel, Channel, FULL>(in, out, clamped);
    }
    static void NormalFloat(const RingPlan &, const Pixel &, Pixel &) noexcept {}
};

using Depth8 = IntegerDepth<PF_Pixel, uint8_t, 255>;
using Depth16 = IntegerDepth<PF_Pixel16, uint16_t, 32768>;

struct DepthFloat {
    using PixelType = PF_PixelFloat;
    static constexpr uint8_t KEEPS_BIT = 0;
    static constexpr uint8_t CONSTANT_BIT = RING_RUN_CONSTANT_FLOAT;

    static void Blend(int32_t blend_mode, const RingSample &ring, const PF_PixelFloat &in,
                      PF_PixelFloat &out) noexcept {
        BlendFloat(blend_mode, ring, in, out);
    }
    static RingUncovered Uncovered(const RingPlan &plan) noexcept { return plan.uncovered_float; }
    static const PF_PixelFloat &Constant(const RingPlan &plan) noexcept { return plan.constant_float; }
    static void Keep(const PF_PixelFloat &, PF_PixelFloat &, bool) noexcept {}
    static void NormalFloat(const RingPlan &plan, const PF_PixelFloat &in, PF_PixelFloat &out) noexcept {
        BlendUncoveredNormalFloat(plan, in, out);
    }
};

// The blend at the plan's zero sample, out of line: only records no host
// sends (a colour that is not finite, a negative opacity) and the float
// modes that carry infinities through come here. Each source file keeps
// its own copy, which the compiler may then call with its arguments pared.
template <typename Depth, typename Pixel = typename Depth::PixelType>
[[gnu::noinline]] static PF_Err BlendZero(const RingRenderInfo &info, const RingPlan &plan, const Pixel &in,
                                   Pixel &out) noexcept {
    Depth::Blend(info.blend_mode, plan.zero, in, out);
    return PF_Err_NONE;
}

// A pixel the ring cannot reach, whose generator value is already drawn.
template <typename Depth, typename Pixel = typename Depth::PixelType>
PF_Err ShadeUncovered(const RingRenderInfo &info, const RingPlan &plan, const Pixel &in, Pixel &out) noexcept {
    switch (Depth::Uncovered(plan)) {
    [[likely]] case RingUncovered::KEEP_COLOR:
        Depth::Keep(in, out, false);
        break;
    case RingUncovered::CONSTANT:
        out = Depth::Constant(plan);
        break;
    case RingUncovered::KEEP_CLAMPED:
        Depth::Keep(in, out, true);
        break;
    case RingUncovered::NORMAL_FLOAT:
        Depth::NormalFloat(plan, in, out);
        break;
    case RingUncovered::BLEND:
        return BlendZero<Depth>(info, plan, in, out);
    case RingUncovered::WRITE_NOTHING:
        break;
    }
    return PF_Err_NONE;
}

}  // namespace ring_depth
