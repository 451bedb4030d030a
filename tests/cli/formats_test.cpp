// Pictures through each format and depth: what comes in is what the host
// sees, and what the host holds is what goes out. Normal blend at opacity 0
// passes the source through the effect untouched (16-bit, float) or nearly
// so (8-bit alpha), which lets a file make the whole round trip.
#include <cmath>

#include <gtest/gtest.h>

#include "tests/cli/pictures.h"
#include "tests/cli/tool_runner.h"

namespace tidalhalo::test {
namespace {

constexpr const char *kPassThrough = "--blend normal --opacity 0";

void ExpectSameSize(const Picture &a, const Picture &b) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    ASSERT_EQ(a.samples.size(), b.samples.size());
}

TEST(ToolFormats, OutputDepthFollowsTheRenderDepthAndTheExtension) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("render --downsample 8 -o a.png").status, 0);
    ASSERT_EQ(scratch.Run("render --downsample 8 --depth 16 -o b.png").status, 0);
    ASSERT_EQ(scratch.Run("render --downsample 8 --depth 32 -o c.PNG").status, 0);
    ASSERT_EQ(scratch.Run("render --downsample 8 -o d.exr").status, 0);
    EXPECT_EQ(ReadPicture(scratch.Path("a.png")).bits, 8);
    EXPECT_EQ(ReadPicture(scratch.Path("b.png")).bits, 16);
    EXPECT_EQ(ReadPicture(scratch.Path("c.PNG")).bits, 16);
    const Picture exr = ReadPicture(scratch.Path("d.exr"));
    EXPECT_EQ(exr.bits, 32);
    EXPECT_EQ(exr.width, 240);
}

TEST(ToolFormats, SixteenBitPngRoundTripIsExact) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("render --depth 16 --blend normal --downsample 2 -o a.png").status, 0);
    const ToolResult run = scratch.Run(std::string("render a.png -o b.png ") + kPassThrough);
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture a = ReadPicture(scratch.Path("a.png"));
    const Picture b = ReadPicture(scratch.Path("b.png"));
    EXPECT_EQ(b.bits, 16);
    ExpectSameSize(a, b);
    EXPECT_EQ(a.samples, b.samples);
    // Full intensity is 32768 in the host and 65535 in the file.
    EXPECT_EQ(a.Alpha(10, 10), 65535.0);
}

TEST(ToolFormats, EightBitPngRoundTripKeepsColoursExactly) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("render --blend add --downsample 2 -o a.png").status, 0);
    ASSERT_EQ(scratch.Run(std::string("render a.png -o b.png ") + kPassThrough).status, 0);
    const Picture a = ReadPicture(scratch.Path("a.png"));
    const Picture b = ReadPicture(scratch.Path("b.png"));
    ExpectSameSize(a, b);
    for (std::size_t i = 0; i < a.samples.size(); ++i) {
        if (i % 4 == 3) {
            // The effect itself may lower an 8-bit alpha by one here.
            EXPECT_NEAR(a.samples[i], b.samples[i], 1.0) << i;
        } else {
            ASSERT_EQ(a.samples[i], b.samples[i]) << i;
        }
    }
}

TEST(ToolFormats, ExrRoundTripKeepsFloatValues) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("render --depth 32 --blend add --downsample 2 -o a.exr").status, 0);
    ASSERT_EQ(scratch.Run(std::string("render a.exr -o b.exr ") + kPassThrough).status, 0);
    const Picture a = ReadPicture(scratch.Path("a.exr"));
    const Picture b = ReadPicture(scratch.Path("b.exr"));
    ExpectSameSize(a, b);
    for (std::size_t i = 0; i < a.samples.size(); ++i) {
        ASSERT_NEAR(a.samples[i], b.samples[i], 1e-6 * (1.0 + std::fabs(a.samples[i]))) << i;
    }
}

TEST(ToolFormats, ExrValuesAboveOneAreNeverClamped) {
    Scratch scratch;
    // An opaque, over-bright grey; the add blend brightens it further.
    std::vector<float> rgba;
    for (int i = 0; i < 64 * 64; ++i) {
        rgba.insert(rgba.end(), {2.5f, 1.5f, 0.25f, 1.0f});
    }
    WriteExrFile(scratch.Path("bright.exr"), 64, 64, rgba);
    ASSERT_EQ(scratch.Run(std::string("render bright.exr -o same.exr ") + kPassThrough).status, 0);
    const Picture same = ReadPicture(scratch.Path("same.exr"));
    EXPECT_FLOAT_EQ(static_cast<float>(same.At(5, 5, kRed)), 2.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(same.At(5, 5, kGreen)), 1.5f);
    ASSERT_EQ(scratch.Run("render bright.exr --blend add --radius 20 -o added.exr").status, 0);
    const Picture added = ReadPicture(scratch.Path("added.exr"));
    EXPECT_GT(added.At(52, 32, kRed), 3.0);  // on the ring: 2.5 plus white
}

TEST(ToolFormats, ExrColourIsPremultipliedInTheFileAndStraightInTheHost) {
    Scratch scratch;
    // Half-transparent red, stored premultiplied: 0.4 red at alpha 0.5.
    std::vector<float> rgba;
    for (int i = 0; i < 16 * 16; ++i) {
        rgba.insert(rgba.end(), {0.4f, 0.0f, 0.0f, 0.5f});
    }
    WriteExrFile(scratch.Path("half.exr"), 16, 16, rgba);
    ASSERT_EQ(scratch.Run(std::string("render half.exr -o half.png --depth 8 ") + kPassThrough).status, 0);
    const Picture png = ReadPicture(scratch.Path("half.png"));
    EXPECT_EQ(png.At(3, 3, kRed), 204.0);  // 0.8 straight
    EXPECT_NEAR(png.Alpha(3, 3), 127.0, 1.0);
    ASSERT_EQ(scratch.Run(std::string("render half.exr -o again.exr ") + kPassThrough).status, 0);
    const Picture exr = ReadPicture(scratch.Path("again.exr"));
    EXPECT_NEAR(exr.At(3, 3, kRed), 0.4, 1e-6);
    EXPECT_NEAR(exr.Alpha(3, 3), 0.5, 1e-6);
}

TEST(ToolFormats, GreyAndRgbPngsBecomeRgbaWithAlphaWhereMissing) {
    Scratch scratch;
    const int w = 8, h = 4;
    std::vector<uint16_t> grey8, grey_alpha16, rgb8;
    for (int i = 0; i < w * h; ++i) {
        grey8.push_back(static_cast<uint16_t>(i * 7));
        grey_alpha16.insert(grey_alpha16.end(), {static_cast<uint16_t>(i * 2000 + 3), 65535});
        rgb8.insert(rgb8.end(), {static_cast<uint16_t>(i), 100, 200});
    }
    WritePngFile(scratch.Path("g8.png"), w, h, 0, 8, grey8);
    WritePngFile(scratch.Path("ga16.png"), w, h, 4, 16, grey_alpha16);
    WritePngFile(scratch.Path("rgb8.png"), w, h, 2, 8, rgb8);
    for (const char *name : {"g8", "ga16", "rgb8"}) {
        const ToolResult run =
            scratch.Run(std::string("render ") + name + ".png -o " + name + "_out.png " + kPassThrough);
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
    }
    const Picture g8 = ReadPicture(scratch.Path("g8_out.png"));
    const Picture ga16 = ReadPicture(scratch.Path("ga16_out.png"));
    const Picture rgb8_out = ReadPicture(scratch.Path("rgb8_out.png"));
    EXPECT_EQ(g8.bits, 8);
    EXPECT_EQ(ga16.bits, 16);
    for (int i = 0; i < w * h; ++i) {
        const int x = i % w, y = i / w;
        EXPECT_EQ(g8.At(x, y, kRed), i * 7.0);
        EXPECT_EQ(g8.At(x, y, kBlue), i * 7.0);
        EXPECT_EQ(g8.Alpha(x, y), 255.0);
        // 16-bit file samples pass through the host's 0..32768 scale.
        EXPECT_NEAR(ga16.At(x, y, kGreen), i * 2000.0 + 3.0, 1.0);
        EXPECT_EQ(ga16.Alpha(x, y), 65535.0);
        EXPECT_EQ(rgb8_out.At(x, y, kRed), i);
        EXPECT_EQ(rgb8_out.At(x, y, kBlue), 200.0);
        EXPECT_EQ(rgb8_out.Alpha(x, y), 255.0);
    }
}

TEST(ToolFormats, DepthConversionsAgreeWithinOneStep) {
    Scratch scratch;
    // The same card rendered at 16 bits directly and via an 8-bit file.
    ASSERT_EQ(scratch.Run(std::string("render --downsample 4 -o a8.png ") + kPassThrough).status, 0);
    ASSERT_EQ(scratch.Run(std::string("render a8.png --depth 16 -o a16.png ") + kPassThrough).status, 0);
    ASSERT_EQ(scratch.Run(std::string("render a8.png --depth 32 -o a32.exr ") + kPassThrough).status, 0);
    const Picture a8 = ReadPicture(scratch.Path("a8.png"));
    const Picture a16 = ReadPicture(scratch.Path("a16.png"));
    const Picture a32 = ReadPicture(scratch.Path("a32.exr"));
    ExpectSameSize(a8, a16);
    for (std::size_t i = 0; i < a8.samples.size(); i += 4) {
        for (std::size_t c = 0; c < 4; ++c) {
            ASSERT_NEAR(a16.samples[i + c], a8.samples[i + c] * 257.0, 1.0) << i;
        }
        // EXR holds colour times alpha.
        const double alpha = a8.samples[i + 3] / 255.0;
        ASSERT_NEAR(a32.samples[i + 3], alpha, 1e-6);
        ASSERT_NEAR(a32.samples[i], a8.samples[i] / 255.0 * alpha, 1e-6);
    }
}

}  // namespace
}  // namespace tidalhalo::test
