#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "params/ring_params.h"
#include "render/pixel_functions.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"

namespace {

// A record whose pixel (0, 0) has coverage f exactly: the centre pixel of a
// ring of radius 0 has ramp value 1, and the opacity scales it to f.
RingRenderInfo CoverageAtOrigin(double f, int32_t mode) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1;
    info.radius = 0;
    info.feather = 1;
    info.expand = 0.5;
    info.opacity = f;
    info.blend_mode = mode;
    info.color1_float = {1, 1.0f, 0.5f, 0.0f};
    info.color2_float = {1, 0.0f, 0.0f, 1.0f};
    return info;
}

using Argb = std::tuple<int, int, int, int>;

Argb Shade8(double f, int32_t mode, PF_Pixel in) {
    RingRenderInfo info = CoverageAtOrigin(f, mode);
    PF_Pixel out{1, 2, 3, 4};
    EXPECT_EQ(ShadePixel8(&info, 0, 0, &in, &out), PF_Err_NONE);
    return {out.alpha, out.red, out.green, out.blue};
}

Argb Shade16(double f, int32_t mode, PF_Pixel16 in) {
    RingRenderInfo info = CoverageAtOrigin(f, mode);
    PF_Pixel16 out{1, 2, 3, 4};
    EXPECT_EQ(ShadePixel16(&info, 0, 0, &in, &out), PF_Err_NONE);
    return {out.alpha, out.red, out.green, out.blue};
}

PF_PixelFloat ShadeFloat(double f, int32_t mode, PF_PixelFloat in) {
    RingRenderInfo info = CoverageAtOrigin(f, mode);
    PF_PixelFloat out{-1, -1, -1, -1};
    EXPECT_EQ(ShadePixelFloat(&info, 0, 0, &in, &out), PF_Err_NONE);
    return out;
}

constexpr PF_Pixel P{255, 200, 100, 0};
constexpr PF_Pixel Q{128, 200, 100, 0};

TEST(ShadePixel8, WorkedTable) {
    struct Row {
        int32_t mode;
        PF_Pixel source;
        Argb half;
        Argb full;
    } table[] = {
        {BLEND_NONE, P, {127, 127, 63, 127}, {255, 255, 127, 0}},
        {BLEND_NONE, Q, {127, 127, 63, 127}, {255, 255, 127, 0}},
        {BLEND_NORMAL, P, {255, 163, 81, 63}, {255, 255, 127, 0}},
        {BLEND_NORMAL, Q, {191, 151, 75, 84}, {255, 255, 127, 0}},
        {BLEND_ADD, P, {255, 255, 131, 63}, {255, 255, 227, 0}},
        {BLEND_ADD, Q, {191, 218, 109, 84}, {255, 255, 177, 0}},
        {BLEND_STENCIL_MULTIPLY, P, {255, 50, 12, 0}, {255, 200, 50, 0}},
        {BLEND_STENCIL_MULTIPLY, Q, {255, 25, 6, 0}, {255, 100, 25, 0}},
        {BLEND_STENCIL_MULTIPLY_ALPHA, P, {50, 255, 61, 0}, {200, 255, 63, 0}},
        {BLEND_STENCIL_MULTIPLY_ALPHA, Q, {25, 255, 61, 0}, {100, 255, 63, 0}},
    };
    for (const Row &row : table) {
        EXPECT_EQ(Shade8(0.5, row.mode, row.source), row.half) << "mode " << row.mode;
        EXPECT_EQ(Shade8(1.0, row.mode, row.source), row.full) << "mode " << row.mode;
    }
}

TEST(ShadePixel16, WorkedExamples) {
    constexpr PF_Pixel16 source{32768, 25600, 12800, 0};
    EXPECT_EQ(Shade16(0.5, BLEND_NONE, source), Argb(16384, 16384, 8192, 16384));
    EXPECT_EQ(Shade16(0.5, BLEND_ADD, source), Argb(32768, 32768, 16896, 8192));
    EXPECT_EQ(Shade16(1.0, BLEND_STENCIL_MULTIPLY, source), Argb(32768, 25600, 6400, 0));
    EXPECT_EQ(Shade16(0.5, BLEND_STENCIL_MULTIPLY_ALPHA, source), Argb(6400, 32768, 8192, 0));
}

void ExpectFloat(const PF_PixelFloat &got, float a, float r, float g, float b) {
    EXPECT_FLOAT_EQ(got.alpha, a);
    EXPECT_FLOAT_EQ(got.red, r);
    EXPECT_FLOAT_EQ(got.green, g);
    EXPECT_FLOAT_EQ(got.blue, b);
}

TEST(ShadePixelFloat, WorkedExamplesAreNeverClamped) {
    constexpr PF_PixelFloat source{1.0f, 0.8f, 0.4f, 0.0f};
    ExpectFloat(ShadeFloat(0.5, BLEND_ADD, source), 1.0f, 1.05f, 0.525f, 0.25f);
    ExpectFloat(ShadeFloat(1.0, BLEND_ADD, source), 1.0f, 1.8f, 0.9f, 0.0f);
    ExpectFloat(ShadeFloat(0.5, BLEND_NORMAL, source), 1.0f, 0.65f, 0.325f, 0.25f);
    ExpectFloat(ShadeFloat(0.5, BLEND_NONE, source), 0.5f, 0.5f, 0.25f, 0.5f);
    ExpectFloat(ShadeFloat(1.0, BLEND_STENCIL_MULTIPLY, source), 1.0f, 0.8f, 0.2f, 0.0f);
    ExpectFloat(ShadeFloat(1.0, BLEND_STENCIL_MULTIPLY_ALPHA, source), 0.8f, 1.0f, 0.25f, 0.0f);
    // Negative source values leave mode 5's colours undivided, alpha negative.
    ExpectFloat(ShadeFloat(1.0, BLEND_STENCIL_MULTIPLY_ALPHA, {1.0f, -0.5f, -0.5f, 0.0f}), 0.0f, -0.5f, -0.25f, 0.0f);
}

TEST(ShadePixel8, CoverageZero) {
    EXPECT_EQ(Shade8(0, BLEND_NONE, P), Argb(0, 0, 0, 255));
    EXPECT_EQ(Shade8(0, BLEND_NORMAL, P), Argb(255, 200, 100, 0));
    EXPECT_EQ(Shade8(0, BLEND_ADD, Q), Argb(128, 200, 100, 0));
    EXPECT_EQ(Shade8(0, BLEND_STENCIL_MULTIPLY, P), Argb(255, 0, 0, 0));
    EXPECT_EQ(Shade8(0, BLEND_STENCIL_MULTIPLY_ALPHA, P), Argb(0, 0, 0, 0));
    EXPECT_EQ(Shade16(0, BLEND_NORMAL, {12345, 100, 200, 300}), Argb(12345, 100, 200, 300));
    EXPECT_EQ(Shade16(0, BLEND_ADD, {1, 32768, 0, 7}), Argb(1, 32768, 0, 7));
}

// Alpha passes through a/255 and back in single precision: exactly the
// values 1..64 and the even values 66..126 lose one.
TEST(ShadePixel8, CoverageZeroAlphaRoundTrip) {
    for (int mode : {BLEND_NORMAL, BLEND_ADD}) {
        int unchanged = 0;
        for (int a = 0; a < 256; ++a) {
            const PF_Pixel source{static_cast<uint8_t>(a), 10, 20, 30};
            const Argb out = Shade8(0, mode, source);
            const bool drops = (a >= 1 && a <= 64) || (a >= 66 && a <= 126 && a % 2 == 0);
            EXPECT_EQ(std::get<0>(out), drops ? a - 1 : a) << "mode " << mode << " alpha " << a;
            EXPECT_EQ(std::get<1>(out), 10);
            EXPECT_EQ(std::get<3>(out), 30);
            unchanged += drops ? 0 : 1;
        }
        EXPECT_EQ(unchanged, 161);
    }
}

TEST(ShadePixel8, TransparentSourceTakesTheRing) {
    EXPECT_EQ(Shade8(0.5, BLEND_NORMAL, {0, 200, 100, 0}), Argb(127, 127, 63, 127));
    EXPECT_EQ(Shade8(0.5, BLEND_STENCIL_MULTIPLY_ALPHA, {255, 0, 0, 0}), Argb(0, 0, 0, 0));
}

// In single precision a tiny coverage over a transparent source makes oa a
// little smaller than the coverage; the ring's weight must not exceed 1.
TEST(ShadePixel, RingWeightIsCappedAtOne) {
    RingRenderInfo info = CoverageAtOrigin(7e-8, BLEND_NORMAL);
    info.color1_float = {1, 0, 0, 0};
    info.color2_float = {1, 0, 0, 0};
    const PF_Pixel source{0, 200, 100, 0};
    PF_Pixel out{};
    ShadePixel8(&info, 0, 0, &source, &out);
    EXPECT_EQ(Argb(out.alpha, out.red, out.green, out.blue), Argb(0, 0, 0, 0));

    info.blend_mode = BLEND_ADD;
    ShadePixel8(&info, 0, 0, &source, &out);
    EXPECT_EQ(Argb(out.alpha, out.red, out.green, out.blue), Argb(0, 0, 0, 0));

    info.blend_mode = BLEND_NORMAL;
    const PF_Pixel16 source16{0, 25600, 12800, 0};
    PF_Pixel16 out16{};
    ShadePixel16(&info, 0, 0, &source16, &out16);
    EXPECT_EQ(Argb(out16.alpha, out16.red, out16.green, out16.blue), Argb(0, 0, 0, 0));

    const PF_PixelFloat source_float{0, 0.8f, 0.4f, 0};
    PF_PixelFloat out_float{};
    ShadePixelFloat(&info, 0, 0, &source_float, &out_float);
    EXPECT_EQ(out_float.red, 0.0f);
    EXPECT_EQ(out_float.green, 0.0f);
}

TEST(ShadePixel, NullRecordAndUnknownModesWriteNothing) {
    const PF_Pixel source{255, 1, 2, 3};
    PF_Pixel out{9, 9, 9, 9};
    EXPECT_EQ(ShadePixel8(nullptr, 0, 0, &source, &out), PF_Err_NONE);
    EXPECT_EQ(Argb(out.alpha, out.red, out.green, out.blue), Argb(9, 9, 9, 9));
    for (int mode : {0, 6, -1}) {
        EXPECT_EQ(Shade8(1.0, mode, source), Argb(1, 2, 3, 4));
        EXPECT_EQ(Shade16(1.0, mode, {1, 1, 1, 1}), Argb(1, 2, 3, 4));
        const PF_PixelFloat untouched = ShadeFloat(1.0, mode, {1, 1, 1, 1});
        EXPECT_EQ(untouched.alpha, -1.0f);
    }
    PF_PixelFloat out_float{5, 5, 5, 5};
    const PF_PixelFloat source_float{1, 1, 1, 1};
    EXPECT_EQ(ShadePixelFloat(nullptr, 0, 0, &source_float, &out_float), PF_Err_NONE);
    EXPECT_EQ(out_float.alpha, 5.0f);
}

TEST(ShadePixel, UnknownModeStillAdvancesTheGenerator) {
    RingRenderInfo info = CoverageAtOrigin(1.0, 0);
    info.scatter = 0.0001;
    const PF_Pixel source{};
    PF_Pixel out{};
    ShadePixel8(&info, 0, 0, &source, &out);  // reseeds with 0, draws one value
    ShadePixel8(&info, 1, 0, &source, &out);
    ScatterSeed(0);
    ScatterNext();
    ScatterNext();
    const int32_t third = ScatterNext();
    ShadePixel8(&info, 0, 0, &source, &out);
    ShadePixel8(&info, 1, 0, &source, &out);
    EXPECT_EQ(ScatterNext(), third);
}

TEST(TruncateToInt64, DefinedForEveryDouble) {
    EXPECT_EQ(TruncateToInt64(263.75), 263);
    EXPECT_EQ(TruncateToInt64(-0.9), 0);
    EXPECT_EQ(TruncateToInt64(-1.5), -1);
    EXPECT_EQ(TruncateToInt64(9223372036854774784.0), 9223372036854774784LL);
    EXPECT_EQ(TruncateToInt64(-9223372036854775808.0), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TruncateToInt64(9223372036854775808.0), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TruncateToInt64(std::nan("")), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TruncateToInt64(-std::numeric_limits<double>::infinity()), std::numeric_limits<int64_t>::min());
}

} // namespace
