#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "render/ring_coverage.h"
#include "tests/unit/cosine_cases.h"

namespace {

uint64_t Bits(double v) { return std::bit_cast<uint64_t>(v); }

TEST(RingCosine, CorrectlyRoundedOnKnownArguments) {
    for (const CosineCase &c : COSINE_CASES) {
        EXPECT_EQ(Bits(CorrectlyRoundedCos(c.x)), Bits(c.expected)) << std::hexfloat << c.x;
        EXPECT_EQ(Bits(PreciseCos(c.x)), Bits(c.expected)) << std::hexfloat << c.x;
    }
}

// These lie far closer to a rounding boundary than the quick path can
// resolve, so each must go through the precise path and still come out right.
TEST(RingCosine, HardestCasesTakeThePrecisePath) {
    for (const CosineCase &c : COSINE_HARD_CASES) {
        double quick = 0.0;
        EXPECT_FALSE(QuickCos(c.x, quick)) << std::hexfloat << c.x;
        EXPECT_EQ(Bits(CorrectlyRoundedCos(c.x)), Bits(c.expected)) << std::hexfloat << c.x;
    }
}

TEST(RingCosine, NotANumberAndInfinitiesGiveNotANumber) {
    for (double x : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        EXPECT_TRUE(std::isnan(CorrectlyRoundedCos(x))) << x;
        EXPECT_TRUE(std::isnan(PreciseCos(x))) << x;
    }
    EXPECT_EQ(CorrectlyRoundedCos(-0.0), 1.0);
}

// The two paths share nothing but the table's origin, so wherever the quick
// path decides, the precise path must give the same bits. Arguments evenly
// over 0..pi and ever closer to pi/2, where the quick path cancels.
TEST(RingCosine, QuickPathAgreesWithPrecisePath) {
    constexpr int STEPS = 60000;
    int handed_on = 0;
    auto check = [&](double x) {
        double quick = 0.0;
        if (!QuickCos(x, quick)) {
            ++handed_on;
            return;
        }
        ASSERT_EQ(Bits(quick), Bits(PreciseCos(x))) << std::hexfloat << x;
        ASSERT_EQ(Bits(CorrectlyRoundedCos(-x)), Bits(quick)) << std::hexfloat << x;
    };
    for (int i = 0; i <= STEPS; ++i) {
        check(RING_PI * (static_cast<double>(i) / STEPS));
    }
    // Evenly spread, the quick path decides nearly all.
    EXPECT_LT(handed_on, STEPS / 1000);
    for (int i = 0; i <= STEPS; ++i) {
        check(RING_PI / 2 + std::ldexp(static_cast<double>(i - STEPS / 2) / STEPS, -(i % 50)));
    }
    EXPECT_GT(handed_on, 0);
}

// The table is constant data printed from the precise path; it must be
// what the precise path gives, bit for bit.
TEST(RingCosine, TableEqualsPrecisePath) {
    const auto made = MakeCosTable();
    for (size_t i = 0; i < COS_TABLE_SIZE; ++i) {
        const CosTableEntry &kept = COS_TABLE[i];
        const CosTableEntry &fresh = made[i];
        const double kept_values[] = {kept.cos_hi, kept.cos_lo, kept.sin_hi, kept.sin_lo, kept.sin_split_hi,
                                      kept.sin_split_lo};
        const double fresh_values[] = {fresh.cos_hi, fresh.cos_lo, fresh.sin_hi, fresh.sin_lo, fresh.sin_split_hi,
                                       fresh.sin_split_lo};
        for (size_t k = 0; k < 6; ++k) {
            ASSERT_EQ(Bits(kept_values[k]), Bits(fresh_values[k]))
                << "entry " << i << ", value " << k
                << "; print the table again with tests/unit/cos_table_generator";
        }
    }
}

TEST(RingCosine, SmoothingKeepsItsEnds) {
    for (double f : {0.0, 1.0}) {
        EXPECT_EQ((1.0 - CorrectlyRoundedCos(RING_PI * f)) * 0.5, f);
    }
    EXPECT_NEAR((1.0 - CorrectlyRoundedCos(RING_PI * 0.5)) * 0.5, 0.5, 1e-15);
    EXPECT_NEAR((1.0 - CorrectlyRoundedCos(RING_PI * 0.9)) * 0.5, 0.97553, 1e-5);
}

}  // namespace
