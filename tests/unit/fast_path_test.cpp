// The optimised pixel functions against the plain formulas, byte for byte:
// whole frames shaded row by row as the host does, over records that put
// pixels exactly on the ramp ends, records no host would send, and source
// pixels of every kind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "params/ring_params.h"
#include "render/pixel_functions.h"
#include "render/pixel_reference.h"
#include "render/ring_plan.h"
#include "render/thread_state.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"
#include "tests/unit/frame_shading.h"
#include "tests/unit/ring_records.h"

namespace {

constexpr int32_t FRAME_WIDTH = 44;
constexpr int32_t FRAME_HEIGHT = 36;
template <typename Pixel>
std::vector<Pixel> SourceFrame(Picker &pick) {
    return SourcePixels<Pixel>(pick, FRAME_WIDTH * FRAME_HEIGHT);
}

template <typename Pixel, typename Fast, typename Plain>
void ExpectSameFrames(RingRenderInfo info, Picker &pick, Fast fast, Plain plain) {
    const std::vector<Pixel> source = SourceFrame<Pixel>(pick);
    const std::vector<Pixel> expected = ShadeFrame(info, source, FRAME_WIDTH, FRAME_HEIGHT, plain);
    const std::vector<Pixel> shaded = ShadeFrame(info, source, FRAME_WIDTH, FRAME_HEIGHT, fast);
    for (size_t i = 0; i < source.size(); ++i) {
        ASSERT_TRUE(SamePixel(shaded[i], expected[i]))
            << "pixel (" << i % FRAME_WIDTH << ", " << i / FRAME_WIDTH << ") radius " << info.radius << " feather "
            << info.feather << " expand " << info.expand << " offset " << info.inner_offset << " scatter "
            << info.scatter << " opacity " << info.opacity << " mode " << info.blend_mode << " bytes "
            << ::testing::PrintToString(shaded[i]) << " instead of " << ::testing::PrintToString(expected[i]);
    }
}

void ExpectSameFramesAtEveryDepth(const RingRenderInfo &info, Picker &pick) {
    ExpectSameFrames<PF_Pixel>(info, pick, ShadePixel8, ReferenceShadePixel8);
    ExpectSameFrames<PF_Pixel16>(info, pick, ShadePixel16, ReferenceShadePixel16);
    ExpectSameFrames<PF_PixelFloat>(info, pick, ShadePixelFloat, ReferenceShadePixelFloat);
}

TEST(FastPath, EqualsPlainFormulasOnRampEndsInEveryModeAndFeature) {
    Picker pick{1};
    for (int32_t mode = 0; mode <= 6; ++mode) {
        for (const double scatter : {0.0, 0.000512}) {
            for (const uint8_t smooth : {uint8_t{0}, uint8_t{1}}) {
                RingRenderInfo info = EdgeRecord();
                info.blend_mode = mode;
                info.scatter = scatter;
                info.smooth = smooth;
                ExpectSameFramesAtEveryDepth(info, pick);
                info.feather = 0.0;  // hard outer edge exactly at the radius
                info.expand = 0.0;
                ExpectSameFramesAtEveryDepth(info, pick);
            }
        }
    }
}

TEST(FastPath, EqualsPlainFormulasForRecordsNoHostSends) {
    Picker pick{2};
    for (int i = 0; i < 400; ++i) {
        ExpectSameFramesAtEveryDepth(OddRecord(pick), pick);
    }
}

// Far from the ring every source value takes the uncovered shortcut.
TEST(FastPath, UncoveredPixelsEqualPlainFormulasForEveryChannelValue) {
    RingRenderInfo info = EdgeRecord();
    info.center_x = 1e6;
    for (int32_t mode = 1; mode <= 5; ++mode) {
        info.blend_mode = mode;
        for (uint32_t v = 0; v < 65536; ++v) {
            const auto c16 = static_cast<uint16_t>(v);
            const PF_Pixel16 in16{c16, c16, static_cast<uint16_t>(65535 - v), static_cast<uint16_t>(v * 7)};
            PF_Pixel16 fast16{}, plain16{};
            ShadePixel16(&info, 1, 0, &in16, &fast16);
            ReferenceShadePixel16(&info, 1, 0, &in16, &plain16);
            ASSERT_EQ(std::memcmp(&fast16, &plain16, sizeof fast16), 0) << "mode " << mode << " value " << v;
            const auto c8 = static_cast<uint8_t>(v);
            const PF_Pixel in8{c8, static_cast<uint8_t>(v >> 8), c8, static_cast<uint8_t>(255 - c8)};
            PF_Pixel fast8{}, plain8{};
            ShadePixel8(&info, 1, 0, &in8, &fast8);
            ReferenceShadePixel8(&info, 1, 0, &in8, &plain8);
            ASSERT_EQ(std::memcmp(&fast8, &plain8, sizeof fast8), 0) << "mode " << mode << " value " << v;
        }
    }
}

// A plan kept along a row must not outlive the record it was made for.
TEST(FastPath, RecordChangedBetweenRowsIsNoticed) {
    RingRenderInfo info = EdgeRecord();
    const PF_Pixel in{255, 0, 0, 0};
    PF_Pixel out{};
    for (int32_t x = 0; x < 30; ++x) {
        ShadePixel8(&info, x, 16, &in, &out);
    }
    info.center_x = 30.0;  // the ring moves under column 30
    ShadePixel8(&info, 0, 17, &in, &out);
    ShadePixel8(&info, 30, 16, &in, &out);
    PF_Pixel plain{};
    ReferenceShadePixel8(&info, 30, 16, &in, &plain);
    EXPECT_EQ(std::memcmp(&out, &plain, sizeof out), 0);
}

TEST(FastPath, PlanBoundsKeepToTheirSide) {
    const RingPlan plan = MakeRingPlan(EdgeRecord());
    EXPECT_LT(plan.inner_sq, 25.0);  // the inner ramp starts at distance 5
    EXPECT_GT(plan.inner_sq, 24.9);
    EXPECT_GT(plan.outer_sq, 225.0);  // the outer ramp ends at distance 15
    EXPECT_LT(plan.outer_sq, 225.1);
    RingRenderInfo noisy = EdgeRecord();
    noisy.scatter = 0.01;  // noise up to 2.55 can lift any ramp: nothing is passed over
    const RingPlan none = MakeRingPlan(noisy);
    EXPECT_EQ(none.inner_sq, 0.0);
    EXPECT_GT(none.outer_sq, 27.75 * 27.75);  // 10 + 5 * (1 + 2.55)
    EXPECT_LT(none.outer_sq, 27.76 * 27.76);
}

}  // namespace
