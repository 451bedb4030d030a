// Bad input of every kind: one line on stderr naming the file or option
// and the reason, a non-zero exit, no file created and every existing file
// left as it was.
#include <cstdio>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/pictures.h"
#include "tests/cli/tool_runner.h"

namespace tidalhalo::test {
namespace {

constexpr const char *kPrecious = "an earlier render that must survive";
constexpr int kUsage = 2;
constexpr int kFailure = 1;

struct Refusal {
    std::string args;
    std::vector<std::string> parts;  // each must appear in the message
    int status = kFailure;
};

// Every entry under the scratch folder with its bytes (a link by where it
// points), so any file created, removed or changed shows.
std::map<std::string, std::string> Snapshot(const Scratch &scratch) {
    std::map<std::string, std::string> entries;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(scratch.Dir())) {
        const std::string name = std::filesystem::relative(entry.path(), scratch.Dir()).string();
        if (entry.is_symlink()) {
            entries[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            entries[name] = ReadFile(entry.path().string());
        } else {
            entries[name] = "not a regular file";
        }
    }
    return entries;
}

// Runs each command, which must fail with one line holding every expected
// part, and change nothing in the folder, which holds out.png from before.
void ExpectRefused(Scratch &scratch, const std::vector<Refusal> &table) {
    WriteFile(scratch.Path("out.png"), kPrecious);
    const std::map<std::string, std::string> before = Snapshot(scratch);
    for (const Refusal &refusal : table) {
        SCOPED_TRACE(refusal.args);
        const ToolResult run = scratch.Run(refusal.args);
        EXPECT_EQ(run.status, refusal.status);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("tidalhalo: error: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
        for (const std::string &part : refusal.parts) {
            EXPECT_NE(run.err.find(part), std::string::npos) << "missing '" << part << "' in " << run.err;
        }
        EXPECT_EQ(Snapshot(scratch), before);
    }
}

// A small valid PNG or EXR, as bytes.
std::string SmallPng(Scratch &scratch) {
    std::vector<uint16_t> rgba;
    for (int i = 0; i < 32 * 32; ++i) {
        rgba.insert(rgba.end(), {static_cast<uint16_t>(i % 256), 7, 99, 255});
    }
    WritePngFile(scratch.Path("small.tmp"), 32, 32, 6, 8, rgba);
    const std::string bytes = ReadFile(scratch.Path("small.tmp"));
    std::remove(scratch.Path("small.tmp").c_str());
    return bytes;
}

std::string SmallExr(Scratch &scratch) {
    WriteExrFile(scratch.Path("small.tmp"), 64, 64, std::vector<float>(64 * 64 * 4, 0.5f));
    const std::string bytes = ReadFile(scratch.Path("small.tmp"));
    std::remove(scratch.Path("small.tmp").c_str());
    return bytes;
}

void PutBigEndian(std::string &bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
    }
}

uint32_t Crc32(const std::string &bytes, std::size_t from, std::size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < from + count; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// The small PNG with a header that states another size (checksum intact).
std::string PngStating(const std::string &png, uint32_t width, uint32_t height) {
    std::string bytes = png;
    PutBigEndian(bytes, 16, width);
    PutBigEndian(bytes, 20, height);
    PutBigEndian(bytes, 29, Crc32(bytes, 12, 17));
    return bytes;
}

// An EXR header attribute stating a size, whatever its value holds.
std::string Attribute(const std::string &name, const std::string &type, uint32_t size, const std::string &value) {
    std::string bytes = name + '\0' + type + '\0';
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>(size >> (8 * i));
    }
    return bytes + value;
}

// An EXR header stating a data window and any further attributes (each
// written whole), followed by nothing.
std::string ExrStating(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const std::string &more = "") {
    auto attribute = [](const std::string &name, const std::string &type, const std::string &value) {
        return Attribute(name, type, static_cast<uint32_t>(value.size()), value);
    };
    auto little = [](std::initializer_list<int32_t> values) {
        std::string bytes;
        for (const int32_t v : values) {
            for (int i = 0; i < 4; ++i) {
                bytes += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
            }
        }
        return bytes;
    };
    std::string channels;
    for (const char *name : {"A", "B", "G", "R"}) {
        channels += std::string(name) + '\0' + little({2}) + std::string(4, '\0') + little({1, 1});
    }
    channels += '\0';
    return std::string("\x76\x2f\x31\x01\x02\x00\x00\x00", 8) + attribute("channels", "chlist", channels) +
           attribute("compression", "compression", std::string(1, '\3')) +
           attribute("dataWindow", "box2i", little({x0, y0, x1, y1})) +
           attribute("displayWindow", "box2i", little({0, 0, 0, 0})) +
           attribute("lineOrder", "lineOrder", std::string(1, '\0')) +
           attribute("pixelAspectRatio", "float", little({0x3f800000})) +
           attribute("screenWindowCenter", "v2f", little({0, 0})) +
           attribute("screenWindowWidth", "float", little({0x3f800000})) + more + '\0';
}

// The largest resident size any tool run of this test process reached.
long PeakToolMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST(ToolBadInput, UnreadableOrCorruptPicturesAreRefused) {
    Scratch scratch;
    const std::string png = SmallPng(scratch);
    const std::string exr = SmallExr(scratch);
    std::filesystem::create_directory(scratch.Path("folder.png"));
    WriteFile(scratch.Path("empty.png"), "");
    WriteFile(scratch.Path("text.png"), "this is not a picture\n");
    WriteFile(scratch.Path("cut.png"), png.substr(0, png.size() / 2));
    std::string flipped = png;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
    WriteFile(scratch.Path("flipped.png"), flipped);
    WriteFile(scratch.Path("header.png"), png.substr(0, 12));
    WriteFile(scratch.Path("cut.exr"), exr.substr(0, exr.size() / 2));
    ASSERT_EQ(mkfifo(scratch.Path("pipe.png").c_str(), 0600), 0);

    ExpectRefused(scratch, {
        {"render missing.png -o new.png", {"missing.png: No such file"}},
        {"render folder.png -o new.png", {"folder.png: is a directory"}},
        {"sheet folder.png -o new.png", {"folder.png: is a directory"}},
        {"render empty.png -o new.png", {"empty.png: is empty"}},
        {"render text.png -o new.png", {"text.png: not a PNG or OpenEXR file"}},
        {"render cut.png -o new.png", {"cut.png: corrupt PNG data"}},
        {"render flipped.png -o new.png", {"flipped.png"}},
        {"render header.png -o new.png", {"header.png"}},
        {"render cut.exr -o new.png", {"cut.exr"}},
        {"render pipe.png -o new.png", {"pipe.png: is not a regular file"}},
        {"render /dev/null -o new.png", {"/dev/null: is not a regular file"}},
    });
}

TEST(ToolBadInput, HugeStatedSizesAreRefusedBeforeThePixelsAreAllocated) {
    Scratch scratch;
    const std::string png = SmallPng(scratch);
    WriteFile(scratch.Path("huge.png"), PngStating(png, 100000, 100000));
    WriteFile(scratch.Path("wide.png"), PngStating(png, 0x7FFFFFFF, 1));
    WriteFile(scratch.Path("many.png"), PngStating(png, 20000, 20000));  // each side within the limit
    WriteFile(scratch.Path("short.png"), PngStating(png, 16384, 16384));  // within the limit, no data
    WriteFile(scratch.Path("huge.exr"), ExrStating(0, 0, 99999, 99999));
    WriteFile(scratch.Path("wide.exr"), ExrStating(0, 0, 0x7FFFFFFE, 0));
    WriteFile(scratch.Path("span.exr"), ExrStating(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
    WriteFile(scratch.Path("many.exr"), ExrStating(-10000, -10000, 9999, 9999));
    WriteFile(scratch.Path("inverted.exr"), ExrStating(10, 10, 0, 0));
    WriteFile(scratch.Path("attribute.exr"), ExrStating(0, 0, 9, 9, Attribute("note", "mine", 0x70000000, "abc")));
    WriteFile(scratch.Path("deep.exr"), ExrStating(0, 0, 9, 9, Attribute("type", "string", 12, "deepscanline")));

    const std::string limit = "beyond the limit of 32767 pixels a side and 268435456 pixels";
    ExpectRefused(scratch, {
        {"render huge.png -o new.png", {"huge.png: image size 100000x100000", limit}},
        {"render wide.png -o new.png", {"wide.png: image size 2147483647x1", limit}},
        {"render many.png --depth 32 -o new.png", {"many.png: image size 20000x20000", limit}},
        {"sheet many.png -o new.png", {"many.png: image size 20000x20000", limit}},
        {"render short.png --depth 32 -o new.png", {"short.png: too short for a 16384x16384 picture"}},
        {"render huge.exr -o new.png", {"huge.exr: image size 100000x100000", limit}},
        {"render wide.exr -o new.png", {"wide.exr: image size 2147483647x1", limit}},
        {"render span.exr -o new.png", {"span.exr: image size 4294967296x4294967296", limit}},
        {"render many.exr --depth 8 -o new.png", {"many.exr: image size 20000x20000", limit}},
        {"render inverted.exr -o new.png", {"inverted.exr: image size -9x-9 is empty"}},
        {"render attribute.exr -o new.png", {"attribute.exr: header attribute 'note' states 1879048192 bytes"}},
        {"render deep.exr -o new.png", {"deep.exr: holds deep data"}},
    });
    // Any of these, allocated, would take a gigabyte or more.
    EXPECT_LT(PeakToolMemoryKiB(), 512 * 1024);
}

TEST(ToolBadInput, MalformedOptionValuesAreRefusedBeforeAnyWork) {
    Scratch scratch;
    ExpectRefused(scratch, {
        {"render -o new.png --radius abc", {"--radius: 'abc' is not a number"}, kUsage},
        {"render -o new.png --compression tiny", {"--compression: 'tiny' is not a compression"}, kUsage},
        {"render -o new.png --radius nan", {"--radius: 'nan' is not a number"}, kUsage},
        {"render -o new.png --radius inf", {"--radius: 'inf' is not a number"}, kUsage},
        {"render -o new.png --radius -inf", {"--radius: '-inf' is not a number"}, kUsage},
        {"render -o new.png --radius 1e400", {"--radius: '1e400' is not a number"}, kUsage},
        {"render -o new.png --radius ''", {"--radius: '' is not a number"}, kUsage},
        {"render -o new.png --radius=", {"--radius: '' is not a number"}, kUsage},
        {"render -o new.png --radius", {"--radius: needs a value"}, kUsage},
        {"render -o new.png --opacity NaN%", {"--opacity: 'NaN%' is not a number"}, kUsage},
        {"render -o new.png --opacity %", {"--opacity: '%' is not a number"}, kUsage},
        {"render -o new.png --center 10", {"--center", "X,Y"}, kUsage},
        {"render -o new.png --center nan,1", {"--center", "X,Y"}, kUsage},
        {"render -o new.png --center 1,inf", {"--center", "X,Y"}, kUsage},
        {"render -o new.png --center 1,2,3", {"--center", "X,Y"}, kUsage},
        {"render -o new.png --center ''", {"--center", "X,Y"}, kUsage},
        {"render -o new.png --color1 red", {"--color1", "#RRGGBB"}, kUsage},
        {"render -o new.png --color1 ''", {"--color1", "#RRGGBB"}, kUsage},
        {"render -o new.png --color2 '#12345'", {"--color2", "#RRGGBB"}, kUsage},
        {"render -o new.png --color2 '#-12345'", {"--color2", "#RRGGBB"}, kUsage},
        {"render -o new.png --blend overlay", {"--blend", "overlay"}, kUsage},
        {"render -o new.png --blend 6", {"--blend", "not a blend mode"}, kUsage},
        {"render -o new.png --blend ''", {"--blend", "not a blend mode"}, kUsage},
        {"render -o new.png --depth 12", {"--depth", "8, 16 or 32"}, kUsage},
        {"render -o new.png --depth nan", {"--depth", "8, 16 or 32"}, kUsage},
        {"render -o new.png --downsample 0", {"--downsample", "1 to 64"}, kUsage},
        {"render -o new.png --downsample 65", {"--downsample", "1 to 64"}, kUsage},
        {"render -o new.png --downsample 2,", {"--downsample: '2,' is not a factor X or a pair X,Y"}, kUsage},
        {"render -o new.png --downsample ,2", {"--downsample: ',2' is not a factor X or a pair X,Y"}, kUsage},
        {"render -o new.png --downsample inf", {"--downsample: 'inf' is not a whole number"}, kUsage},
        {"render -o new.png --pixel-aspect 0/1", {"--pixel-aspect", "positive ratio"}, kUsage},
        {"render -o new.png --pixel-aspect inf", {"--pixel-aspect", "positive ratio"}, kUsage},
        {"render -o new.png --pixel-aspect -1", {"--pixel-aspect", "positive ratio"}, kUsage},
        {"render -o new.png --fps 0", {"--fps", "positive ratio"}, kUsage},
        {"render -o new.png --fps 1/0", {"--fps", "positive ratio"}, kUsage},
        {"render -o new.png --fps nan", {"--fps", "positive ratio"}, kUsage},
        {"render -o new.png --fps ''", {"--fps", "positive ratio"}, kUsage},
        {"render -o new.png --threads -1", {"--threads", "0 to 1024"}, kUsage},
        {"render -o new.png --threads 1025", {"--threads", "0 to 1024"}, kUsage},
        {"render -o new.png --frame nan", {"--frame: 'nan' is not a whole number"}, kUsage},
        {"render -o new.png --frame -1", {"--frame", "0 to 2147483647"}, kUsage},
        {"render -o new.png --frame 1.5", {"--frame: '1.5' is not a whole number"}, kUsage},
        {"render -o new.png --frame 99999999999", {"--frame", "0 to 2147483647"}, kUsage},
        {"render -o 'f_#.png' --frames 9-3", {"--frames", "ends before it starts"}, kUsage},
        {"render -o 'f_#.png' --frames 1-", {"--frames: '1-' is not a frame N or a range A-B"}, kUsage},
        {"render -o 'f_#.png' --frames -3", {"--frames: '-3' is not a frame N or a range A-B"}, kUsage},
        {"render -o 'f_#.png' --frames a-b", {"--frames: 'a' is not a whole number"}, kUsage},
        {"render -o 'f_#.png' --frames ''", {"--frames: '' is not a whole number"}, kUsage},
        {"render -o new.png --frame 1 --frames 1-2", {"--frame", "cannot be combined"}, kUsage},
        // The host counts time in 32 bits, in units of the frame rate's denominator.
        {"render -o new.png --fps 24000/1001 --frame 2147483", {"--frame: frame 2147483 is beyond the host's time range"},
         kUsage},
        {"render -o new.png --radius 5 --radius 6", {"--radius", "more than once"}, kUsage},
        {"render -o new.png --radius 5 --radius 6@1", {"--radius", "more than once"}, kUsage},
        {"render -o new.png --radius 5@1 --radius 6@1", {"--radius", "two keyframes at frame 1"}, kUsage},
        {"render -o new.png --radius 5@x", {"--radius: '5@x' needs a frame number", "VALUE@FRAME"}, kUsage},
        {"render -o new.png --radius 5@", {"--radius: '5@' needs a frame number", "VALUE@FRAME"}, kUsage},
        {"render -o new.png --radius 5@-1", {"--radius: '5@-1' needs a frame number from 0 to 2147483647"}, kUsage},
        {"render -o new.png --radius 5@1.5", {"--radius: '5@1.5' needs a frame number"}, kUsage},
        {"render -o new.png --radius 5@nan", {"--radius: '5@nan' needs a frame number"}, kUsage},
        {"render -o new.png --radius 5@inf", {"--radius: '5@inf' needs a frame number"}, kUsage},
        {"render -o new.png --radius @5", {"--radius: '@5' has no value before '@'"}, kUsage},
        {"render -o new.png --radius 5@1@2", {"--radius: '5@1@2' has more than one '@'"}, kUsage},
        {"render -o new.png --radius nan@3", {"--radius: 'nan' is not a number"}, kUsage},
        {"render -o new.png --center 1,2@", {"--center: '1,2@' needs a frame number"}, kUsage},
        {"render -o new.png --center 1@2", {"--center: '1@2' is not a point written X,Y"}, kUsage},
        {"render -o new.png --glow 3", {"--glow: unknown option"}, kUsage},
        {"render -o new.png -x", {"-x: unknown option"}, kUsage},
        {"render -o new.png --smooth=yes", {"--smooth: takes no value"}, kUsage},
        {"sheet -o new.png --blend add", {"--blend", "not an option of sheet"}, kUsage},
        {"paint", {"paint", "unknown command"}, kUsage},
        {"render a.png b.png", {"b.png", "unexpected argument"}, kUsage},
        {"render -o ''", {"-o: needs a file name"}, kUsage},
        {"render --output= ", {"--output: needs a file name"}, kUsage},
        {"render --module '' -o new.png", {"--module: needs a file name"}, kUsage},
        {"render '' -o new.png", {"'': needs a file name"}, kUsage},
    });
}

TEST(ToolBadInput, ValuesOutsideTheEffectsRangesAreRefusedWithTheRange) {
    Scratch scratch;
    ExpectRefused(scratch, {
        {"render -o new.png --radius 20000", {"--radius: 20000 is outside the valid range 0 to 10000"}},
        {"render -o new.png --radius 1e300", {"--radius", "0 to 10000"}},
        {"render -o new.png --feather -1", {"--feather", "0 to 10000"}},
        {"render -o new.png --expand 101", {"--expand", "0% to 100%"}},
        {"render -o new.png --opacity 150%", {"--opacity: 150 is outside", "0% to 100%"}},
        {"render -o new.png --scatter 513", {"--scatter", "0 to 512"}},
        {"render -o new.png --radius 50@0 --radius 10001@10", {"--radius: 10001", "0 to 10000"}},
        {"render -o new.png --center 40000,0", {"--center"}},
        {"render -o new.png --center 0,-1e300", {"--center"}},
        {"sheet -o new.png --scatter -0.5", {"--scatter", "0 to 512"}},
    });
    // The edges of the ranges are accepted.
    const ToolResult run = scratch.Run("render --downsample 16 --radius 10000 --scatter 512 --opacity 0 -o edge.png");
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST(ToolBadInput, MissingOrBrokenModuleIsNamed) {
    Scratch scratch;
    WriteFile(scratch.Path("fake.so"), "not a shared library");
    ExpectRefused(scratch, {
        {"render -o new.png --module /nonexistent/Kv_Tidalhalo.so", {"/nonexistent/Kv_Tidalhalo.so"}},
        {"render -o new.png --module fake.so", {"fake.so"}},
        {"info /nonexistent/Kv_Tidalhalo.so", {"/nonexistent/Kv_Tidalhalo.so"}},
    });
}

TEST(ToolBadInput, UnwritableOutputsAreRefused) {
    Scratch scratch;
    WriteFile(scratch.Path("plain"), "a file, not a folder");
    std::filesystem::create_directory(scratch.Path("folder.png"));
    std::filesystem::create_directory(scratch.Path("folder"));
    ExpectRefused(scratch, {
        {"render -o missing_dir/x.png", {"missing_dir/x.png", "does not exist"}},
        {"render -o plain/x.png", {"plain/x.png", "not a directory"}},
        {"render -o .", {".: is a directory"}},
        {"render -o folder.png", {"folder.png: is a directory"}},
        {"render -o folder", {"folder: is a directory"}},
        {"sheet -o folder.png", {"folder.png: is a directory"}},
        {"render -o out.jpg", {"out.jpg", "unknown output format"}},
        {"render --frames 1-3 -o out.png", {"out.png", "#"}},
    });
    // Root writes into any folder whatever its mode, so only another user
    // can see a read-only folder refused; under root the file test above
    // (plain/x.png) stands for it.
    if (geteuid() != 0) {
        std::filesystem::create_directory(scratch.Path("locked"));
        ASSERT_EQ(chmod(scratch.Path("locked").c_str(), 0500), 0);
        ExpectRefused(scratch, {{"render -o locked/x.png", {"locked/x.png", "not writable"}}});
        chmod(scratch.Path("locked").c_str(), 0700);
    }
}

TEST(ToolBadInput, AnOutputThatIsTheInputIsRefused) {
    Scratch scratch;
    const std::string png = SmallPng(scratch);
    WriteFile(scratch.Path("in.png"), png);
    WriteFile(scratch.Path("in.exr"), SmallExr(scratch));
    WriteFile(scratch.Path("seq_1.png"), png);
    WriteFile(scratch.Path("seq_2.png"), png);
    std::filesystem::create_symlink("in.png", scratch.Path("link.png"));
    std::filesystem::create_hard_link(scratch.Path("in.png"), scratch.Path("hard.png"));
    const std::string here = "../" + std::filesystem::path(scratch.Dir()).filename().string();
    ExpectRefused(scratch, {
        {"render in.png -o in.png", {"in.png: is the input in.png"}},
        {"render ./in.png -o in.png", {"in.png: is the input ./in.png"}},
        {"render in.png -o " + here + "/in.png", {"is the input in.png"}},
        {"render " + scratch.Path("in.png") + " -o in.png", {"is the input"}},
        {"render link.png -o in.png", {"in.png: is the input link.png"}},
        {"render in.png -o link.png", {"link.png: is the input in.png"}},
        {"render in.png -o hard.png", {"hard.png: is the input in.png"}},
        {"render in.exr -o in.exr", {"in.exr: is the input in.exr"}},
        {"sheet in.png -o in.png", {"in.png: is the input in.png"}},
        {"render 'seq_#.png' --frames 1-2 -o 'seq_#.png'", {"seq_1.png: is the input seq_1.png"}},
        // Frame 1 would be written before frame 2 met its input.
        {"render seq_2.png --frames 1-2 -o 'seq_#.png'", {"seq_2.png: is the input seq_2.png"}},
    });
}

TEST(ToolBadInput, ASuccessfulRenderReplacesTheOutputWhole) {
    Scratch scratch;
    WriteFile(scratch.Path("out.png"), kPrecious);
    const ToolResult run = scratch.Run("render --downsample 8 -o out.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(scratch.Files(), std::set<std::string>{"out.png"});
    EXPECT_EQ(ReadPicture(scratch.Path("out.png")).width, 240);
}

TEST(ToolBadInput, TheLastFrameNumberEndsTheRange) {
    Scratch scratch;
    const ToolResult run = scratch.Run("render --downsample 16 --frames 2147483646-2147483647 -o 'f_#.png'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(scratch.Files(), (std::set<std::string>{"f_2147483646.png", "f_2147483647.png"}));
}

}  // namespace
}  // namespace tidalhalo::test
