#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "render/ring_coverage.h"

namespace {

RingRenderInfo PlainRing() {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1;
    info.radius = 100;
    info.expand = 0.5;
    info.inner_offset = -1;
    info.feather = 10;
    info.opacity = 1;
    info.color1_float = {1, 1, 0.5f, 0};
    info.color2_float = {1, 0, 0, 1};
    return info;
}

TEST(ScatterRandom, ReferenceSequences) {
    std::vector<int32_t> fresh;
    std::thread([&] {
        for (int i = 0; i < 5; ++i) fresh.push_back(ScatterNext());
    }).join();
    EXPECT_EQ(fresh, (std::vector<int32_t>{41, 18467, 6334, 26500, 19169}));

    ScatterSeed(0);
    std::vector<int32_t> from_zero;
    for (int i = 0; i < 5; ++i) from_zero.push_back(ScatterNext());
    EXPECT_EQ(from_zero, (std::vector<int32_t>{38, 7719, 21238, 2437, 8855}));
}

TEST(ScatterRandom, JumpAheadMatchesStepping) {
    for (int32_t count : {-5, 0, 1, 2, 3, 17, 1000, 65537, 1 << 30}) {
        ScatterSeed(12345);
        ScatterDiscardByStepping(count > 100000 ? 0 : count);
        const int32_t stepped = ScatterNext();
        ScatterSeed(12345);
        ScatterDiscard(count > 100000 ? 0 : count);
        EXPECT_EQ(ScatterNext(), stepped) << count;
    }
    for (uint32_t k = 0; k < SCATTER_JUMPS.size(); ++k) {
        uint32_t stepped = 0xDEADBEEFu;
        for (uint32_t i = 0; i < k; ++i) {
            ScatterNext(stepped);
        }
        EXPECT_EQ(ScatterAhead(0xDEADBEEFu, k), stepped) << k;
    }
}

TEST(RingCoverage, WorkedRowWithoutSmoothing) {
    const RingRenderInfo info = PlainRing();
    const std::pair<int32_t, double> expected[] = {{40, 0},  {50, 0},    {75, 0.5}, {95, 0.9},
                                                   {100, 1}, {105, 0.5}, {110, 0}};
    for (auto [x, f] : expected) {
        EXPECT_NEAR(RingCoverage(info, x, 0).f, f, 1e-15) << x;
    }
}

TEST(RingCoverage, SmoothingEasesBothEnds) {
    RingRenderInfo info = PlainRing();
    info.smooth = 1;
    EXPECT_NEAR(RingCoverage(info, 95, 0).f, 0.97553, 1e-5);
    EXPECT_NEAR(RingCoverage(info, 75, 0).f, 0.5, 1e-15);
    EXPECT_EQ(RingCoverage(info, 100, 0).f, 1.0);
}

TEST(RingCoverage, ColourRunsFromColour2ToColour1) {
    RingRenderInfo info = PlainRing();
    info.color1_float = {1, 1.0f, 0.5f, 0.0f};
    info.color2_float = {1, 0.0f, 0.0f, 1.0f};
    const RingSample half = RingCoverage(info, 75, 0);
    EXPECT_EQ(half.red, 0.5f);
    EXPECT_EQ(half.green, 0.25f);
    EXPECT_EQ(half.blue, 0.5f);
    const RingSample none = RingCoverage(info, 200, 0);
    EXPECT_EQ(none.red, 0.0f);
    EXPECT_EQ(none.blue, 1.0f);
    const RingSample full = RingCoverage(info, 100, 0);
    EXPECT_EQ(full.red, 1.0f);
    EXPECT_EQ(full.green, 0.5f);
    EXPECT_EQ(full.blue, 0.0f);
}

TEST(RingCoverage, DisabledRampsGiveNothing) {
    RingRenderInfo info = PlainRing();
    info.feather = 0;
    EXPECT_EQ(RingCoverage(info, 100, 0).f, 0.0);  // exactly at the radius is the outer side
    EXPECT_GT(RingCoverage(info, 99, 0).f, 0.0);
    info.feather = 10;
    info.expand = 0;
    EXPECT_EQ(RingCoverage(info, 99, 0).f, 0.0);
    info.feather = -1;
    info.scatter = 0.000512;
    info.scatter_seed = 9;
    for (int32_t x = 0; x < 300; ++x) {
        EXPECT_EQ(RingCoverage(info, x, 3).f, 0.0) << x;
    }
}

TEST(RingCoverage, XScaleStretchesColumnsOnly) {
    RingRenderInfo info = PlainRing();
    info.x_scale = 2;
    EXPECT_NEAR(RingCoverage(info, 40, 0).f, 0.6, 1e-15);
    EXPECT_NEAR(RingCoverage(info, 0, 80).f, 0.6, 1e-15);
}

TEST(RingCoverage, ExpandOneFillsTheDiscAndRadiusZeroPeaksAtCentre) {
    RingRenderInfo disc = PlainRing();
    disc.expand = 1;
    disc.inner_offset = 0;
    EXPECT_EQ(RingCoverage(disc, 0, 0).f, 0.0);
    EXPECT_EQ(RingCoverage(disc, 50, 0).f, 0.5);

    RingRenderInfo point = PlainRing();
    point.radius = 0;
    EXPECT_EQ(RingCoverage(point, 0, 0).f, 1.0);
    EXPECT_EQ(RingCoverage(point, 5, 0).f, 0.5);
}

TEST(RingCoverage, ScatterWorkedRow) {
    RingRenderInfo info = PlainRing();
    info.center_x = -75;
    info.scatter = 0.0005;
    const double expected[] = {0.391, 0.4115, 0.535, 0.6265};
    for (int32_t x = 0; x < 4; ++x) {
        EXPECT_NEAR(RingCoverage(info, x, 0).f, expected[x], 1e-12) << x;
    }
}

TEST(RingCoverage, DiscardCountSkipsIntoTheRowsSequence) {
    RingRenderInfo info = PlainRing();
    info.center_x = -75;
    info.scatter = 0.0005;
    info.discard_count = 2;
    EXPECT_NEAR(RingCoverage(info, 0, 0).f, 0.5 - 10 * 0.0005, 1e-12);
}

TEST(RingCoverage, NoiseIsClampedBeforeSmoothingAndOpacity) {
    RingRenderInfo info = PlainRing();
    info.center_x = -100;  // pixel 0 sits on the radius, ramp value 1
    info.scatter = 0.0005;
    info.scatter_seed = 0;
    // Seed 0 gives the units -218, -217, -10, 133 for pixels 0..3.
    info.opacity = 0.5;
    EXPECT_NEAR(RingCoverage(info, 0, 0).f, (1 - 218 * 0.0005) * 0.5, 1e-12);
    // Pixel 3 lies at 103, ramp 0.7, and 133 units lift it to 0.7665.
    RingCoverage(info, 1, 0);
    RingCoverage(info, 2, 0);
    EXPECT_NEAR(RingCoverage(info, 3, 0).f, (0.7 + 133 * 0.0005) * 0.5, 1e-12);
    // At pixel 0 of a row inside the disc the ramp is far above 1: cut to 1 first.
    info.center_x = 0;
    info.expand = 1;
    info.inner_offset = 5;
    EXPECT_EQ(RingCoverage(info, 0, 0).f, 0.5);
}

TEST(RingCoverage, ScatterZeroLeavesTheGeneratorAlone) {
    ScatterSeed(777);
    const RingRenderInfo info = PlainRing();
    for (int32_t x = 0; x < 10; ++x) RingCoverage(info, x, 5);
    ScatterSeed(777);
    const int32_t expected = ScatterNext();
    ScatterSeed(777);
    for (int32_t x = 0; x < 10; ++x) RingCoverage(info, x, 5);
    EXPECT_EQ(ScatterNext(), expected);
}

std::vector<double> RenderRow(const RingRenderInfo &info, int32_t y, int32_t width) {
    std::vector<double> row;
    for (int32_t x = 0; x < width; ++x) row.push_back(RingCoverage(info, x, y).f);
    return row;
}

TEST(RingCoverage, RowNoiseIsTheSameOnAnyThreadInAnyOrder) {
    RingRenderInfo info = PlainRing();
    info.center_x = 60;
    info.center_y = 40;
    info.radius = 50;
    info.feather = 30;
    info.scatter = 0.000512;
    info.scatter_seed = 123;
    std::vector<std::vector<double>> forward;
    for (int32_t y = 0; y < 80; ++y) forward.push_back(RenderRow(info, y, 130));

    std::vector<std::vector<double>> backward(80);
    std::thread([&] {
        for (int32_t y = 79; y >= 40; --y) backward[static_cast<size_t>(y)] = RenderRow(info, y, 130);
    }).join();
    std::thread([&] {
        for (int32_t y = 0; y < 40; ++y) backward[static_cast<size_t>(y)] = RenderRow(info, y, 130);
    }).join();
    EXPECT_EQ(forward, backward);
}

TEST(RingCoverage, RowSeedWrapsAtThirtyTwoBits) {
    RingRenderInfo info = PlainRing();
    info.scatter = 0.0005;
    info.center_x = -75;
    info.row_offset = 65536;  // 65536 squared wraps to 0, so row 0 is seeded like row offset 0
    info.scatter_seed = 0;
    EXPECT_NEAR(RingCoverage(info, 0, 0).f, 0.391, 1e-12);
}

} // namespace
