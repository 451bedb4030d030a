// Bad input of every kind: one line on stderr naming the file or option
// and the reason, a non-zero exit, no file left behind and an existing
// output untouched.
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/cli/pictures.h"
#include "tests/cli/tool_runner.h"

namespace tidalhalo::test {
namespace {

constexpr const char *kPrecious = "an earlier render that must survive";

// Runs a command that must fail with a message holding every expected
// part, into a folder holding out.png from before; nothing may change.
void ExpectRefused(Scratch &scratch, const std::string &args, std::initializer_list<std::string> parts,
                   int status = 1) {
    WriteFile(scratch.Path("out.png"), kPrecious);
    const std::set<std::string> before = scratch.Files();
    const ToolResult run = scratch.Run(args);
    EXPECT_EQ(run.status, status) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_EQ(run.err.rfind("tidalhalo: error: ", 0), 0u) << args << "\n" << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
    for (const std::string &part : parts) {
        EXPECT_NE(run.err.find(part), std::string::npos) << args << "\nmissing '" << part << "' in " << run.err;
    }
    EXPECT_EQ(scratch.Files(), before) << args;
    EXPECT_EQ(ReadFile(scratch.Path("out.png")), kPrecious) << args;
}

// A small valid PNG to damage.
std::string SmallPng(Scratch &scratch) {
    std::vector<uint16_t> rgba;
    for (int i = 0; i < 32 * 32; ++i) {
        rgba.insert(rgba.end(), {static_cast<uint16_t>(i % 256), 7, 99, 255});
    }
    WritePngFile(scratch.Path("small.png"), 32, 32, 6, 8, rgba);
    const std::string bytes = ReadFile(scratch.Path("small.png"));
    std::remove(scratch.Path("small.png").c_str());
    return bytes;
}

TEST(ToolBadInput, UnreadableOrCorruptPicturesAreRefused) {
    Scratch scratch;
    ExpectRefused(scratch, "render missing.png -o out.png", {"missing.png", "No such file"});
    WriteFile(scratch.Path("text.png"), "this is not a picture\n");
    ExpectRefused(scratch, "render text.png -o out.png", {"text.png", "not a PNG or OpenEXR file"});

    const std::string png = SmallPng(scratch);
    WriteFile(scratch.Path("cut.png"), png.substr(0, png.size() / 2));
    ExpectRefused(scratch, "render cut.png -o out.png", {"cut.png"});
    std::string flipped = png;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
    WriteFile(scratch.Path("flipped.png"), flipped);
    ExpectRefused(scratch, "render flipped.png -o out.png", {"flipped.png"});
    WriteFile(scratch.Path("header.png"), png.substr(0, 12));
    ExpectRefused(scratch, "render header.png -o out.png", {"header.png"});

    WriteExrFile(scratch.Path("whole.exr"), 64, 64, std::vector<float>(64 * 64 * 4, 0.5f));
    const std::string exr = ReadFile(scratch.Path("whole.exr"));
    std::remove(scratch.Path("whole.exr").c_str());
    WriteFile(scratch.Path("cut.exr"), exr.substr(0, exr.size() / 2));
    ExpectRefused(scratch, "render cut.exr -o out.png", {"cut.exr"});
}

TEST(ToolBadInput, MalformedOptionValuesAreRefusedBeforeAnyWork) {
    Scratch scratch;
    ExpectRefused(scratch, "render -o out.png --radius abc", {"--radius", "'abc' is not a number"}, 2);
    ExpectRefused(scratch, "render -o out.png --center 10", {"--center", "X,Y"}, 2);
    ExpectRefused(scratch, "render -o out.png --color1 red", {"--color1", "#RRGGBB"}, 2);
    ExpectRefused(scratch, "render -o out.png --blend overlay", {"--blend", "overlay"}, 2);
    ExpectRefused(scratch, "render -o out.png --depth 12", {"--depth", "8, 16 or 32"}, 2);
    ExpectRefused(scratch, "render -o out.png --downsample 0", {"--downsample", "1 to 64"}, 2);
    ExpectRefused(scratch, "render -o out.png --pixel-aspect 0/1", {"--pixel-aspect"}, 2);
    ExpectRefused(scratch, "render -o out.png --threads -1", {"--threads"}, 2);
    ExpectRefused(scratch, "render -o out.png --frames 9-3", {"--frames", "ends before it starts"}, 2);
    ExpectRefused(scratch, "render -o out.png --radius 5 --radius 6", {"--radius", "more than once"}, 2);
    ExpectRefused(scratch, "render -o out.png --radius 5@1 --radius 6@1", {"--radius", "frame 1"}, 2);
    ExpectRefused(scratch, "render -o out.png --radius 5@x", {"--radius", "VALUE@FRAME"}, 2);
    ExpectRefused(scratch, "render -o out.png --glow 3", {"--glow", "unknown option"}, 2);
    ExpectRefused(scratch, "render -o out.png --radius", {"--radius", "needs a value"}, 2);
    ExpectRefused(scratch, "sheet -o out.png --blend add", {"--blend", "not an option of sheet"}, 2);
    ExpectRefused(scratch, "paint", {"paint", "unknown command"}, 2);
    ExpectRefused(scratch, "render a.png b.png", {"b.png", "unexpected argument"}, 2);
}

TEST(ToolBadInput, ValuesOutsideTheEffectsRangesAreRefusedWithTheRange) {
    Scratch scratch;
    ExpectRefused(scratch, "render -o out.png --radius 20000", {"--radius: 20000 is outside the valid range 0 to 10000"});
    ExpectRefused(scratch, "render -o out.png --feather -1", {"--feather", "0 to 10000"});
    ExpectRefused(scratch, "render -o out.png --expand 101", {"--expand", "0% to 100%"});
    ExpectRefused(scratch, "render -o out.png --opacity 150%", {"--opacity: 150 is outside", "0% to 100%"});
    ExpectRefused(scratch, "render -o out.png --scatter 513", {"--scatter", "0 to 512"});
    ExpectRefused(scratch, "render -o out.png --radius 50@0 --radius 10001@10", {"--radius: 10001", "0 to 10000"});
    ExpectRefused(scratch, "render -o out.png --center 40000,0", {"--center"});
    // The edges of the ranges are accepted.
    const ToolResult run = scratch.Run("render --downsample 16 --radius 10000 --scatter 512 --opacity 0 -o edge.png");
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST(ToolBadInput, MissingOrBrokenModuleIsNamed) {
    Scratch scratch;
    ExpectRefused(scratch, "render -o out.png --module /nonexistent/Kv_Tidalhalo.so",
                  {"/nonexistent/Kv_Tidalhalo.so"});
    WriteFile(scratch.Path("fake.so"), "not a shared library");
    ExpectRefused(scratch, "render -o out.png --module fake.so", {"fake.so"});
    ExpectRefused(scratch, "info /nonexistent/Kv_Tidalhalo.so", {"/nonexistent/Kv_Tidalhalo.so"});
}

TEST(ToolBadInput, UnwritableOutputsAreRefusedWithoutLeftovers) {
    Scratch scratch;
    ExpectRefused(scratch, "render -o missing_dir/x.png", {"missing_dir/x.png", "does not exist"});
    WriteFile(scratch.Path("plain"), "a file, not a folder");
    ExpectRefused(scratch, "render -o plain/x.png", {"plain/x.png", "not a directory"});
    ExpectRefused(scratch, "render -o .", {".", "unknown output format"});
    std::filesystem::create_directory(scratch.Path("folder.png"));
    ExpectRefused(scratch, "render -o folder.png", {"folder.png", "is a directory"});
    ExpectRefused(scratch, "render -o out.jpg", {"out.jpg", "unknown output format"});
    ExpectRefused(scratch, "render --frames 1-3 -o out.png", {"out.png", "#"});
}

TEST(ToolBadInput, ASuccessfulRenderReplacesTheOutputWhole) {
    Scratch scratch;
    WriteFile(scratch.Path("out.png"), kPrecious);
    const ToolResult run = scratch.Run("render --downsample 8 -o out.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(scratch.Files(), std::set<std::string>{"out.png"});
    EXPECT_EQ(ReadPicture(scratch.Path("out.png")).width, 240);
}

}  // namespace
}  // namespace tidalhalo::test
