// Frames whose bytes were recorded once and must never change: every depth
// and blend mode, with scatter and smoothing, downsampled, with a non-square
// pixel aspect and as a region. A change to the host's blocks, the module's
// handlers or the pixel functions that moves a single bit shows up here.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

struct GoldenCase {
    const char *name;
    PixelDepth depth;
    int32_t blend_mode;
    bool smooth;
    double scatter;
    Rational downsample_x{1, 1};
    Rational downsample_y{1, 1};
    Rational aspect{1, 1};
    bool region = false;
    uint64_t expected;
};

// 64-bit FNV-1a over the pixel bytes of every row, padding left out.
uint64_t FrameHash(const ImageView &frame) {
    uint64_t hash = 0xcbf29ce484222325ull;
    const std::size_t row_bytes = PixelSize(frame.depth) * static_cast<std::size_t>(frame.width);
    for (int32_t y = 0; y < frame.height; ++y) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(frame.Row(y));
        for (std::size_t i = 0; i < row_bytes; ++i) {
            hash = (hash ^ bytes[i]) * 0x100000001b3ull;
        }
    }
    return hash;
}

constexpr PixelDepth D8 = PixelDepth::Eight;
constexpr PixelDepth D16 = PixelDepth::Sixteen;
constexpr PixelDepth DF = PixelDepth::Float;

const GoldenCase GOLDEN_CASES[] = {
    {"8/none/plain", D8, BLEND_NONE, false, 0.0, {}, {}, {}, false, 0xc0ecd01950c5ce9bull},
    {"8/normal/smooth+scatter", D8, BLEND_NORMAL, true, 7.0, {}, {}, {}, false, 0xeb70d211d020fed6ull},
    {"8/add/smooth+scatter", D8, BLEND_ADD, true, 7.0, {}, {}, {}, false, 0xeb9d1b8da6090da0ull},
    {"8/stencil/smooth+scatter", D8, BLEND_STENCIL_MULTIPLY, true, 7.0, {}, {}, {}, false, 0x33e8331cbc00b100ull},
    {"8/stencil-alpha/smooth+scatter", D8, BLEND_STENCIL_MULTIPLY_ALPHA, true, 7.0, {}, {}, {}, false, 0x32c50a717ce71167ull},
    {"8/normal/downsample", D8, BLEND_NORMAL, true, 3.0, {1, 2}, {1, 3}, {}, false, 0xe41ca15587c800b6ull},
    {"8/add/aspect+region", D8, BLEND_ADD, false, 0.0, {}, {}, {10, 11}, true, 0xcd8fdd117188645ull},
    {"16/none/smooth+scatter", D16, BLEND_NONE, true, 7.0, {}, {}, {}, false, 0xaa5af35b0afeb78bull},
    {"16/normal/plain", D16, BLEND_NORMAL, false, 0.0, {}, {}, {}, false, 0xc88c9a688c349ac1ull},
    {"16/add/smooth+scatter", D16, BLEND_ADD, true, 7.0, {}, {}, {}, false, 0x748164d242900d4ull},
    {"16/stencil/plain", D16, BLEND_STENCIL_MULTIPLY, false, 0.0, {}, {}, {}, false, 0xf505d159f97a8d92ull},
    {"16/stencil-alpha/smooth+scatter", D16, BLEND_STENCIL_MULTIPLY_ALPHA, true, 7.0, {}, {}, {}, false, 0xe12e0bdafb866dcfull},
    {"16/add/downsample+aspect", D16, BLEND_ADD, true, 0.0, {1, 2}, {1, 2}, {3, 2}, false, 0xba869c5d89a2a98aull},
    {"float/none/plain", DF, BLEND_NONE, false, 0.0, {}, {}, {}, false, 0x8cfb7458d0dde81cull},
    {"float/normal/smooth+scatter", DF, BLEND_NORMAL, true, 7.0, {}, {}, {}, false, 0x2a6aa931a851585full},
    {"float/add/smooth+scatter", DF, BLEND_ADD, true, 7.0, {}, {}, {}, false, 0x883b8aafc27e1ec5ull},
    {"float/stencil/smooth", DF, BLEND_STENCIL_MULTIPLY, true, 0.0, {}, {}, {}, false, 0xce2a124c240929ddull},
    {"float/stencil-alpha/scatter", DF, BLEND_STENCIL_MULTIPLY_ALPHA, false, 7.0, {}, {}, {}, false, 0x1ee1451384be7a22ull},
    {"float/normal/region+downsample", DF, BLEND_NORMAL, true, 3.0, {1, 3}, {1, 1}, {}, true, 0xcb275adde0c38dc2ull},
};

TEST(GoldenFrames, EveryRecordedFrameComesOutTheSame) {
    FrameRenderer renderer(ModulePath(), Strictness::Fail);
    int mismatches = 0;
    for (const GoldenCase &c : GOLDEN_CASES) {
        renderer.ResetParams();
        renderer.SetPoint(RING_CENTER, 61.5, 40.25);
        renderer.SetNumber(RING_RADIUS, 37.0);
        renderer.SetNumber(RING_FEATHER, 19.5);
        renderer.SetNumber(RING_EXPAND, 65.0);
        renderer.SetNumber(RING_OPACITY, 90.0);
        renderer.SetNumber(RING_SCATTER, c.scatter);
        renderer.SetColor(RING_COLOR1, PF_Pixel{255, 250, 200, 30});
        renderer.SetColor(RING_COLOR2, PF_Pixel{255, 20, 90, 240});
        renderer.SetNumber(RING_SMOOTH, c.smooth ? 1.0 : 0.0);
        renderer.SetNumber(RING_BLEND_MODE, c.blend_mode);
        RenderSettings &settings = renderer.Settings();
        settings.downsample_x = c.downsample_x;
        settings.downsample_y = c.downsample_y;
        settings.pixel_aspect = c.aspect;
        settings.threads = 2;

        const Image full = GradientLayer(c.depth, 121, 83);
        const Image source = DownsampleNearest(full.View(), c.downsample_x, c.downsample_y);
        Image frame(c.depth, source.Width(), source.Height(), 3);
        if (c.region) {
            renderer.Render(source.View(), frame.View(), PF_LRect{9, 5, source.Width() - 7, source.Height() - 11});
        } else {
            renderer.Render(source.View(), frame.View());
        }
        const uint64_t hash = FrameHash(frame.View());
        if (hash != c.expected) {
            ++mismatches;
            ADD_FAILURE() << c.name << ": frame hash 0x" << std::hex << hash << ", recorded 0x" << c.expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace tidalhalo::sim::testing
