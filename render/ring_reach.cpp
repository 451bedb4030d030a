#include "render/ring_reach.h"

#include <cmath>
#include <limits>

#include "render/ring_coverage.h"

namespace {

// The bounds stay a relative 2^-20 inside the exact boundary, far more than
// the few units in the last place by which the coverage's square root,
// subtraction and division can err.
constexpr double REACH_WIDEN = 1.0 + 0x1p-20;
constexpr double REACH_NARROW = 1.0 - 0x1p-20;
// A disabled ramp leaves -2.0; noise up to this cannot lift it to 0.
constexpr double REACH_DISABLED_NOISE_LIMIT = 1.9;

double Square(double v) noexcept { return v * v; }

// Beyond this squared distance the outer ramp plus noise is below 0.
double OuterBound(const RingRenderInfo &info, double noise_max) noexcept {
    if (info.feather > 0.0) {
        const double reach = info.radius + info.feather * (1.0 + noise_max);
        return std::isfinite(reach) ? Square(reach * REACH_WIDEN) : std::numeric_limits<double>::infinity();
    }
    if (noise_max < REACH_DISABLED_NOISE_LIMIT) {
        return Square(info.radius * REACH_WIDEN);
    }
    return std::numeric_limits<double>::infinity();
}

// Within this squared distance the inner ramp, d / (expand * radius) +
// inner_offset, plus noise is below 0, whatever inner_offset holds.
double InnerBound(const RingRenderInfo &info, double noise_max) noexcept {
    if (info.expand > 0.0) {
        const double width = info.expand * info.radius;
        const double offset = info.inner_offset;
        if (!(width >= std::numeric_limits<double>::min()) || !std::isfinite(width) || !std::isfinite(offset)) {
            return 0.0;
        }
        const double slack = (std::fabs(offset) + noise_max) * 0x1p-20;
        const double limit = -offset - noise_max - slack;
        if (!(limit > 0.0)) {
            return 0.0;
        }
        return Square(std::fmin(width * limit, info.radius) * REACH_NARROW);
    }
    if (noise_max < REACH_DISABLED_NOISE_LIMIT) {
        return Square(info.radius * REACH_NARROW);
    }
    return 0.0;
}

// The first x in [begin, end) for which holds(x) is true, or end; holds
// must be false and then true along the range.
template <typename Predicate>
int64_t FirstTrue(int64_t begin, int64_t end, Predicate holds) noexcept {
    while (begin < end) {
        const int64_t middle = begin + (end - begin) / 2;
        if (holds(middle)) {
            end = middle;
        } else {
            begin = middle + 1;
        }
    }
    return begin;
}

void AddSpan(RingRowSpans &spans, int64_t begin, int64_t end) noexcept {
    if (begin < end) {
        spans.begin[spans.count] = static_cast<int32_t>(begin);
        spans.end[spans.count] = static_cast<int32_t>(end);
        spans.count += 1;
    }
}

}  // namespace

RingReach MakeRingReach(const RingRenderInfo &info) noexcept {
    RingReach reach{0.0, std::numeric_limits<double>::infinity(), false};
    const double noise_max = info.scatter > 0.0 ? 255.0 * info.scatter : 0.0;
    if (info.radius >= 0.0 && std::isfinite(info.radius) && std::isfinite(noise_max)) {
        reach.inner_sq = InnerBound(info, noise_max);
        reach.outer_sq = OuterBound(info, noise_max);
    }
    reach.rows_have_spans = info.x_scale > 0.0 && std::isfinite(info.x_scale) && std::isfinite(info.center_x) &&
                            std::isfinite(info.center_y);
    return reach;
}

RingRowSpans RingReachedSpans(const RingRenderInfo &info, const RingReach &reach, int32_t y, int32_t width) noexcept {
    RingRowSpans spans{0, {0, 0}, {0, 0}};
    if (width <= 0) {
        return spans;
    }
    if (!reach.rows_have_spans) {
        AddSpan(spans, 0, width);
        return spans;
    }
    const auto d2 = [&](int64_t x) { return RingDistanceSquared(info, static_cast<int32_t>(x), y); };
    // Left of split the column lies before the centre and the distance falls
    // with x; from split on it rises.
    const int64_t split = FirstTrue(0, width, [&](int64_t x) {
        return static_cast<double>(x) * info.x_scale - info.center_x >= 0.0;
    });
    const int64_t outer_begin = FirstTrue(0, split, [&](int64_t x) { return !(d2(x) > reach.outer_sq); });
    const int64_t outer_end = FirstTrue(split, width, [&](int64_t x) { return d2(x) > reach.outer_sq; });
    const int64_t inner_begin = FirstTrue(0, split, [&](int64_t x) { return d2(x) < reach.inner_sq; });
    const int64_t inner_end = FirstTrue(split, width, [&](int64_t x) { return !(d2(x) < reach.inner_sq); });
    if (inner_begin >= inner_end) {
        AddSpan(spans, outer_begin, outer_end);
    } else {
        AddSpan(spans, outer_begin, inner_begin < outer_end ? inner_begin : outer_end);
        AddSpan(spans, inner_end > outer_begin ? inner_end : outer_begin, outer_end);
    }
    return spans;
}
