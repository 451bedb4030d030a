// The PNG writer judged by two independent decoders: every file reads back
// to exactly the samples written, at both depths, with and without alpha,
// from one pixel upward and across any band split; the file does not depend
// on the number of threads.
#include <gtest/gtest.h>

#include <random>

#include "cli/pixel_convert.h"
#include "cli/png_encode.h"
#include "cli/png_io.h"
#include "tests/cli/png_decoders.h"

namespace tidalhalo::test {
namespace {

using cli::PngCompression;

constexpr PngCompression kCompressions[] = {PngCompression::Fast, PngCompression::Default, PngCompression::Small};

// Samples that exercise every filter: smooth ramps where zlib is tried,
// noise where it is not, and flat runs.
std::vector<uint8_t> MakeSamples(uint32_t width, uint32_t height, int bit_depth, int channels, uint32_t seed) {
    std::mt19937 random(seed);
    const std::size_t row = std::size_t{width} * static_cast<std::size_t>(channels * bit_depth / 8);
    std::vector<uint8_t> samples(row * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < row; ++i) {
            uint8_t v = 0;
            switch ((y / 7) % 3) {
            case 0: v = static_cast<uint8_t>(i / 3 + y); break;
            case 1: v = static_cast<uint8_t>(random()); break;
            default: v = 200; break;
            }
            samples[y * row + i] = v;
        }
    }
    return samples;
}

// Both decoders read the file to the same samples and header as written.
void ExpectReadsBack(const std::vector<uint8_t> &file, const cli::PngRaster &raster, const std::vector<uint8_t> &samples) {
    DecodedPng want;
    want.width = raster.width;
    want.height = raster.height;
    want.bit_depth = raster.bit_depth;
    want.color_type = raster.channels == 4 ? 6 : 2;
    want.samples = samples;
    for (auto decode : {DecodeWithSpng, DecodeWithLibpng}) {
        std::string error;
        const std::optional<DecodedPng> got = decode(file, error);
        ASSERT_TRUE(got) << error;
        EXPECT_TRUE(*got == want) << raster.width << "x" << raster.height << " " << raster.bit_depth << " bits, "
                                  << raster.channels << " channels";
    }
}

TEST(PngWriter, EveryKindAndSizeReadsBackExactlyThroughBothDecoders) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 40}, {17, 5}, {255, 33}};
    for (const int bit_depth : {8, 16}) {
        for (const int channels : {3, 4}) {
            for (const auto &[width, height] : sizes) {
                const std::vector<uint8_t> samples = MakeSamples(width, height, bit_depth, channels, width * height);
                const cli::PngRaster raster{samples.data(), width, height, bit_depth, channels};
                for (const PngCompression compression : kCompressions) {
                    // Bands of one row, of a few rows and the whole picture.
                    for (const std::size_t band_bytes : {std::size_t{1}, std::size_t{300}, cli::PNG_BAND_BYTES}) {
                        ExpectReadsBack(cli::EncodePng(raster, compression, 3, band_bytes), raster, samples);
                    }
                }
            }
        }
    }
}

TEST(PngWriter, LargePictureIsTheSameFileOnAnyNumberOfThreads) {
    const std::vector<uint8_t> samples = MakeSamples(1500, 700, 16, 4, 7);
    const cli::PngRaster raster{samples.data(), 1500, 700, 16, 4};
    for (const PngCompression compression : kCompressions) {
        const std::vector<uint8_t> one = cli::EncodePng(raster, compression, 1);
        ExpectReadsBack(one, raster, samples);
        EXPECT_EQ(cli::EncodePng(raster, compression, 2), one);
        EXPECT_EQ(cli::EncodePng(raster, compression, 5), one);
    }
}

TEST(PngWriter, SlowerSettingsAreNeverLarger) {
    const std::vector<uint8_t> samples = MakeSamples(800, 600, 8, 3, 3);
    const cli::PngRaster raster{samples.data(), 800, 600, 8, 3};
    const std::size_t fast = cli::EncodePng(raster, PngCompression::Fast, 0).size();
    const std::size_t normal = cli::EncodePng(raster, PngCompression::Default, 0).size();
    const std::size_t small = cli::EncodePng(raster, PngCompression::Small, 0).size();
    EXPECT_LE(normal, fast);
    EXPECT_LT(small, fast);
}

// Host images: alpha is dropped only when every pixel is opaque, and host
// values become file samples by the tool's conversions.
TEST(PngWriter, HostImagesKeepAlphaOnlyWhenSomePixelIsNotOpaque) {
    for (const sim::PixelDepth depth : {sim::PixelDepth::Eight, sim::PixelDepth::Sixteen, sim::PixelDepth::Float}) {
        sim::Image image(depth, 70, 3);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < 70; ++x) {
                if (depth == sim::PixelDepth::Eight) {
                    *image.PixelAt<PF_Pixel>(x, y) = {255, static_cast<uint8_t>(x), 7, static_cast<uint8_t>(y)};
                } else if (depth == sim::PixelDepth::Sixteen) {
                    *image.PixelAt<PF_Pixel16>(x, y) = {32768, static_cast<uint16_t>(x * 468), 32768, 40000};
                } else {
                    *image.PixelAt<PF_PixelFloat>(x, y) = {1.5f, static_cast<float>(x) / 69.0f, -1.0f, 0.25f};
                }
            }
        }
        const int bits = depth == sim::PixelDepth::Eight ? 8 : 16;
        std::string error;
        std::optional<DecodedPng> opaque = DecodeWithLibpng(cli::EncodePngImage(image.View(), {}), error);
        ASSERT_TRUE(opaque) << error;
        EXPECT_EQ(opaque->color_type, 2);
        EXPECT_EQ(opaque->bit_depth, bits);
        // The second pixel's red, in file units.
        const std::size_t red = bits == 8 ? 3 : 6;
        const uint32_t sample = bits == 8 ? opaque->samples[red]
                                          : uint32_t{opaque->samples[red]} << 8 | opaque->samples[red + 1];
        EXPECT_EQ(sample, depth == sim::PixelDepth::Eight     ? 1u
                          : depth == sim::PixelDepth::Sixteen ? cli::Host16ToFile(468)
                                                              : cli::FloatToScaled(1 / 69.0f, 65535));

        // One pixel less than opaque keeps the alpha channel.
        if (depth == sim::PixelDepth::Eight) {
            image.PixelAt<PF_Pixel>(69, 2)->alpha = 254;
        } else if (depth == sim::PixelDepth::Sixteen) {
            image.PixelAt<PF_Pixel16>(69, 2)->alpha = 32767;
        } else {
            image.PixelAt<PF_PixelFloat>(69, 2)->alpha = 0.99999f;
        }
        std::optional<DecodedPng> clear = DecodeWithSpng(cli::EncodePngImage(image.View(), {}), error);
        ASSERT_TRUE(clear) << error;
        EXPECT_EQ(clear->color_type, 6);
        EXPECT_LT(clear->samples.back(), 255);
    }
}

}  // namespace
}  // namespace tidalhalo::test
