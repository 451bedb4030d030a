// Which pixels of a row of a frame the ring can reach, for a caller that
// shades whole rows. Outside them its coverage is certainly 0, so such a
// caller needs the coverage only within these spans; every pixel outside
// gets what coverage 0 gives. Built on the row plan's span, so the pixel
// functions and whole-row callers pass over exactly the same pixels.
#pragma once

#include <cstdint>

#include "render/ring_plan.h"
#include "render/ring_render_info.h"

// At most two spans of columns [begin, end) of row y, in increasing order,
// outside which every pixel of columns 0..width-1 has coverage 0: the
// ring's band crosses a row once or, through its inner hole, twice.
struct RingRowSpans {
    int32_t count;
    int32_t begin[2];
    int32_t end[2];
};

// plan is MakeRingPlan(info).
RingRowSpans RingReachedSpans(const RingRenderInfo &info, const RingPlan &plan, int32_t y, int32_t width) noexcept;
