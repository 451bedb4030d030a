#include "render/ring_reach.h"

#include <algorithm>

namespace {

void AddSpan(RingRowSpans &spans, int64_t begin, int64_t end) noexcept {
    if (begin < end) {
        spans.begin[spans.count] = static_cast<int32_t>(begin);
        spans.end[spans.count] = static_cast<int32_t>(end);
        spans.count += 1;
    }
}

}  // namespace

RingRowSpans RingReachedSpans(const RingRenderInfo &info, const RingPlan &plan, int32_t y, int32_t width) noexcept {
    RingRowSpans spans{0, {0, 0}, {0, 0}};
    if (width <= 0) {
        return spans;
    }
    // The plan's span runs over the whole 32-bit column range; its ends stay
    // within 64 bits.
    const RingRowSpan row = MakeRingRowSpan(info, plan, y);
    const int64_t begin = std::max<int64_t>(row.first, 0);
    const int64_t end = std::min<int64_t>(row.first + static_cast<int64_t>(row.count), width);
    if (row.hole_count == 0) {
        AddSpan(spans, begin, end);
        return spans;
    }
    const int64_t hole_begin = row.hole_first;
    const int64_t hole_end = row.hole_first + static_cast<int64_t>(row.hole_count);
    AddSpan(spans, begin, std::min(hole_begin, end));
    AddSpan(spans, std::max(hole_end, begin), end);
    return spans;
}
