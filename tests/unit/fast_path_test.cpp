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

namespace {

constexpr int32_t FRAME_WIDTH = 44;
constexpr int32_t FRAME_HEIGHT = 36;
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A small deterministic generator for the test's own choices.
struct Picker {
    uint64_t state;
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    template <typename T, size_t N>
    T From(const T (&values)[N]) {
        return values[Next() % N];
    }
};

// Centre (20, 16) on whole pixels, radius 10, feather 5, expand 0.5: pixels
// at distance 5 (ramp start), 10 (radius) and 15 (ramp end) exist, straight
// and on 3-4-5 diagonals.
RingRenderInfo EdgeRecord() {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1.0;
    info.center_x = 20.0;
    info.center_y = 16.0;
    info.radius = 10.0;
    info.expand = 0.5;
    info.inner_offset = -1.0;
    info.feather = 5.0;
    info.opacity = 1.0;
    info.color1_float = {1.0f, 1.0f, 0.5f, 0.0f};
    info.color2_float = {1.0f, 0.0f, 0.0f, 1.0f};
    info.blend_mode = BLEND_NORMAL;
    return info;
}

RingRenderInfo OddRecord(Picker &pick) {
    static const double radii[] = {10.0, 0.0, 0.5, -3.0, NaN, INF, 1e300, 7.3};
    static const double feathers[] = {5.0, 0.0, -1.0, NaN, INF, 1e-300, 1e300, 0.25};
    static const double expands[] = {0.5, 1.0, 0.0, -0.5, NaN, INF, 1e-300, 0.01};
    static const double offsets[] = {-1.0, 0.0, 5.0, -1e10, NaN, -INF, -0.999};
    static const double opacities[] = {1.0, 0.85, 0.0, -0.0, -0.5, NaN, INF, 3.0};
    static const double scatters[] = {0.0, 0.0005, 0.000512, 0.01, 0.5, -0.1, NaN, INF, 1e-300};
    static const double scales[] = {1.0, 2.0, 0.9090909361839294, 0.0, NaN, -1.0};
    static const float colors[] = {0.0f, 1.0f, 0.5f, -0.0f, -2.0f, 3e38f, std::numeric_limits<float>::infinity(),
                                   std::numeric_limits<float>::quiet_NaN(), 0x1p101f};
    static const int32_t counts[] = {0, 1, 5, -3, 1 << 30, std::numeric_limits<int32_t>::min()};
    RingRenderInfo info = EdgeRecord();
    const auto fraction = [&pick] { return static_cast<double>(pick.Next()) / 2147483648.0; };
    if (pick.Next() % 3 == 0) {  // what a host sends, anywhere in range
        info.radius = 30.0 * fraction();
        info.feather = 10.0 * fraction();
        info.expand = fraction();
        info.inner_offset = 1.0 - 1.0 / info.expand;
        info.center_x = 44.0 * fraction();
        info.center_y = 36.0 * fraction();
    } else if (pick.Next() % 4 != 0) {
        info.radius = pick.From(radii);
        info.feather = pick.From(feathers);
        info.expand = pick.From(expands);
        info.inner_offset = pick.Next() % 2 ? 1.0 - 1.0 / info.expand : pick.From(offsets);
        info.x_scale = pick.From(scales);
        info.center_x = info.center_x * (std::isfinite(info.x_scale) ? info.x_scale : 1.0);
    }
    info.opacity = pick.From(opacities);
    info.scatter = pick.Next() % 2 ? pick.From(scatters) : 0.000512 * fraction();
    info.scatter_seed = static_cast<int32_t>(pick.Next());
    info.discard_count = pick.From(counts);
    info.row_offset = pick.From(counts);
    info.smooth = static_cast<uint8_t>(pick.Next() % 2);
    info.blend_mode = static_cast<int32_t>(pick.Next() % 7);
    info.color1_float = {pick.From(colors), pick.From(colors), pick.From(colors), pick.From(colors)};
    info.color2_float = {pick.From(colors), pick.From(colors), pick.From(colors), pick.From(colors)};
    return info;
}

template <typename Pixel>
std::vector<Pixel> SourceFrame(Picker &pick) {
    std::vector<Pixel> pixels(FRAME_WIDTH * FRAME_HEIGHT);
    for (Pixel &p : pixels) {
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
            static const float values[] = {0.0f, 1.0f, 0.25f, -0.0f, -1.0f, 2.5f, 1e-40f,
                                           std::numeric_limits<float>::infinity(),
                                           std::numeric_limits<float>::quiet_NaN()};
            p = {pick.Next() % 3 ? static_cast<float>(pick.Next() % 1000) / 999.0f : pick.From(values),
                 static_cast<float>(pick.Next() % 1000) / 700.0f, pick.From(values),
                 static_cast<float>(pick.Next() % 1000) / 999.0f};
        } else {
            using Channel = decltype(p.alpha);
            p = {static_cast<Channel>(pick.Next()), static_cast<Channel>(pick.Next()),
                 static_cast<Channel>(pick.Next()), static_cast<Channel>(pick.Next())};
        }
    }
    return pixels;
}

// Byte for byte, except that a NaN may come out with another sign or
// payload: which of two NaN operands an operation passes on is the
// compiler's choice of operand order, not part of the arithmetic.
template <typename Pixel>
bool SamePixel(const Pixel &a, const Pixel &b) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        const float as[] = {a.alpha, a.red, a.green, a.blue};
        const float bs[] = {b.alpha, b.red, b.green, b.blue};
        for (int k = 0; k < 4; ++k) {
            if (std::memcmp(&as[k], &bs[k], sizeof(float)) != 0 && !(std::isnan(as[k]) && std::isnan(bs[k]))) {
                return false;
            }
        }
        return true;
    } else {
        return std::memcmp(&a, &b, sizeof(Pixel)) == 0;
    }
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
