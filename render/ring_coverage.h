// How strongly the ring covers one pixel, and the ring's colour there.
// Inline because the pixel functions call it once per pixel.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/ring_cosine.h"
#include "render/ring_render_info.h"
#include "render/ring_sample.h"
#include "render/scatter_random.h"

inline constexpr double RING_PI = 3.141592653589793;

// Squared distance from the pixel to the centre, in rows: columns are
// stretched by x_scale, rows are not.
inline double RingDistanceSquared(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    const double dx = static_cast<double>(x) * info.x_scale - info.center_x;
    const double dy = static_cast<double>(y) - info.center_y;
    return dx * dx + dy * dy;
}

// The ramp value at distance d, before noise: -2.0 where the ramp that
// applies is disabled.
inline double RingRampAt(const RingRenderInfo &info, double d) noexcept {
    double f = -2.0;
    if (d >= info.radius) {
        if (info.feather > 0.0) {
            f = 1.0 - (d - info.radius) / info.feather;
        }
    } else if (d < info.radius) {
        if (info.expand > 0.0) {
            f = d / (info.expand * info.radius) + info.inner_offset;
        }
    }
    return f;
}

inline double RingRamp(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    return RingRampAt(info, std::sqrt(RingDistanceSquared(info, x, y)));
}

// One generator value per pixel; each row reseeds at x = 0, so a row's noise
// is the same whichever thread renders it, as long as one thread visits the
// row from x = 0 upward.
inline void RingReseedRow(const RingRenderInfo &info, int32_t y) noexcept {
    const uint32_t row = static_cast<uint32_t>(y) + static_cast<uint32_t>(info.row_offset);
    ScatterSeed(row * row + static_cast<uint32_t>(info.scatter_seed));
    ScatterDiscard(info.discard_count);
}

// The noise of the next pixel, drawn from state.
// The noise of a generator state already advanced for the pixel.
inline double RingNoiseOf(const RingRenderInfo &info, uint32_t advanced) noexcept {
    const int32_t noise = (ScatterValue(advanced) % 512) - 256;
    return static_cast<double>(noise) * info.scatter;
}

inline double RingNoiseFrom(const RingRenderInfo &info, uint32_t &state) noexcept {
    state = ScatterAhead(state, 1);
    return RingNoiseOf(info, state);
}

inline double RingNoise(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    if (x == 0) {
        RingReseedRow(info, y);
    }
    return RingNoiseFrom(info, CurrentRingThreadState().scatter_state);
}

inline float RingMix(float color2, float color1, double f) noexcept {
    const float difference = color1 - color2;
    return static_cast<float>(static_cast<double>(color2) + f * static_cast<double>(difference));
}

// The ring at coverage f, the ramp already scaled by the opacity: f with
// the colour mixed by it.
inline RingSample RingSampleAt(const RingRenderInfo &info, double f) noexcept {
    return RingSample{f, RingMix(info.color2_float.red, info.color1_float.red, f),
                      RingMix(info.color2_float.green, info.color1_float.green, f),
                      RingMix(info.color2_float.blue, info.color1_float.blue, f)};
}

// Scales the clamped, smoothed ramp by the opacity and mixes the colour.
inline RingSample RingFinish(const RingRenderInfo &info, double f) noexcept {
    return RingSampleAt(info, f * info.opacity);
}

inline RingSample RingCoverage(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    double f = RingRamp(info, x, y);
    if (info.scatter > 0.0) {
        f = f + RingNoise(info, x, y);
    }
    if (!(f >= 0.0)) {
        f = 0.0;  // also catches NaN
    } else if (f > 1.0) {
        f = 1.0;
    }
    if (info.smooth != 0) {
        // Our own cosine, correctly rounded, so every build shades the same bits.
        f = (1.0 - CorrectlyRoundedCos(RING_PI * f)) * 0.5;
    }
    return RingFinish(info, f);
}
