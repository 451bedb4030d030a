// Renders through our test host that need no tool: tiles and strides give
// the frame rendered whole, the host's threads or none give the same frame,
// two instances render at once, and a hostile host's calls are answered
// with a status and a message, nothing written outside the output image.
#include <cmath>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/openfx/ofx_pictures.h"

namespace tidalhalo::ofxtest {
namespace {

constexpr int kWidth = 97;
constexpr int kHeight = 61;
// The layer sits off the origin, as a multi-resolution host may place it.
constexpr OfxRectI kBounds{-7, 5, -7 + kWidth, 5 + kHeight};
const OfxRectD kRod{-7, 5, -7 + kWidth, 5 + kHeight};

const RingSetting kScatter{30, 40, 28, 9, 60, 80, 40, {1.0, 0.5, 0.25}, {0.0, 0.2, 0.9}, true};

struct Rig {
    explicit Rig(HostOptions options = {}) : host(TIDALHALO_OFX_PLUGIN, options) {
        EXPECT_EQ(host.Load(), kOfxStatOK);
        EXPECT_EQ(host.Describe(), kOfxStatOK);
        EXPECT_EQ(host.DescribeInContext(), kOfxStatOK);
        instance = host.CreateInstance(kRod);
        EXPECT_NE(instance, nullptr);
    }
    HostImage Source(const char *depth, int padding = 0, bool top_down = false) const {
        HostImage image = HostImage::Make(depth, kBounds, padding, top_down);
        FillImage(image, NoiseSamples(kWidth, kHeight, 7), kWidth);
        return image;
    }
    // The frame rendered tile by tile into a fresh output.
    std::vector<unsigned char> Frame(const char *depth, const std::vector<OfxRectI> &tiles, int blend,
                                     int padding = 0, bool top_down = false) {
        HostImage source = Source(depth, padding, top_down);
        HostImage output = HostImage::Make(depth, kBounds, padding, !top_down, 0x5A);
        ApplySetting(host, *instance, kScatter, blend);
        for (const OfxRectI &tile : tiles) {
            EXPECT_EQ(host.Render(*instance, {0.0, 1.0, 1.0, tile}, &source, &output), kOfxStatOK);
        }
        return WindowBytes(output, kBounds);
    }
    TestHost host;
    Effect *instance = nullptr;
};

std::vector<OfxRectI> Grid(int columns, int rows) {
    std::vector<OfxRectI> tiles;
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            tiles.push_back({kBounds.x1 + kWidth * i / columns, kBounds.y1 + kHeight * j / rows,
                             kBounds.x1 + kWidth * (i + 1) / columns, kBounds.y1 + kHeight * (j + 1) / rows});
        }
    }
    return tiles;
}

TEST(OfxRender, TilesStridesAndRowOrderGiveTheWholeFrame) {
    Rig rig;
    for (const char *depth : kDepths) {
        for (int blend = 0; blend < 5; ++blend) {
            SCOPED_TRACE(std::string(depth) + " blend " + std::to_string(blend));
            const std::vector<unsigned char> whole = rig.Frame(depth, {kBounds}, blend);
            EXPECT_EQ(rig.Frame(depth, Grid(2, 2), blend), whole);      // quadrants
            EXPECT_EQ(rig.Frame(depth, Grid(5, 3), blend), whole);      // odd tiles
            EXPECT_EQ(rig.Frame(depth, Grid(1, kHeight), blend), whole);  // single rows
            EXPECT_EQ(rig.Frame(depth, Grid(7, 1), blend, 24, true), whole);  // padded, top down
        }
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

TEST(OfxRender, AnyThreadingGivesTheSameFrame) {
    std::vector<unsigned char> frames[3];
    HostOptions none;
    none.multithread_suite = false;
    HostOptions stand_in;
    stand_in.single_threaded_stand_in = true;
    stand_in.cpus = 8;
    HostOptions many;
    many.cpus = 5;
    const HostOptions options[] = {none, stand_in, many};
    for (int i = 0; i < 3; ++i) {
        Rig rig(options[i]);
        frames[i] = rig.Frame(kOfxBitDepthFloat, {kBounds}, 1);
        EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
    }
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(frames[2], frames[0]);
}

TEST(OfxRender, TwoInstancesRenderAtOnceOnDifferentThreads) {
    HostOptions options;
    options.single_threaded_stand_in = true;  // the same thread indices in both
    Rig rig(options);
    Effect *second = rig.host.CreateInstance(kRod);
    ASSERT_NE(second, nullptr);
    const std::vector<unsigned char> expected_first = rig.Frame(kOfxBitDepthByte, {kBounds}, 2);
    const RingSetting other{70, 20, 15, 4, 30, 100, 100, {0.2, 0.9, 0.4}, {1.0, 0.1, 0.5}, false};
    ApplySetting(rig.host, *second, other, 3);
    HostImage source = rig.Source(kOfxBitDepthByte);
    HostImage second_out = HostImage::Make(kOfxBitDepthByte, kBounds, 0, false);
    ASSERT_EQ(rig.host.Render(*second, {0.0, 1.0, 1.0, kBounds}, &source, &second_out), kOfxStatOK);
    const std::vector<unsigned char> expected_second = WindowBytes(second_out, kBounds);

    ApplySetting(rig.host, *rig.instance, kScatter, 2);
    for (int round = 0; round < 10; ++round) {
        HostImage a = HostImage::Make(kOfxBitDepthByte, kBounds, 0, false);
        HostImage b = HostImage::Make(kOfxBitDepthByte, kBounds, 0, false);
        OfxStatus status_a = kOfxStatFailed, status_b = kOfxStatFailed;
        std::thread one([&] { status_a = rig.host.Render(*rig.instance, {0.0, 1.0, 1.0, kBounds}, &source, &a); });
        std::thread two([&] { status_b = rig.host.Render(*second, {0.0, 1.0, 1.0, kBounds}, &source, &b); });
        one.join();
        two.join();
        EXPECT_EQ(status_a, kOfxStatOK);
        EXPECT_EQ(status_b, kOfxStatOK);
        EXPECT_EQ(WindowBytes(a, kBounds), expected_first);
        EXPECT_EQ(WindowBytes(b, kBounds), expected_second);
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

// NaN values render as the parameters' defaults, and values beyond a range
// as its ends.
TEST(OfxRender, NotANumberIsTheDefaultAndValuesBeyondTheRangeItsEnds) {
    Rig rig;
    const double nan = std::nan("");
    HostImage source = rig.Source(kOfxBitDepthFloat);
    const auto render = [&] {
        HostImage output = HostImage::Make(kOfxBitDepthFloat, kBounds, 0, false);
        EXPECT_EQ(rig.host.Render(*rig.instance, {0.0, 1.0, 1.0, kBounds}, &source, &output), kOfxStatOK);
        return WindowBytes(output, kBounds);
    };
    const RingSetting defaults{kRod.x1 + kWidth / 2.0, kRod.y1 + kHeight / 2.0, 100, 3, 50, 100, 0,
                               {1, 1, 1}, {0, 127.0 / 255.0, 1}, true};
    ApplySetting(rig.host, *rig.instance, defaults, 1);
    rig.host.SetParam(*rig.instance, "radius", {30});
    const std::vector<unsigned char> expected = render();
    ApplySetting(rig.host, *rig.instance, {nan, nan, 30, nan, nan, nan, nan, {nan, 1, nan}, {0, nan, 1}, true}, 1);
    EXPECT_EQ(render(), expected);

    rig.host.SetParam(*rig.instance, "radius", {1e300});
    rig.host.SetParam(*rig.instance, "opacity", {-5});
    rig.host.SetParam(*rig.instance, "blend", {9});
    const std::vector<unsigned char> beyond = render();
    rig.host.SetParam(*rig.instance, "radius", {10000});
    rig.host.SetParam(*rig.instance, "opacity", {0});
    rig.host.SetParam(*rig.instance, "blend", {0});
    EXPECT_EQ(render(), beyond);
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

TEST(OfxRender, AHostileHostGetsAStatusAndNothingOutsideTheOutputIsWritten) {
    Rig rig;
    ApplySetting(rig.host, *rig.instance, kScatter, 1);
    HostImage source = rig.Source(kOfxBitDepthByte);
    const OfxRectI small{kBounds.x1 + 10, kBounds.y1 + 10, kBounds.x1 + 40, kBounds.y1 + 30};
    struct Case {
        const char *what;
        const char *depth;
        const char *components;
        OfxRectI output_bounds;
        double scale;
        bool no_output;
        OfxStatus expected;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"no output image", kOfxBitDepthByte, kOfxImageComponentRGBA, kBounds, 1.0, true, kOfxStatFailed},
        {"output smaller than the window", kOfxBitDepthByte, kOfxImageComponentRGBA, small, 1.0, false,
         kOfxStatFailed},
        {"half floats", kOfxBitDepthHalf, kOfxImageComponentRGBA, kBounds, 1.0, false, kOfxStatErrImageFormat},
        {"RGB", kOfxBitDepthByte, kOfxImageComponentRGB, kBounds, 1.0, false, kOfxStatErrImageFormat},
        {"zero scale", kOfxBitDepthByte, kOfxImageComponentRGBA, kBounds, 0.0, false, kOfxStatFailed},
        {"negative scale", kOfxBitDepthByte, kOfxImageComponentRGBA, kBounds, -0.5, false, kOfxStatFailed},
        {"NaN scale", kOfxBitDepthByte, kOfxImageComponentRGBA, kBounds, nan, false, kOfxStatFailed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        rig.host.ClearBreaches();
        HostImage output = HostImage::Make(c.depth, c.output_bounds, 8, false, 0x5A);
        output.components = c.components;
        const std::vector<unsigned char> before = output.storage;
        EXPECT_EQ(rig.host.Render(*rig.instance, {0.0, c.scale, c.scale, kBounds}, &source,
                                  c.no_output ? nullptr : &output),
                  c.expected);
        EXPECT_EQ(output.storage, before);
        EXPECT_EQ(rig.host.Messages().size(), 1u);
        EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
    }

    // No source image: transparent black under the ring.
    HostImage output = HostImage::Make(kOfxBitDepthByte, kBounds, 0, false);
    EXPECT_EQ(rig.host.Render(*rig.instance, {0.0, 1.0, 1.0, kBounds}, nullptr, &output), kOfxStatOK);
    HostImage black = HostImage::Make(kOfxBitDepthByte, kBounds, 0, false);
    HostImage expected = HostImage::Make(kOfxBitDepthByte, kBounds, 0, false);
    EXPECT_EQ(rig.host.Render(*rig.instance, {0.0, 1.0, 1.0, kBounds}, &black, &expected), kOfxStatOK);
    EXPECT_EQ(output.storage, expected.storage);

    // Actions it does not know, and a render before the load.
    EXPECT_EQ(rig.host.Call("OfxActionNobodyKnows", rig.instance), kOfxStatReplyDefault);
    EXPECT_EQ(rig.host.Call(nullptr, rig.instance), kOfxStatErrBadHandle);
    EXPECT_EQ(rig.host.Call(kOfxImageEffectActionIsIdentity, rig.instance), kOfxStatReplyDefault);
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

}  // namespace
}  // namespace tidalhalo::ofxtest
