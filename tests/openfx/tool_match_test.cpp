// The bundle against the tool: the same picture and values through our
// OpenFX test host and through "tidalhalo render" (the module driven by our
// host) give the same pixels in all three depths and five blend modes, with
// scatter and smoothing, at render scales 1/2 and 1/4 with pixel aspects 2
// and 1/2, with the centre off the frame, whole and in tiles. 16-bit images
// are held against the tool's float render of the same picture written as
// 16-bit, float ones against its EXR (which stores colour times alpha).
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/cli/pictures.h"
#include "tests/cli/tool_runner.h"
#include "tests/openfx/ofx_pictures.h"

namespace tidalhalo::ofxtest {
namespace {

using test::Picture;
using test::ReadPicture;
using test::Scratch;
using test::ToolResult;

// The centre in the layer's pixels at full resolution, as the tool takes it.
struct ToolSetting {
    double x, y;
    double radius, feather, expand, opacity, scatter;
    int color1[3];
    int color2[3];
    bool smooth;
};

const ToolSetting kSettings[] = {
    {30.5, 22.25, 20, 3, 50, 100, 0, {255, 255, 255}, {0, 127, 255}, true},
    {18.75, 30.5, 24, 7, 80, 70, 20, {255, 128, 0}, {0, 0, 255}, true},
    {33, 20, 26, 0, 100, 93, 512, {51, 230, 102}, {255, 25, 128}, false},
    {-12.5, 61.25, 60, 40, 35, 50, 5, {179, 153, 51}, {25, 77, 230}, true},  // off the frame
};

const char *const kBlendNames[] = {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha"};

struct Geometry {
    int width, height;  // the proxy the effect renders
    int downsample;
    const char *aspect_text;
    double aspect;
};

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Hex(const int (&c)[3]) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c[0], c[1], c[2]);
    return text;
}

// The tool's picture at full resolution: each proxy pixel repeated
// downsample times each way, so any point sampling finds it.
std::vector<uint16_t> FullPicture(const std::vector<uint16_t> &proxy, const Geometry &g) {
    const int width = g.width * g.downsample;
    const int height = g.height * g.downsample;
    std::vector<uint16_t> full(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t from = (static_cast<std::size_t>(y / g.downsample) * static_cast<std::size_t>(g.width) +
                                      static_cast<std::size_t>(x / g.downsample)) * 4;
            const std::size_t to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(x)) * 4;
            for (int c = 0; c < 4; ++c) full[to + static_cast<std::size_t>(c)] = proxy[from + static_cast<std::size_t>(c)];
        }
    }
    return full;
}

// The window in quadrants and an odd strip, or whole.
std::vector<OfxRectI> Tiles(int width, int height, bool tiled) {
    if (!tiled) return {OfxRectI{0, 0, width, height}};
    const int mx = width / 2 + 1, my = height / 3;
    return {{0, 0, mx, my}, {mx, 0, width, my}, {0, my, 3, height}, {3, my, mx, height - 1},
            {mx, my, width, height - 1}, {3, height - 1, width, height}};
}

void ExpectSameAsTool(const Geometry &g, const char *depth, bool tiled) {
    Scratch scratch;
    const std::vector<uint16_t> proxy = NoiseSamples(g.width, g.height, static_cast<uint32_t>(g.width * 31 + g.downsample));
    const int full_width = g.width * g.downsample;
    const int full_height = g.height * g.downsample;
    std::vector<uint16_t> full = FullPicture(proxy, g);
    const bool eight = std::string(depth) == kOfxBitDepthByte;
    if (eight) {
        for (uint16_t &v : full) v = static_cast<uint16_t>(v >> 8);
    }
    test::WritePngFile(scratch.Path("in.png"), full_width, full_height, 6, eight ? 8 : 16, full);

    TestHost host(TIDALHALO_OFX_PLUGIN);
    ASSERT_EQ(host.Load(), kOfxStatOK);
    ASSERT_EQ(host.Describe(), kOfxStatOK);
    ASSERT_EQ(host.DescribeInContext(), kOfxStatOK);
    const OfxRectD rod{0, 0, full_width * g.aspect, static_cast<double>(full_height)};
    Effect *instance = host.CreateInstance(rod, g.aspect);
    ASSERT_NE(instance, nullptr);
    const OfxRectI bounds{0, 0, g.width, g.height};
    HostImage source = HostImage::Make(depth, bounds, 12, false);
    FillImage(source, proxy, g.width);

    for (const ToolSetting &t : kSettings) {
        RingSetting s{t.x * g.aspect, full_height - t.y, t.radius, t.feather, t.expand, t.opacity, t.scatter,
                      {t.color1[0] / 255.0, t.color1[1] / 255.0, t.color1[2] / 255.0},
                      {t.color2[0] / 255.0, t.color2[1] / 255.0, t.color2[2] / 255.0}, t.smooth};
        const std::string values = " --center=" + Number(t.x) + "," + Number(t.y) + " --radius=" + Number(t.radius) +
                                   " --feather=" + Number(t.feather) + " --expand=" + Number(t.expand) +
                                   " --opacity=" + Number(t.opacity) + " --scatter=" + Number(t.scatter) +
                                   " '--color1=" + Hex(t.color1) + "' '--color2=" + Hex(t.color2) + "'" +
                                   (t.smooth ? " --smooth" : " --no-smooth");
        for (int blend = 0; blend < 5; ++blend) {
            ApplySetting(host, *instance, s, blend);
            HostImage output = HostImage::Make(depth, bounds, 0, true, 0xCD);
            for (const OfxRectI &tile : Tiles(g.width, g.height, tiled)) {
                const RenderRequest request{0.0, 1.0 / g.downsample, 1.0 / g.downsample, tile};
                ASSERT_EQ(host.Render(*instance, request, &source, &output), kOfxStatOK);
            }
            const std::string out = std::string(depth) == kOfxBitDepthFloat ? "out.exr" : "out.png";
            const std::string args = std::string("render in.png --threads=2 -o ") + out +
                                     (eight ? " --depth=8" : " --depth=32") + " --downsample=" +
                                     std::to_string(g.downsample) + " --pixel-aspect=" + g.aspect_text +
                                     " --blend=" + kBlendNames[blend] + values;
            const ToolResult result = scratch.Run(args);
            ASSERT_EQ(result.status, 0) << args << "\n" << result.err;
            const Picture tool = ReadPicture(scratch.Path(out));
            ASSERT_EQ(tool.width, g.width);
            ASSERT_EQ(tool.height, g.height);
            std::size_t differing = 0;
            std::string first;
            for (int row = 0; row < g.height; ++row) {
                for (int x = 0; x < g.width; ++x) {
                    const unsigned char *pixel = output.Pixel(x, g.height - 1 - row);
                    double ours[4];
                    for (int c = 0; c < 4; ++c) {
                        if (eight) {
                            ours[c] = pixel[c];
                        } else if (std::string(depth) == kOfxBitDepthShort) {
                            uint16_t v;
                            std::memcpy(&v, pixel + 2 * c, 2);
                            ours[c] = v;
                        } else {
                            float v[4];
                            std::memcpy(v, pixel, 16);
                            ours[c] = c == 3 ? v[3] : static_cast<double>(v[c] * v[3]);
                        }
                    }
                    for (int c = 0; c < 4; ++c) {
                        if (ours[c] != tool.At(x, row, c)) {
                            if (differing++ == 0) {
                                first = "pixel " + std::to_string(x) + "," + std::to_string(row) + " channel " +
                                        std::to_string(c) + ": bundle " + Number(ours[c]) + ", tool " +
                                        Number(tool.At(x, row, c));
                            }
                        }
                    }
                }
            }
            EXPECT_EQ(differing, 0u) << depth << (tiled ? " tiled " : " whole ") << args << "\nfirst at " << first;
        }
    }
    EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
}

TEST(OfxMatchesTool, FullResolutionSquarePixels) {
    for (const char *depth : kDepths) ExpectSameAsTool({61, 47, 1, "1", 1.0}, depth, false);
}

TEST(OfxMatchesTool, FullResolutionInTiles) {
    for (const char *depth : kDepths) ExpectSameAsTool({61, 47, 1, "1", 1.0}, depth, true);
}

TEST(OfxMatchesTool, HalfScaleWidePixels) {
    for (const char *depth : kDepths) ExpectSameAsTool({33, 41, 2, "2", 2.0}, depth, true);
}

TEST(OfxMatchesTool, QuarterScaleTallPixels) {
    for (const char *depth : kDepths) ExpectSameAsTool({47, 19, 4, "1/2", 0.5}, depth, false);
}

}  // namespace
}  // namespace tidalhalo::ofxtest
