// The coverage of several neighbouring pixels of a row at once. One pixel's
// arithmetic is a long chain, each step waiting on the last (the square
// root, the ramp's division, the cosine); worked out two pixels side by side
// in one register, a few pairs in one loop, the chains of neighbouring
// pixels overlap, where pixels shaded one call at a time cannot.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/ring_coverage.h"
#include "render/ring_render_info.h"
#include "render/ring_sample.h"

// The smoothing curve; 0 and 1 are kept without a cosine.
inline double RingSmooth(double f) noexcept {
    if (f == 0.0) {
        return 0.0;  // 1 - cos(0) is 0; a -0 comes out as +0 there too
    }
    if (f == 1.0) {
        return 1.0;  // cos(pi) rounds to -1 exactly
    }
    return (1.0 - CorrectlyRoundedCos(RING_PI * f)) * 0.5;
}

// What RingCoverage gives a pixel at squared distance d2 whose generator
// value gave noise (read only with scatter).
inline RingSample RingCoverageAt(const RingRenderInfo &info, double d2, double noise) noexcept {
    double f = RingRampAt(info, std::sqrt(d2));
    if (info.scatter > 0.0) {
        f = f + noise;
    }
    if (!(f >= 0.0)) {
        f = 0.0;  // also catches NaN
    } else if (f > 1.0) {
        f = 1.0;
    }
    if (info.smooth != 0) {
        f = RingSmooth(f);
    }
    return RingFinish(info, f);
}

// coverage[k] gets the coverage RingCoverage gives column x + k of row y
// (its f; RingSampleAt adds the colour), for k below count (at most
// RING_AHEAD_PIXELS), the pixels drawing their generator values in turn
// from a copy of scatter_state. The columns must not include 0, where a row
// reseeds, and x + count must not pass the 32-bit range.
void RingCoverageAhead(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                       double *coverage) noexcept;

// The same for a run of up to RING_RUN_PIXELS pixels, worked out stage by
// stage over the whole run, which is quicker for long runs. Returns the
// state after the run's draws: scatter_state itself without scatter.
inline constexpr uint32_t RING_RUN_PIXELS = 64;
uint32_t RingCoverageRun(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                         double *coverage) noexcept;

// CorrectlyRoundedCos, out of line: what the lanes call for the rare
// argument the quick path cannot decide.
double RingCos(double x) noexcept;

// CorrectlyRoundedCos of each of RING_AHEAD_PIXELS arguments, by the path
// the coverage ahead takes: the quick path for all at once, and the single
// cosine for those it cannot decide.
void RingCosAhead(const double *x, double *result) noexcept;
