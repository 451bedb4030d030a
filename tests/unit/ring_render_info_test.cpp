#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/ring_render_info.h"

namespace {

RingParamValues DefaultValues() {
    RingParamValues values{};
    values.center_x = 100 << 16;
    values.center_y = 50 << 16;
    values.radius = 100;
    values.feather = 3;
    values.expand = 50;
    values.opacity = 100;
    values.scatter = 0;
    values.color1 = {1, 1, 1, 1};
    values.color2 = {1, 0, 0.5f, 1};
    values.smooth = 1;
    values.blend_mode = 2;
    return values;
}

RingRenderInfo Filled(const RingParamValues &values, RingFrameScales scales) {
    RingRenderInfo info = NewRingRenderInfo();
    FillRingRenderInfo(info, values, scales);
    return info;
}

constexpr RingFrameScales FULL_SQUARE{{1, 1}, {1, 1}, {1, 1}};

TEST(FillRingRenderInfo, FullResolutionSquarePixelsKeepSliderValues) {
    const RingRenderInfo info = Filled(DefaultValues(), FULL_SQUARE);
    EXPECT_EQ(info.x_scale, 1.0);
    EXPECT_EQ(info.radius, 100.0);
    EXPECT_EQ(info.feather, 3.0);
    EXPECT_EQ(info.expand, 0.5);
    EXPECT_EQ(info.opacity, 1.0);
    EXPECT_EQ(info.center_x, 100.0);
    EXPECT_EQ(info.center_y, 50.0);
    EXPECT_EQ(info.smooth, 1);
    EXPECT_EQ(info.blend_mode, 2);
    EXPECT_EQ(info.color2_float.green, 0.5f);
}

TEST(FillRingRenderInfo, XScaleIsFormedInSinglePrecision) {
    EXPECT_EQ(Filled(DefaultValues(), {{10, 11}, {1, 1}, {1, 1}}).x_scale, 0.9090909361839294);

    const RingRenderInfo half_across = Filled(DefaultValues(), {{1, 1}, {1, 2}, {1, 1}});
    EXPECT_EQ(half_across.x_scale, 2.0);
    EXPECT_EQ(half_across.radius, 100.0);

    const RingRenderInfo half_both = Filled(DefaultValues(), {{10, 11}, {1, 2}, {1, 2}});
    EXPECT_EQ(half_both.x_scale, 0.9090909361839294);
    EXPECT_EQ(half_both.radius, 50.0);
    EXPECT_EQ(half_both.feather, 1.5);

    EXPECT_EQ(Filled(DefaultValues(), {{1, 1}, {1, 1}, {1, 3}}).radius, 33.33333432674408);
}

TEST(FillRingRenderInfo, CenterIsSixteenDotSixteenFixedPoint) {
    RingParamValues values = DefaultValues();
    values.center_x = 0x00008000;
    values.center_y = static_cast<PF_Fixed>(0xFFFE8000u);
    const RingRenderInfo info = Filled(values, FULL_SQUARE);
    EXPECT_EQ(info.center_x, 0.5);
    EXPECT_EQ(info.center_y, -1.5);
}

TEST(FillRingRenderInfo, ScatterAndItsSeed) {
    struct Case {
        double value;
        double scatter;
        int32_t seed;
    } cases[] = {{0.7, 7e-07, 125}, {3, 3e-06, 2304}, {0.1, 1e-07, 2}, {512, 0.000512, 67108864}, {0, 0, 0}};
    for (const Case &c : cases) {
        RingParamValues values = DefaultValues();
        values.scatter = c.value;
        const RingRenderInfo info = Filled(values, FULL_SQUARE);
        EXPECT_DOUBLE_EQ(info.scatter, c.scatter) << c.value;
        EXPECT_EQ(info.scatter_seed, c.seed) << c.value;
    }
}

TEST(ScatterSeedFromValue, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(ScatterSeedFromValue(2896.0), 2147024896);
    EXPECT_EQ(ScatterSeedFromValue(2897.0), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ScatterSeedFromValue(-1e30), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ScatterSeedFromValue(std::numeric_limits<double>::infinity()), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ScatterSeedFromValue(std::nan("")), 0);
}

TEST(FillRingRenderInfo, SmoothKeepsTheLowByteOfTheCheckbox) {
    RingParamValues values = DefaultValues();
    values.smooth = 0x100;
    EXPECT_EQ(Filled(values, FULL_SQUARE).smooth, 0);
    values.smooth = -1;
    EXPECT_EQ(Filled(values, FULL_SQUARE).smooth, 0xFF);
}

TEST(FillRingRenderInfo, LeavesInnerOffsetAndNoiseAnchorsAlone) {
    RingRenderInfo info = NewRingRenderInfo();
    info.inner_offset = 7;
    info.discard_count = 3;
    info.row_offset = 4;
    FillRingRenderInfo(info, DefaultValues(), FULL_SQUARE);
    EXPECT_EQ(info.inner_offset, 7);
    EXPECT_EQ(info.discard_count, 3);
    EXPECT_EQ(info.row_offset, 4);
}

TEST(NewRingRenderInfo, StartsWithNoNoiseOffsets) {
    const RingRenderInfo info = NewRingRenderInfo();
    EXPECT_EQ(info.discard_count, 0);
    EXPECT_EQ(info.row_offset, 0);
}

TEST(AdjustRingRenderInfo, MovesCentreIntoBufferAndAnchorsNoise) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 2.0;
    info.center_x = 100;
    info.center_y = 50;
    info.expand = 0.5;
    AdjustRingRenderInfo(info, 10, 20);
    EXPECT_EQ(info.center_x, 180.0);
    EXPECT_EQ(info.center_y, 30.0);
    EXPECT_EQ(info.inner_offset, -1.0);
    EXPECT_EQ(info.row_offset, 20);
    EXPECT_EQ(info.discard_count, 10);
}

TEST(AdjustRingRenderInfo, InnerOffsetOnlyForPositiveExpand) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1;
    info.expand = 1.0;
    AdjustRingRenderInfo(info, 0, 0);
    EXPECT_EQ(info.inner_offset, 0.0);

    info.inner_offset = 42;
    info.expand = 0;
    AdjustRingRenderInfo(info, 0, 0);
    EXPECT_EQ(info.inner_offset, 42);
}

} // namespace
