// The ring lands where the options put it: on the test card, on a proxy,
// at a keyframed middle frame, across a frame range and on the sheet.
#include <gtest/gtest.h>

#include "tests/cli/pictures.h"
#include "tests/cli/png_decoders.h"
#include "tests/cli/tool_runner.h"

namespace tidalhalo::test {
namespace {

// Ring alone (blend none): the alpha is the coverage, 255 at the radius.
constexpr double kFull = 200.0;

TEST(ToolRender, TestCardGetsTheDefaultRingAroundItsCentre) {
    Scratch scratch;
    const ToolResult run = scratch.Run("render");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const Picture p = ReadPicture(scratch.Path("halo.png"));
    ASSERT_EQ(p.width, 1920);
    ASSERT_EQ(p.height, 1080);
    EXPECT_EQ(p.bits, 8);
    EXPECT_EQ(p.Alpha(960, 540), 0.0);
    for (const auto &[x, y] : {std::pair{1060, 540}, {860, 540}, {960, 440}, {960, 640}}) {
        EXPECT_GE(p.Alpha(x, y), kFull) << x << "," << y;
    }
    // Full coverage shows colour 1, white by default.
    EXPECT_EQ(p.At(1060, 540, kRed), 255.0);
    EXPECT_EQ(p.At(1060, 540, kBlue), 255.0);
    EXPECT_EQ(p.Alpha(1200, 540), 0.0);
    EXPECT_EQ(p.Alpha(10, 10), 0.0);
}

TEST(ToolRender, CentreRadiusAndColourOptionsMoveAndPaintTheRing) {
    Scratch scratch;
    const ToolResult run =
        scratch.Run("render --center 400,300 --radius 150 --color1 '#FF0000' --threads 2 -o moved.png");
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture p = ReadPicture(scratch.Path("moved.png"));
    EXPECT_GE(p.Alpha(550, 300), kFull);
    EXPECT_GE(p.Alpha(400, 150), kFull);
    EXPECT_EQ(p.At(550, 300, kRed), 255.0);
    EXPECT_EQ(p.At(550, 300, kGreen), 0.0);
    EXPECT_EQ(p.Alpha(400, 300), 0.0);
    EXPECT_EQ(p.Alpha(557, 300), 0.0);  // beyond radius and feather
    EXPECT_EQ(p.Alpha(1060, 540), 0.0);
}

TEST(ToolRender, KeyframedValuesAreInterpolatedAtAMiddleFrame) {
    Scratch scratch;
    // Radius 100 at frame 0 and 300 at frame 20: 200 at frame 10.
    ToolResult run = scratch.Run("render --radius 100@0 --radius 300@20 --frame 10 -o radius.png");
    ASSERT_EQ(run.status, 0) << run.err;
    Picture p = ReadPicture(scratch.Path("radius.png"));
    EXPECT_GE(p.Alpha(1160, 540), kFull);
    EXPECT_GE(p.Alpha(760, 540), kFull);
    EXPECT_EQ(p.Alpha(1050, 540), 0.0);
    EXPECT_EQ(p.Alpha(1210, 540), 0.0);

    // The centre travels from x 200 to 1720 over 24 frames: 960 at 12.
    run = scratch.Run("render --center 200,300@0 --center 1720,300@24 --frame 12 -o centre.png");
    ASSERT_EQ(run.status, 0) << run.err;
    p = ReadPicture(scratch.Path("centre.png"));
    EXPECT_GE(p.Alpha(1060, 300), kFull);
    EXPECT_GE(p.Alpha(860, 300), kFull);
    EXPECT_EQ(p.Alpha(960, 300), 0.0);
    EXPECT_EQ(p.Alpha(300, 300), 0.0);
}

TEST(ToolRender, FrameRangeWritesOneNumberedFilePerFrame) {
    Scratch scratch;
    const ToolResult run =
        scratch.Run("render --frames 3-5 --fps 30000/1001 --downsample 4 --radius 100@3 --radius 300@5 "
                    "-o seq_####.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress bar when stderr is not a terminal
    EXPECT_EQ(scratch.Files(), (std::set<std::string>{"seq_0003.png", "seq_0004.png", "seq_0005.png"}));
    // A quarter-size proxy: 480x270, centre (240, 135), radius 200 / 4 at frame 4.
    const Picture p = ReadPicture(scratch.Path("seq_0004.png"));
    ASSERT_EQ(p.width, 480);
    ASSERT_EQ(p.height, 270);
    EXPECT_GE(p.Alpha(290, 135), kFull);
    EXPECT_EQ(p.Alpha(265, 135), 0.0);
    const Picture last = ReadPicture(scratch.Path("seq_0005.png"));
    EXPECT_GE(last.Alpha(315, 135), kFull);
}

TEST(ToolRender, InputSequenceIsReadFrameByFrame) {
    Scratch scratch;
    // Two input frames whose rings differ, then the same range rendered over them.
    ASSERT_EQ(scratch.Run("render --frames 1-2 --downsample 8 --radius 40@1 --radius 80@2 -o in_##.png").status, 0);
    const ToolResult run = scratch.Run("render in_##.png --frames 1-2 --blend normal --opacity 0 -o out_##.exr");
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture first = ReadPicture(scratch.Path("out_01.exr"));
    const Picture second = ReadPicture(scratch.Path("out_02.exr"));
    // 240x135 proxies, centre (120, 67.5): radius 5 in the first, 10 in the second.
    EXPECT_GT(first.Alpha(125, 67), 0.5);
    EXPECT_EQ(first.Alpha(130, 67), 0.0);
    EXPECT_GT(second.Alpha(130, 67), 0.5);
    const ToolResult missing = scratch.Run("render in_##.png --frames 1-3 -o late_##.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("in_03.png"), std::string::npos) << missing.err;
}

// The range's frames overlap on three threads; each file must be the one a
// run of its own writes, at every compression, and must read back through a
// second decoder.
TEST(ToolRender, FrameRangeWritesWhatSingleFrameRunsWrite) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("render --frames 1-6 --depth 16 --downsample 4 --radius 40@1 --radius 200@6 "
                          "--blend normal -o in_#.png")
                  .status,
              0);
    for (const std::string compression : {"fast", "default", "small"}) {
        const std::string options = " --blend add --radius 10@1 --radius 300@6 --compression " + compression;
        const ToolResult range = scratch.Run("render in_#.png --frames 1-6 -o range_#.png" + options);
        ASSERT_EQ(range.status, 0) << range.err;
        for (int frame = 1; frame <= 6; ++frame) {
            const std::string n = std::to_string(frame);
            const ToolResult single =
                scratch.Run("render in_" + n + ".png --frame " + n + " --threads 1 -o single.png" + options);
            ASSERT_EQ(single.status, 0) << single.err;
            const std::string file = ReadFile(scratch.Path("single.png"));
            EXPECT_EQ(ReadFile(scratch.Path("range_" + n + ".png")), file) << compression << " frame " << n;
            std::string error;
            const std::optional<DecodedPng> decoded = DecodeWithLibpng(std::vector<uint8_t>(file.begin(), file.end()), error);
            ASSERT_TRUE(decoded) << error;
            EXPECT_EQ(decoded->bit_depth, 16);
        }
    }
}

TEST(ToolRender, PixelAspectStretchesTheRingAcrossTheRows) {
    Scratch scratch;
    // Pixels twice as wide as tall: the radius covers half as many columns.
    const ToolResult run = scratch.Run("render --pixel-aspect 2/1 -o wide.png");
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture p = ReadPicture(scratch.Path("wide.png"));
    EXPECT_GE(p.Alpha(1010, 540), kFull);
    EXPECT_GE(p.Alpha(960, 440), kFull);
    EXPECT_EQ(p.Alpha(1060, 540), 0.0);
}

TEST(ToolRender, NormalBlendKeepsTheCardOutsideTheRing) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("render --blend normal -o over.png").status, 0);
    ASSERT_EQ(scratch.Run("render --blend normal --opacity 0 -o card.png").status, 0);
    const Picture over = ReadPicture(scratch.Path("over.png"));
    const Picture card = ReadPicture(scratch.Path("card.png"));
    EXPECT_EQ(over.At(1060, 540, kRed), 255.0);
    EXPECT_EQ(over.Alpha(1060, 540), 255.0);
    for (const auto &[x, y] : {std::pair{100, 100}, {1500, 200}, {300, 900}, {1300, 900}}) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(over.At(x, y, c), card.At(x, y, c)) << x << "," << y << " channel " << c;
        }
    }
    // The card has a transparent corner and opaque quadrants.
    EXPECT_EQ(card.Alpha(1900, 1000), 0.0);
    EXPECT_EQ(card.Alpha(100, 100), 255.0);
}

TEST(ToolSheet, ShowsTheFiveBlendModesInThePopupsOrder) {
    Scratch scratch;
    const ToolResult run = scratch.Run("sheet --downsample 4 -o sheet.png");
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture p = ReadPicture(scratch.Path("sheet.png"));
    ASSERT_EQ(p.width, 5 * 480);
    ASSERT_EQ(p.height, 270);
    const int cx = 240, cy = 135, ring = 25;  // radius 100 at a quarter
    // 1 none: the ring alone, transparent inside.
    EXPECT_EQ(p.Alpha(cx, cy), 0.0);
    EXPECT_GE(p.Alpha(cx + ring, cy), kFull);
    // 2 normal: the opaque card inside, the ring on it.
    EXPECT_EQ(p.Alpha(480 + cx - 10, cy - 10), 255.0);
    EXPECT_GE(p.At(480 + cx + ring, cy, kGreen), kFull);
    // 3 add: the card's colour brightened by the ring.
    EXPECT_EQ(p.Alpha(960 + cx - 10, cy - 10), 255.0);
    // 4 stencil multiply: opaque black where the ring is absent.
    EXPECT_EQ(p.Alpha(1440 + cx, cy), 255.0);
    EXPECT_EQ(p.At(1440 + cx, cy, kRed), 0.0);
    EXPECT_EQ(p.Alpha(1440 + 10, 10), 255.0);
    // 5 stencil multiply + alpha: transparent where the ring is absent.
    EXPECT_EQ(p.Alpha(1920 + cx, cy), 0.0);
    EXPECT_GT(p.Alpha(1920 + cx - ring, cy), 0.0);
}

}  // namespace
}  // namespace tidalhalo::test
