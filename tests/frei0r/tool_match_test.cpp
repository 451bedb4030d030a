// The filter against the tool: the same picture and the same values through
// f0r_update and through "tidalhalo render --depth 8" (the module driven by
// our host) give the same bytes, in every blend mode, with scatter and
// smoothing, at several sizes including one pixel and odd ones. The
// filter's centre is (x * width, y * height) and its radius and feather are
// fractions of the width; each frame after the first in a setting reuses
// the ring the instance kept.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/cli/pictures.h"
#include "tests/cli/tool_runner.h"
#include "tests/frei0r/filter_loader.h"

namespace tidalhalo::test {
namespace {

struct FilterSetting {
    double center_x, center_y;
    double radius_of_side;  // the radius as a share of the frame's shorter side, up to the width
    double feather, expand, opacity, scatter;
    f0r_param_color_t color1, color2;
    bool smooth;
};

const FilterSetting kSettings[] = {
    // The defaults but for the radius.
    {0.5, 0.5, 0.3, 0.002, 0.5, 1.0, 0.0, {1.0f, 1.0f, 1.0f}, {0.0f, 127.0f / 255.0f, 1.0f}, true},
    // Scatter with smoothing, off centre, not fully opaque.
    {0.3, 0.65, 0.35, 0.0071, 0.8, 0.7, 0.6, {1.0f, 0.5f, 0.0f}, {0.0f, 0.0f, 1.0f}, true},
    // Scatter at its maximum without smoothing, a disc with a hard edge;
    // colours that are no whole multiple of 1/255.
    {0.55, 0.45, 0.4, 0.0, 1.0, 0.93, 1.0, {0.2f, 0.9f, 0.4f}, {1.0f, 0.1f, 0.5f}, false},
    // Centre in a corner, a ring wider than the frame.
    {-0.2, 1.3, 1.1, 0.09, 0.35, 0.5, 0.05, {0.7f, 0.6f, 0.2f}, {0.1f, 0.3f, 0.9f}, true},
    // The widest ring, a feather wider than the frame, the smallest values.
    {1.0, 0.0, 9.0, 1.0, 0.0, 0.0, 0.0, {0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f}, false},
};

const char *const kBlends[] = {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha"};

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string HexColor(const f0r_param_color_t &color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02lX%02lX%02lX", std::lround(color.r * 255.0), std::lround(color.g * 255.0),
                  std::lround(color.b * 255.0));
    return text;
}

const Frei0rFilter &Filter() {
    static const Frei0rFilter filter;
    return filter;
}

// Which of the settings and blends a frame is compared in, and whether its
// alphas are mostly high, so that most pixels the ring cannot reach come
// out as they went in.
struct Comparison {
    std::size_t settings = std::size(kSettings);
    std::vector<const char *> blends{std::begin(kBlends), std::end(kBlends)};
    bool high_alphas = false;
};

void ExpectSameAsTool(unsigned width, unsigned height, const Comparison &comparison = {}) {
    Scratch scratch;
    std::vector<uint8_t> picture = NoisePicture(width, height, width * 7 + height);
    for (std::size_t alpha = 3; comparison.high_alphas && alpha < picture.size(); alpha += 4) {
        picture[alpha] |= alpha % 64 == 3 ? 0 : 0x80;
    }
    WritePngFile(scratch.Path("in.png"), static_cast<int>(width), static_cast<int>(height), 6, 8,
                 std::vector<uint16_t>(picture.begin(), picture.end()));
    const FilterInstance instance(Filter(), width, height);
    const double side = width < height ? width : height;

    for (std::size_t s = 0; s < comparison.settings; ++s) {
        const FilterSetting &setting = kSettings[s];
        // Centres outside the frame come in from the edge: the filter's values lie in 0..1.
        const double center_x = std::fmin(std::fmax(setting.center_x, 0.0), 1.0);
        const double center_y = std::fmin(std::fmax(setting.center_y, 0.0), 1.0);
        const double radius = std::fmin(setting.radius_of_side * side / width, 1.0);
        instance.SetDouble(kCenterX, center_x);
        instance.SetDouble(kCenterY, center_y);
        instance.SetDouble(kRadius, radius);
        instance.SetDouble(kFeather, setting.feather);
        instance.SetDouble(kExpand, setting.expand);
        instance.SetDouble(kOpacity, setting.opacity);
        instance.SetDouble(kScatter, setting.scatter);
        instance.SetColor(kColor1, setting.color1.r, setting.color1.g, setting.color1.b);
        instance.SetColor(kColor2, setting.color2.r, setting.color2.g, setting.color2.b);
        instance.SetDouble(kSmooth, setting.smooth ? 1.0 : 0.0);
        const std::string values =
            " --center=" + Number(center_x * width) + "," + Number(center_y * height) +
            " --radius=" + Number(radius * width) + " --feather=" + Number(setting.feather * width) +
            " --expand=" + Number(setting.expand * 100.0) + " --opacity=" + Number(setting.opacity * 100.0) +
            " --scatter=" + Number(setting.scatter * 512.0) + " '--color1=" + HexColor(setting.color1) +
            "' '--color2=" + HexColor(setting.color2) + "'" + (setting.smooth ? " --smooth" : " --no-smooth");

        for (const char *blend : comparison.blends) {
            instance.SetString(kBlend, blend);
            const std::vector<uint8_t> frame = instance.Render(picture, 0x5A);
            const std::string args = "render in.png --depth=8 --threads=2 -o out.png --blend=" + std::string(blend) + values;
            const ToolResult result = scratch.Run(args);
            ASSERT_EQ(result.status, 0) << args << "\n" << result.err;
            const Picture tool = ReadPicture(scratch.Path("out.png"));
            ASSERT_EQ(tool.bits, 8);
            ASSERT_EQ(tool.samples.size(), frame.size());
            std::size_t differing = 0, first = frame.size();
            for (std::size_t i = 0; i < frame.size(); ++i) {
                if (tool.samples[i] != static_cast<double>(frame[i])) {
                    differing += 1;
                    first = first < i ? first : i;
                }
            }
            EXPECT_EQ(differing, 0u) << width << "x" << height << " " << args << "\nfirst at pixel " << first / 4
                                     << " channel " << first % 4 << ": filter " << int(frame[first]) << ", tool "
                                     << tool.samples[first];
        }
    }
}

TEST(Frei0rMatchesTool, OnePixel) { ExpectSameAsTool(1, 1); }
TEST(Frei0rMatchesTool, OddSmallFrame) { ExpectSameAsTool(7, 5); }
TEST(Frei0rMatchesTool, OneRowAndOneColumn) {
    ExpectSameAsTool(31, 1);
    ExpectSameAsTool(1, 23);
}
TEST(Frei0rMatchesTool, OddFrame) { ExpectSameAsTool(203, 117); }
TEST(Frei0rMatchesTool, FrameSplitAmongThreads) { ExpectSameAsTool(512, 288); }
// A frame as large as video's, its alphas mostly high as video's are: most
// pixels the ring cannot reach are copied, the covered ones four at a time.
TEST(Frei0rMatchesTool, LargeMostlyOpaqueFrame) {
    ExpectSameAsTool(2600, 2500, Comparison{2, {"normal", "add"}, true});
}

}  // namespace
}  // namespace tidalhalo::test
