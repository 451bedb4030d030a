// The tool's PNG writer fed any picture: the first bytes choose the size,
// depth, alpha, compression and band size, the rest are the samples
// (repeated to fill the picture). libspng and libpng must both read the
// file back to exactly those samples.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/png_encode.h"
#include "tests/cli/png_decoders.h"

namespace {

[[noreturn]] void Fail(const std::string &what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

constexpr std::size_t kSettingsBytes = 5;
constexpr uint32_t kLargestSide = 128;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < kSettingsBytes) {
        return 0;
    }
    using tidalhalo::cli::PngCompression;
    tidalhalo::cli::PngRaster raster;
    raster.width = 1 + data[0] % kLargestSide;
    raster.height = 1 + data[1] % kLargestSide;
    raster.bit_depth = data[2] & 1 ? 16 : 8;
    raster.channels = data[2] & 2 ? 4 : 3;
    const PngCompression compression = data[2] & 4 ? PngCompression::Fast
                                       : data[2] & 8 ? PngCompression::Small
                                                     : PngCompression::Default;
    const unsigned threads = 1 + (data[2] >> 4) % 3;
    // From one row a band up to the whole picture in one.
    const std::size_t band_bytes = std::size_t{data[3]} * data[4] * 4;

    const std::size_t row = std::size_t{raster.width} * static_cast<std::size_t>(raster.channels * raster.bit_depth / 8);
    std::vector<uint8_t> samples(row * raster.height);
    const std::size_t given = size - kSettingsBytes;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = given == 0 ? 0 : data[kSettingsBytes + i % given];
    }
    raster.rows = samples.data();
    const std::vector<uint8_t> file = tidalhalo::cli::EncodePng(raster, compression, threads, band_bytes);

    for (auto decode : {tidalhalo::test::DecodeWithSpng, tidalhalo::test::DecodeWithLibpng}) {
        std::string error;
        const auto got = decode(file, error);
        if (!got) {
            Fail("a written file was refused: " + error);
        }
        if (got->width != raster.width || got->height != raster.height || got->bit_depth != raster.bit_depth ||
            got->color_type != (raster.channels == 4 ? 6 : 2) || got->samples != samples) {
            Fail("a written file reads back to other pixels");
        }
    }
    return 0;
}
