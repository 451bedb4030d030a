// The coverage worked out several pixels at a time against the plain
// formulas, lane by lane: the cosine of every lane, the lanes the quick path
// cannot decide among those it can, and runs of every length.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "params/ring_params.h"
#include "render/coverage_ahead.h"
#include "render/ring_coverage.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"
#include "tests/unit/cosine_cases.h"

namespace {

uint64_t Bits(double v) { return std::bit_cast<uint64_t>(v); }

// Every lane alone gives what the single cosine gives, whatever its
// neighbours: hard cases that the quick path hands on, beside plain
// arguments, NaN, infinities and arguments past the table.
TEST(CoverageAhead, CosineOfEveryLaneEqualsTheSingleCosine) {
    const double specials[] = {0.0, -0.0, RING_PI, 3.2, 1e300, -2.0, std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    std::vector<double> arguments(std::begin(specials), std::end(specials));
    for (const CosineCase &c : COSINE_HARD_CASES) {
        arguments.push_back(c.x);
    }
    uint64_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        arguments.push_back(RING_PI * static_cast<double>(state >> 11) * 0x1p-53);
    }
    double x[RING_AHEAD_PIXELS];
    double result[RING_AHEAD_PIXELS];
    // Each argument in turn in every lane, its neighbours the next ones.
    for (size_t i = 0; i < arguments.size(); ++i) {
        for (uint32_t k = 0; k < RING_AHEAD_PIXELS; ++k) {
            x[k] = arguments[(i + k * 7919) % arguments.size()];
        }
        RingCosAhead(x, result);
        for (uint32_t k = 0; k < RING_AHEAD_PIXELS; ++k) {
            const double expected = CorrectlyRoundedCos(x[k]);
            if (std::isnan(expected)) {
                ASSERT_TRUE(std::isnan(result[k])) << std::hexfloat << x[k];
            } else {
                ASSERT_EQ(Bits(result[k]), Bits(expected)) << std::hexfloat << x[k] << " in lane " << k;
            }
        }
    }
}

RingRenderInfo RunRecord(double center_x, double scatter, uint8_t smooth) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1.0;
    info.center_x = center_x;
    info.center_y = 3.0;
    info.radius = 6.0;
    info.expand = 0.5;
    info.inner_offset = -1.0;
    info.feather = 4.0;
    info.opacity = 0.75;
    info.scatter = scatter;
    info.smooth = smooth;
    info.color1_float = {1.0f, 0.25f, 0.5f, 1.0f};
    info.color2_float = {1.0f, 1.0f, 0.0f, 0.125f};
    info.blend_mode = BLEND_NORMAL;
    return info;
}

// Runs of every length from every start, up to the last column of the
// 32-bit range, each pixel's noise drawn in turn from the given state: the
// coverage of each equals the plain formula's, and the state passed in is
// left alone.
TEST(CoverageAhead, RunsOfEveryLengthEqualThePlainFormula) {
    constexpr int32_t LAST = std::numeric_limits<int32_t>::max();
    for (const double center_x : {12.0, static_cast<double>(LAST) - 10.0}) {
        const int32_t first = center_x > 100.0 ? LAST - 24 : 1;
        for (const double scatter : {0.0, 0.003}) {
            for (const uint8_t smooth : {uint8_t{0}, uint8_t{1}}) {
                const RingRenderInfo info = RunRecord(center_x, scatter, smooth);
                for (int32_t y = 0; y < 8; ++y) {
                    for (int64_t column = first; column <= LAST && column < first + 24; ++column) {
                        const auto x = static_cast<int32_t>(column);
                        const int64_t room = int64_t{LAST} - column + 1;
                        for (uint32_t count = 1; count <= RING_AHEAD_PIXELS && count <= room; ++count) {
                            const uint32_t seed = static_cast<uint32_t>(x) + static_cast<uint32_t>(y);
                            const uint32_t state = 0x9E3779B9u * seed;
                            double coverage[RING_AHEAD_PIXELS];
                            RingCoverageAhead(info, x, y, state, count, coverage);
                            ScatterSeed(state);
                            for (uint32_t k = 0; k < count; ++k) {
                                const RingSample plain = RingCoverage(info, x + static_cast<int32_t>(k), y);
                                ASSERT_EQ(Bits(coverage[k]), Bits(plain.f))
                                    << "column " << x + static_cast<int32_t>(k) << ", row " << y << ", run of "
                                    << count << ", scatter " << scatter << ", smooth " << int{smooth};
                            }
                        }
                    }
                }
            }
        }
    }
}

// Runs worked out stage by stage, of lengths around the stages' turns and
// up to the longest: each pixel's coverage is the plain formula's, and the
// state returned is the generator's after the run's draws.
TEST(CoverageAhead, StagedRunsEqualThePlainFormula) {
    constexpr int32_t LAST = std::numeric_limits<int32_t>::max();
    for (const double center_x : {40.0, static_cast<double>(LAST) - 30.0}) {
        const int32_t first = center_x > 100.0 ? LAST - 70 : 1;
        for (const double scatter : {0.0, 0.003}) {
            for (const uint8_t smooth : {uint8_t{0}, uint8_t{1}}) {
                const RingRenderInfo info = RunRecord(center_x, scatter, smooth);
                for (const uint32_t count : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 31u, 63u, RING_RUN_PIXELS}) {
                    for (int32_t y = 0; y < 8; ++y) {
                        const int32_t x = first + y * 3;
                        if (int64_t{x} + count - 1 > LAST) {
                            continue;
                        }
                        const uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(x + y);
                        double coverage[RING_RUN_PIXELS];
                        const uint32_t after = RingCoverageRun(info, x, y, state, count, coverage);
                        ScatterSeed(state);
                        for (uint32_t k = 0; k < count; ++k) {
                            const RingSample plain = RingCoverage(info, x + static_cast<int32_t>(k), y);
                            ASSERT_EQ(Bits(coverage[k]), Bits(plain.f))
                                << "column " << x + static_cast<int32_t>(k) << ", row " << y << ", run of " << count
                                << ", scatter " << scatter << ", smooth " << int{smooth};
                        }
                        EXPECT_EQ(after, scatter > 0.0 ? CurrentRingThreadState().scatter_state : state);
                    }
                }
            }
        }
    }
}

}  // namespace
