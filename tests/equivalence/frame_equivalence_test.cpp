#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "params/ring_params.h"
#include "render/pixel_reference.h"
#include "render/ring_render_info.h"
#include "sim/frame_renderer.h"

namespace {

using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::ImageView;
using tidalhalo::sim::PixelDepth;

constexpr int32_t WIDTH = 97;
constexpr int32_t HEIGHT = 61;
constexpr PF_Pixel COLOR1{255, 250, 180, 20};
constexpr PF_Pixel COLOR2{255, 10, 90, 240};

// Fills the layer with scrambled values, alpha included, so every blend
// path sees opaque, translucent and transparent pixels.
Image ScrambledLayer(PixelDepth depth) {
    Image image(depth, WIDTH, HEIGHT, 3);
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int32_t y = 0; y < HEIGHT; ++y) {
        for (int32_t x = 0; x < WIDTH; ++x) {
            const uint32_t a = next() % 256, r = next() % 256, g = next() % 256, b = next() % 256;
            if (depth == PixelDepth::Eight) {
                *image.PixelAt<PF_Pixel>(x, y) = {static_cast<uint8_t>(a), static_cast<uint8_t>(r),
                                                  static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
            } else if (depth == PixelDepth::Sixteen) {
                *image.PixelAt<PF_Pixel16>(x, y) = {static_cast<uint16_t>(a * 129), static_cast<uint16_t>(r * 128),
                                                    static_cast<uint16_t>(g * 128), static_cast<uint16_t>(b * 128)};
            } else {
                *image.PixelAt<PF_PixelFloat>(x, y) = {static_cast<float>(a) / 255.0f, static_cast<float>(r) / 200.0f,
                                                       static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f};
            }
        }
    }
    return image;
}

PF_PixelFloat ToFloat(PF_Pixel color) {
    return {static_cast<float>(color.alpha) / 255.0f, static_cast<float>(color.red) / 255.0f,
            static_cast<float>(color.green) / 255.0f, static_cast<float>(color.blue) / 255.0f};
}

// The record the pre-render and render should hand the pixel functions.
RingRenderInfo ExpectedRecord(int32_t mode, bool smooth) {
    RingParamValues values{};
    values.center_x = static_cast<PF_Fixed>(37.25 * 65536);
    values.center_y = static_cast<PF_Fixed>(20.5 * 65536);
    values.radius = 25;
    values.feather = 9;
    values.expand = 60;
    values.opacity = 85;
    values.scatter = 40;
    values.color1 = ToFloat(COLOR1);
    values.color2 = ToFloat(COLOR2);
    values.smooth = smooth ? 1 : 0;
    values.blend_mode = mode;
    RingRenderInfo info = NewRingRenderInfo();
    FillRingRenderInfo(info, values, {{1, 1}, {1, 1}, {1, 1}});
    AdjustRingRenderInfo(info, 0, 0);
    return info;
}

template <typename Pixel, typename Shade>
void ShadeDirectly(RingRenderInfo &info, const ImageView &source, const ImageView &destination, Shade shade) {
    for (int32_t y = 0; y < HEIGHT; ++y) {
        for (int32_t x = 0; x < WIDTH; ++x) {
            shade(&info, x, y, source.PixelAt<Pixel>(x, y), destination.PixelAt<Pixel>(x, y));
        }
    }
}

class FrameEquivalence : public ::testing::TestWithParam<std::tuple<PixelDepth, int32_t, bool>> {};

TEST_P(FrameEquivalence, ExportedRenderEqualsPlainFormulas) {
    const auto [depth, mode, smooth] = GetParam();
    FrameRenderer renderer(TIDALHALO_MODULE_PATH, tidalhalo::sim::Strictness::Fail);
    renderer.SetPoint(RING_CENTER, 37.25, 20.5);
    renderer.SetNumber(RING_RADIUS, 25);
    renderer.SetNumber(RING_FEATHER, 9);
    renderer.SetNumber(RING_EXPAND, 60);
    renderer.SetNumber(RING_OPACITY, 85);
    renderer.SetNumber(RING_SCATTER, 40);
    renderer.SetColor(RING_COLOR1, COLOR1);
    renderer.SetColor(RING_COLOR2, COLOR2);
    renderer.SetNumber(RING_SMOOTH, smooth ? 1 : 0);
    renderer.SetNumber(RING_BLEND_MODE, mode);
    renderer.Settings().threads = 3;

    const Image source = ScrambledLayer(depth);
    Image rendered(depth, WIDTH, HEIGHT, 1);
    renderer.Render(source.View(), rendered.View());

    Image expected(depth, WIDTH, HEIGHT);
    RingRenderInfo info = ExpectedRecord(mode, smooth);
    if (depth == PixelDepth::Eight) {
        ShadeDirectly<PF_Pixel>(info, source.View(), expected.View(), ReferenceShadePixel8);
    } else if (depth == PixelDepth::Sixteen) {
        ShadeDirectly<PF_Pixel16>(info, source.View(), expected.View(), ReferenceShadePixel16);
    } else {
        ShadeDirectly<PF_PixelFloat>(info, source.View(), expected.View(), ReferenceShadePixelFloat);
    }
    EXPECT_TRUE(tidalhalo::sim::SamePixels(rendered.View(), expected.View()));
}

std::string Name(const ::testing::TestParamInfo<FrameEquivalence::ParamType> &info) {
    const auto [depth, mode, smooth] = info.param;
    const char *depth_name = depth == PixelDepth::Eight ? "8bit" : depth == PixelDepth::Sixteen ? "16bit" : "float";
    return std::string(depth_name) + "_mode" + std::to_string(mode) + (smooth ? "_smooth" : "_plain");
}

INSTANTIATE_TEST_SUITE_P(AllDepthsAndModes, FrameEquivalence,
                         ::testing::Combine(::testing::Values(PixelDepth::Eight, PixelDepth::Sixteen,
                                                              PixelDepth::Float),
                                            ::testing::Values(BLEND_NONE, BLEND_NORMAL, BLEND_ADD,
                                                              BLEND_STENCIL_MULTIPLY,
                                                              BLEND_STENCIL_MULTIPLY_ALPHA),
                                            ::testing::Bool()),
                         Name);

} // namespace
