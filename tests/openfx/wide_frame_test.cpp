// Rows wider than the stretch the bundle shades at a time: the whole frame
// equals the frame in tiles of other widths, and a source that holds only
// part of the window equals one padded with transparent black, in every depth.
#include <algorithm>
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

// A window whose source and output together outgrow the cache is written
// straight to memory: the same bytes as the window in strips small enough
// to be written through it. Most alphas are high, so that most pixels the
// ring cannot reach come out as they went in and take the streamed stores;
// a premultiplied source in modes normal and none streams its premultiplied
// pixels too.
TEST(OfxWideFrame, AWindowWrittenStraightToMemoryEqualsItsStrips) {
    struct Size {
        const char *depth;
        int width, height;  // 52 MB in and out together, more than any cache
    };
    const std::pair<const char *, int> cases[] = {
        {kOfxImageUnPreMultiplied, 1}, {kOfxImagePreMultiplied, 1}, {kOfxImagePreMultiplied, 0}};
    for (const auto &[premultiplication, blend] : cases) {
        for (const Size size : {Size{kOfxBitDepthByte, 2600, 2500}, Size{kOfxBitDepthFloat, 1300, 1250}}) {
            const OfxRectI bounds{0, 0, size.width, size.height};
            TestHost host(TIDALHALO_OFX_PLUGIN);
            ASSERT_EQ(host.Load(), kOfxStatOK);
            ASSERT_EQ(host.Describe(), kOfxStatOK);
            ASSERT_EQ(host.DescribeInContext(), kOfxStatOK);
            Effect *instance =
                host.CreateInstance(OfxRectD{0, 0, double(size.width), double(size.height)}, 1.0, premultiplication);
            ASSERT_NE(instance, nullptr);
            std::vector<uint16_t> samples = NoiseSamples(size.width, size.height, 11);
            for (std::size_t alpha = 3; alpha < samples.size(); alpha += 4) {
                samples[alpha] |= alpha % 64 == 3 ? 0 : 0x8000;
            }
            HostImage source = HostImage::Make(size.depth, bounds, 0, false);
            FillImage(source, samples, size.width);
            const RingSetting ring{size.width / 2.0, size.height / 2.0, size.width / 3.0, 40, 50, 100, 3,
                                   {1.0, 1.0, 1.0}, {0.0, 0.5, 1.0}, true};
            ApplySetting(host, *instance, ring, blend);
            std::vector<std::vector<unsigned char>> frames;
            for (const int strip : {size.height, 100}) {
                HostImage output = HostImage::Make(size.depth, bounds, 0, false, 0x5A);
                for (int y = 0; y < size.height; y += strip) {
                    const OfxRectI window{0, y, size.width, std::min(y + strip, size.height)};
                    ASSERT_EQ(host.Render(*instance, {0.0, 1.0, 1.0, window}, &source, &output), kOfxStatOK);
                }
                frames.push_back(WindowBytes(output, bounds));
            }
            EXPECT_TRUE(frames[0] == frames[1]) << size.depth << " " << premultiplication << " blend " << blend;
            EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
        }
    }
}

}  // namespace
}  // namespace tidalhalo::ofxtest
