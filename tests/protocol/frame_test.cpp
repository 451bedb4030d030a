// Whole frames through the frame renderer: worked values of the ring and
// the blend modes, and the same pixels whatever the threads, the region or
// the scale.
#include <cmath>

#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

class FrameTest : public ::testing::Test {
protected:
    FrameTest() : renderer(ModulePath(), Strictness::Fail) {}

    // The worked ring: centre (cx, cy), radius 100, expand 50 %, feather 10,
    // full opacity, no scatter, no smoothing, the ring alone.
    void WorkedRing(double cx = 0.0, double cy = 0.0) {
        renderer.SetPoint(RING_CENTER, cx, cy);
        renderer.SetNumber(RING_RADIUS, 100.0);
        renderer.SetNumber(RING_EXPAND, 50.0);
        renderer.SetNumber(RING_FEATHER, 10.0);
        renderer.SetNumber(RING_SMOOTH, 0.0);
        renderer.SetNumber(RING_BLEND_MODE, BLEND_NONE);
    }

    // The column of row y where the float frame's alpha peaks.
    static int32_t PeakColumn(const Image &frame, int32_t y) {
        int32_t best = 0;
        for (int32_t x = 1; x < frame.Width(); ++x) {
            if (frame.PixelAt<PF_PixelFloat>(x, y)->alpha > frame.PixelAt<PF_PixelFloat>(best, y)->alpha) {
                best = x;
            }
        }
        return best;
    }

    static int32_t PeakRow(const Image &frame, int32_t x) {
        int32_t best = 0;
        for (int32_t y = 1; y < frame.Height(); ++y) {
            if (frame.PixelAt<PF_PixelFloat>(x, y)->alpha > frame.PixelAt<PF_PixelFloat>(x, best)->alpha) {
                best = y;
            }
        }
        return best;
    }

    FrameRenderer renderer;
};

TEST_F(FrameTest, RingCoverageFollowsTheWorkedExample) {
    WorkedRing();
    const Image source = GradientLayer(PixelDepth::Float, 128, 4);
    Image frame(PixelDepth::Float, 128, 4);
    renderer.Render(source.View(), frame.View());
    const std::pair<int32_t, float> expected[] = {{40, 0.0f}, {50, 0.0f},  {75, 0.5f}, {95, 0.9f},
                                                  {100, 1.0f}, {105, 0.5f}, {110, 0.0f}};
    for (const auto &[x, alpha] : expected) {
        EXPECT_NEAR(frame.PixelAt<PF_PixelFloat>(x, 0)->alpha, alpha, 1e-6) << "x = " << x;
    }

    renderer.SetNumber(RING_SMOOTH, 1.0);
    renderer.Render(source.View(), frame.View());
    EXPECT_NEAR(frame.PixelAt<PF_PixelFloat>(95, 0)->alpha, 0.97553, 1e-5);
    EXPECT_NEAR(frame.PixelAt<PF_PixelFloat>(75, 0)->alpha, 0.5, 1e-6);
}

// One opaque 8-bit source (255, 200, 100, 0), a ring of radius 0 and feather
// 1 around (5, 2): full coverage at (5, 2), none from (7, 2) on.
TEST_F(FrameTest, BlendModesAtNoneAndFullCoverage) {
    renderer.SetPoint(RING_CENTER, 5.0, 2.0);
    renderer.SetNumber(RING_RADIUS, 0.0);
    renderer.SetNumber(RING_FEATHER, 1.0);
    renderer.SetNumber(RING_SMOOTH, 0.0);
    Image source(PixelDepth::Eight, 16, 4, 2);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            *source.PixelAt<PF_Pixel>(x, y) = PF_Pixel{255, 200, 100, 0};
        }
    }
    const auto argb = [](const PF_Pixel &p) {
        return std::vector<int>{p.alpha, p.red, p.green, p.blue};
    };
    const struct {
        int32_t mode;
        std::vector<int> none;
        std::vector<int> full;
    } cases[] = {
        {BLEND_NONE, {0, 0, 127, 255}, {255, 255, 255, 255}},
        {BLEND_NORMAL, {255, 200, 100, 0}, {255, 255, 255, 255}},
        {BLEND_ADD, {255, 200, 100, 0}, {255, 255, 255, 255}},
        {BLEND_STENCIL_MULTIPLY, {255, 0, 0, 0}, {255, 200, 100, 0}},
        {BLEND_STENCIL_MULTIPLY_ALPHA, {0, 0, 0, 0}, {200, 255, 127, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("blend mode " + std::to_string(c.mode));
        renderer.SetNumber(RING_BLEND_MODE, c.mode);
        Image frame(PixelDepth::Eight, 16, 4, 1);
        renderer.Render(source.View(), frame.View());
        EXPECT_EQ(argb(*frame.PixelAt<PF_Pixel>(5, 2)), c.full);
        EXPECT_EQ(argb(*frame.PixelAt<PF_Pixel>(7, 2)), c.none);
        EXPECT_EQ(argb(*frame.PixelAt<PF_Pixel>(15, 0)), c.none);
    }
}

TEST_F(FrameTest, SixteenBitSourceSurvivesNormalBlendWithoutCoverage) {
    WorkedRing(1000.0, 1000.0);
    renderer.SetNumber(RING_BLEND_MODE, BLEND_NORMAL);
    const Image source = GradientLayer(PixelDepth::Sixteen, 40, 30);
    Image frame(PixelDepth::Sixteen, 40, 30);
    renderer.Render(source.View(), frame.View());
    EXPECT_TRUE(SamePixels(frame.View(), source.View()));
}

TEST_F(FrameTest, ScatteredFrameIsTheSameOnAnyNumberOfThreads) {
    renderer.SetNumber(RING_RADIUS, 20.0);
    renderer.SetNumber(RING_FEATHER, 10.0);
    renderer.SetNumber(RING_SCATTER, 50.0);
    renderer.SetNumber(RING_BLEND_MODE, BLEND_NORMAL);
    for (PixelDepth depth : {PixelDepth::Eight, PixelDepth::Float}) {
        const Image source = GradientLayer(depth, 64, 48);
        Image one(depth, 64, 48);
        renderer.Settings().threads = 1;
        renderer.Render(source.View(), one.View());
        for (unsigned threads : {2u, 7u}) {
            Image many(depth, 64, 48);
            renderer.Settings().threads = threads;
            renderer.Render(source.View(), many.View());
            EXPECT_TRUE(SamePixels(one.View(), many.View())) << threads << " threads";
        }
    }
}

TEST_F(FrameTest, RegionRendersExactlyTheWholeFramesPixels) {
    renderer.SetNumber(RING_RADIUS, 20.0);
    renderer.SetNumber(RING_FEATHER, 10.0);
    renderer.SetNumber(RING_SCATTER, 50.0);
    renderer.SetNumber(RING_BLEND_MODE, BLEND_ADD);
    renderer.SetPoint(RING_CENTER, 25.0, 30.0);
    for (PixelDepth depth : {PixelDepth::Eight, PixelDepth::Sixteen, PixelDepth::Float}) {
        const Image source = GradientLayer(depth, 64, 48);
        Image whole(depth, 64, 48);
        renderer.Render(source.View(), whole.View());
        Image part(depth, 64, 48);
        const PF_LRect region{10, 20, 50, 40};
        renderer.Render(source.View(), part.View(), region);
        const auto crop = [&](const Image &image) { return Crop(image.View(), 10, 20, 40, 20); };
        EXPECT_TRUE(SamePixels(crop(whole), crop(part)));
        // Nothing outside the region is written.
        const Image blank(depth, 64, 48);
        EXPECT_TRUE(SamePixels(Crop(part.View(), 0, 0, 64, 20), Crop(blank.View(), 0, 0, 64, 20)));
    }
}

TEST_F(FrameTest, HalfResolutionPutsTheRingAtHalfTheSize) {
    WorkedRing(60.0, 4.0);
    const Image full_source = GradientLayer(PixelDepth::Float, 240, 10);
    Image full(PixelDepth::Float, 240, 10);
    renderer.Render(full_source.View(), full.View());
    EXPECT_EQ(PeakColumn(full, 4), 160);

    renderer.Settings().downsample_x = {1, 2};
    renderer.Settings().downsample_y = {1, 2};
    const Image half_source = DownsampleNearest(full_source.View(), {1, 2}, {1, 2});
    ASSERT_EQ(half_source.Width(), 120);
    Image half(PixelDepth::Float, 120, 5);
    renderer.Render(half_source.View(), half.View());
    EXPECT_NEAR(PeakColumn(half, 2), 80, 1);
    // The outer edge: zero at the radius plus the feather, halved.
    EXPECT_GT(half.PixelAt<PF_PixelFloat>(83, 2)->alpha, 0.0f);
    EXPECT_EQ(half.PixelAt<PF_PixelFloat>(86, 2)->alpha, 0.0f);
}

TEST_F(FrameTest, PixelAspectStretchesTheRingAcross) {
    WorkedRing();
    renderer.Settings().pixel_aspect = {10, 11};
    const Image source = GradientLayer(PixelDepth::Float, 160, 120);
    Image frame(PixelDepth::Float, 160, 120);
    renderer.Render(source.View(), frame.View());
    EXPECT_NEAR(PeakColumn(frame, 0), 110, 1);
    EXPECT_NEAR(PeakRow(frame, 0), 100, 1);
}

TEST_F(FrameTest, AnimatedRadiusIsTakenAtTheFramesTime) {
    WorkedRing();
    renderer.SetNumber(RING_RADIUS, Track::Keyed({{0.0, 50.0}, {10.0, 150.0}}));
    const Image source = GradientLayer(PixelDepth::Float, 200, 2);
    Image frame(PixelDepth::Float, 200, 2);
    renderer.Settings().time = FrameTime{5, 30, 1};
    renderer.Render(source.View(), frame.View());
    EXPECT_EQ(PeakColumn(frame, 0), 100);
    renderer.Settings().time = FrameTime{10, 30, 1};
    renderer.Render(source.View(), frame.View());
    EXPECT_EQ(PeakColumn(frame, 0), 150);
}

TEST_F(FrameTest, FailureArrivesAsRenderErrorWithTheMessage) {
    renderer.Host().Inject(Failure{"AcquireSuite", kPFWorldSuite, 0, FailKind::RefuseNull, 5});
    const Image source = GradientLayer(PixelDepth::Eight, 8, 8);
    Image frame(PixelDepth::Eight, 8, 8);
    try {
        renderer.Render(source.View(), frame.View());
        ADD_FAILURE() << "the refused suite went unnoticed";
    } catch (const RenderError &error) {
        EXPECT_EQ(error.Code(), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_NE(std::string(error.what()).find("Couldn't load suite."), std::string::npos);
    }
}

}  // namespace
}  // namespace tidalhalo::sim::testing
