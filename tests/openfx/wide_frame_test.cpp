// Rows wider than the stretch the bundle shades at a time: the whole frame
// equals the frame in tiles of other widths, and a source that holds only
// part of the window equals one padded with transparent black, in every depth.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/openfx/ofx_pictures.h"

namespace tidalhalo::ofxtest {
namespace {

constexpr int kWide = 613;
constexpr int kTall = 9;
constexpr OfxRectI kWideBounds{-3, 2, -3 + kWide, 2 + kTall};
const OfxRectD kWideRod{-3, 2, -3 + kWide, 2 + kTall};
const char *const kWideDepths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};

// A ring across most of the row, with noise, so that covered and uncovered
// stretches meet on both sides of the bundle's stretch boundaries.
const RingSetting kWideRing{300, 6, 250, 40, 60, 80, 9, {1.0, 0.5, 0.25}, {0.0, 0.2, 0.9}, true};

struct WideRig {
    WideRig() : host(TIDALHALO_OFX_PLUGIN) {
        EXPECT_EQ(host.Load(), kOfxStatOK);
        EXPECT_EQ(host.Describe(), kOfxStatOK);
        EXPECT_EQ(host.DescribeInContext(), kOfxStatOK);
        instance = host.CreateInstance(kWideRod);
        EXPECT_NE(instance, nullptr);
    }
    std::vector<unsigned char> Frame(const std::string &depth, HostImage &source, const std::vector<OfxRectI> &tiles,
                                     int blend) {
        HostImage output = HostImage::Make(depth, kWideBounds, 0, false, 0x5A);
        ApplySetting(host, *instance, kWideRing, blend);
        for (const OfxRectI &tile : tiles) {
            EXPECT_EQ(host.Render(*instance, {0.0, 1.0, 1.0, tile}, &source, &output), kOfxStatOK);
        }
        return WindowBytes(output, kWideBounds);
    }
    TestHost host;
    Effect *instance = nullptr;
};

std::vector<OfxRectI> Strips(int width) {
    std::vector<OfxRectI> tiles;
    for (int x = kWideBounds.x1; x < kWideBounds.x2; x += width) {
        tiles.push_back({x, kWideBounds.y1, x + width < kWideBounds.x2 ? x + width : kWideBounds.x2, kWideBounds.y2});
    }
    return tiles;
}

TEST(OfxWideFrame, StripsOfOtherWidthsGiveTheWholeFrame) {
    WideRig rig;
    for (const char *depth : kWideDepths) {
        HostImage source = HostImage::Make(depth, kWideBounds, 0, false);
        FillImage(source, NoiseSamples(kWide, kTall, 3), kWide);
        for (int blend = 0; blend < 5; ++blend) {
            const std::vector<unsigned char> whole = rig.Frame(depth, source, {kWideBounds}, blend);
            for (const int width : {37, 255, 257, 300}) {
                EXPECT_EQ(rig.Frame(depth, source, Strips(width), blend), whole)
                    << depth << " blend " << blend << " strips " << width;
            }
        }
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

TEST(OfxWideFrame, ASourceHoldingPartOfTheWindowIsTransparentBlackBeyondIt) {
    WideRig rig;
    const OfxRectI part{kWideBounds.x1 + 200, kWideBounds.y1 + 2, kWideBounds.x1 + 530, kWideBounds.y1 + 7};
    const int part_width = part.x2 - part.x1;
    for (const char *depth : kWideDepths) {
        HostImage source = HostImage::Make(depth, part, 0, false);
        FillImage(source, NoiseSamples(part_width, part.y2 - part.y1, 5), part_width);
        HostImage padded = HostImage::Make(depth, kWideBounds, 0, false);
        for (int y = part.y1; y < part.y2; ++y) {
            for (int x = part.x1; x < part.x2; ++x) {
                const unsigned char *from = source.Pixel(x, y);
                std::copy(from, from + source.PixelBytes(), padded.Pixel(x, y));
            }
        }
        for (const int blend : {1, 2}) {
            EXPECT_EQ(rig.Frame(depth, source, {kWideBounds}, blend), rig.Frame(depth, padded, {kWideBounds}, blend))
                << depth << " blend " << blend;
        }
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

}  // namespace
}  // namespace tidalhalo::ofxtest
