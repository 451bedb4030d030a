// Which columns of a row the ring reaches: every pixel outside the spans
// must have coverage 0 exactly as the coverage computes it, over records
// with pixels exactly on the ramps' ends, stretched columns, scatter, and
// values no host would send; the spans lie inside the row, in order.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "render/ring_coverage.h"
#include "render/ring_reach.h"
#include "render/ring_render_info.h"

namespace {

constexpr int32_t REACH_WIDTH = 61;
constexpr int32_t REACH_HEIGHT = 47;
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct ReachCase {
    double x_scale, center_x, center_y, radius, expand, feather, scatter;
    const char *what;
};

const ReachCase REACH_CASES[] = {
    {1.0, 30.0, 23.0, 10.0, 0.5, 5.0, 0.0, "ramp ends on whole pixels"},
    {1.0, 30.0, 23.0, 10.0, 0.5, 5.0, 0.000512, "the same with the most scatter"},
    {1.0, 30.5, 20.25, 14.0, 1.0, 0.0, 0.0002, "a filled disc with a hard edge"},
    {1.0, 30.0, 23.0, 12.0, 0.0, 3.0, 0.0, "no inner ramp"},
    {1.0, 30.0, 23.0, 0.0, 0.5, 6.0, 0.0, "radius 0"},
    {2.0, 60.0, 23.0, 10.0, 0.25, 2.0, 0.0001, "columns stretched twice"},
    {0.5, 15.0, 23.0, 10.0, 0.3, 2.5, 0.0, "columns squeezed"},
    {1.0, -40.0, -30.0, 60.0, 0.2, 8.0, 0.0003, "centre outside the frame"},
    {1.0, 1e6, 23.0, 10.0, 0.5, 5.0, 0.0, "centre far to the right"},
    {1.0, 30.0, 23.0, 1e300, 0.5, 5.0, 0.0, "a radius beyond any frame"},
    {1.0, 30.0, 23.0, 10.0, 0.5, 1e-300, 0.0, "a feather of next to nothing"},
    {1.0, 30.0, 23.0, 10.0, 1e-300, 5.0, 0.0, "an expand of next to nothing"},
    {1.0, 30.0, 23.0, 10.0, 0.5, 5.0, 0.01, "scatter far above the parameter's"},
    {1.0, 30.0, 23.0, 10.0, 0.5, 5.0, INF, "infinite scatter"},
    {1.0, NaN, 23.0, 10.0, 0.5, 5.0, 0.0, "a centre that is not a number"},
    {0.0, 30.0, 23.0, 10.0, 0.5, 5.0, 0.0, "scale 0"},
    {1.0, 30.0, 23.0, NaN, 0.5, 5.0, 0.0, "a radius that is not a number"},
    {1.0, 30.0, 23.0, -3.0, 0.5, 5.0, 0.0, "a negative radius"},
};

TEST(RingReach, EveryPixelOutsideTheSpansHasCoverageZero) {
    for (const ReachCase &c : REACH_CASES) {
        for (const bool smooth : {false, true}) {
            RingRenderInfo info = NewRingRenderInfo();
            info.x_scale = c.x_scale;
            info.center_x = c.center_x;
            info.center_y = c.center_y;
            info.radius = c.radius;
            info.expand = c.expand;
            info.feather = c.feather;
            info.scatter = c.scatter;
            info.scatter_seed = 77;
            info.smooth = smooth ? 1 : 0;
            info.opacity = 1.0;
            AdjustRingRenderInfo(info, 0, 0);
            info.center_x = c.center_x;  // as given, in stretched columns
            const RingPlan plan = MakeRingPlan(info);
            int64_t reached = 0;
            for (int32_t y = 0; y < REACH_HEIGHT; ++y) {
                const RingRowSpans spans = RingReachedSpans(info, plan, y, REACH_WIDTH);
                ASSERT_GE(spans.count, 0);
                ASSERT_LE(spans.count, 2);
                int32_t previous_end = 0;
                for (int32_t s = 0; s < spans.count; ++s) {
                    EXPECT_LE(previous_end, spans.begin[s]) << c.what;
                    EXPECT_LT(spans.begin[s], spans.end[s]) << c.what;
                    EXPECT_LE(spans.end[s], REACH_WIDTH) << c.what;
                    previous_end = spans.end[s];
                    reached += spans.end[s] - spans.begin[s];
                }
                // The whole row from x = 0, so that the scatter noise runs as the host's walk has it.
                for (int32_t x = 0; x < REACH_WIDTH; ++x) {
                    const double f = RingCoverage(info, x, y).f;
                    const bool inside = (spans.count > 0 && x >= spans.begin[0] && x < spans.end[0]) ||
                                        (spans.count > 1 && x >= spans.begin[1] && x < spans.end[1]);
                    if (!inside) {
                        ASSERT_EQ(f, 0.0) << c.what << (smooth ? ", smoothed" : "") << ": pixel " << x << ", " << y;
                    }
                }
            }
            // The spans are not the whole frame where the ring plainly leaves pixels alone.
            if (std::string(c.what) == "ramp ends on whole pixels") {
                EXPECT_LT(reached, REACH_WIDTH * REACH_HEIGHT / 4);
                EXPECT_GT(reached, 0);
            }
        }
    }
}

TEST(RingReach, ARowOutsideTheRingOrOfNoWidthHasNoSpan) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1.0;
    info.center_x = 30.0;
    info.center_y = 23.0;
    info.radius = 10.0;
    info.expand = 0.5;
    info.feather = 5.0;
    info.opacity = 1.0;
    AdjustRingRenderInfo(info, 0, 0);
    const RingPlan plan = MakeRingPlan(info);
    EXPECT_EQ(RingReachedSpans(info, plan, 0, REACH_WIDTH).count, 0);
    EXPECT_EQ(RingReachedSpans(info, plan, 23, 0).count, 0);
    EXPECT_EQ(RingReachedSpans(info, plan, 23, -5).count, 0);
    // The middle row crosses the band twice, either side of the hole.
    const RingRowSpans middle = RingReachedSpans(info, plan, 23, REACH_WIDTH);
    ASSERT_EQ(middle.count, 2);
    EXPECT_LT(middle.end[0], 30);
    EXPECT_GT(middle.begin[1], 30);
}

}  // namespace
