// Which pixels of a row the ring can reach. Outside them its coverage is
// certainly 0, so a caller that shades whole rows needs the coverage only
// within these spans; every pixel outside gets what coverage 0 gives.
#pragma once

#include <cstdint>

#include "render/ring_render_info.h"

struct RingReach {
    // A pixel whose squared distance lies below inner_sq or above outer_sq
    // has ramp plus the largest possible noise below 0, so its coverage
    // clamps to 0 before smoothing and opacity.
    double inner_sq;
    double outer_sq;
    // The centre and scale are finite and the scale positive, so that the
    // squared distance falls and then rises along a row; otherwise every
    // pixel counts as reached.
    bool rows_have_spans;
};

RingReach MakeRingReach(const RingRenderInfo &info) noexcept;

// At most two spans of columns [begin, end) of row y, in increasing order,
// outside which every pixel of columns 0..width-1 has coverage 0: the
// ring's band crosses a row once or, through its inner hole, twice.
struct RingRowSpans {
    int32_t count;
    int32_t begin[2];
    int32_t end[2];
};

// Exact for the squared distances the coverage computes: the bounds are
// found by bisection on RingDistanceSquared itself, which rounding keeps
// monotonic on each side of the centre.
RingRowSpans RingReachedSpans(const RingRenderInfo &info, const RingReach &reach, int32_t y, int32_t width) noexcept;
