// PNG files encoded on every core: the rows are cut into bands of about
// the same size and each band is filtered on its own. Either each band is
// deflated on its own too and the bands are joined into one zlib stream at
// byte-aligned flush points, with their Adler-32 checksums combined, or the
// filtered rows are deflated as one stream (see png_encode.cpp for which).
// The bands depend on the picture alone, so the file is the same for any
// number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tidalhalo::cli {

// Speed against size, as --compression names them.
enum class PngCompression { Fast, Default, Small };

// Rows of samples in file order: 3 (RGB) or 4 (RGBA) channels of 8 bits,
// or of 16 bits stored big-endian, rows packed one after another.
struct PngRaster {
    const uint8_t *rows = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    int bit_depth = 8;  // 8 or 16
    int channels = 4;   // 3 or 4
};

// Fewer bytes than this are not worth a band of their own.
inline constexpr std::size_t PNG_BAND_BYTES = std::size_t{1} << 19;

// The complete file. threads 0 uses every core. Throws std::bad_alloc, or
// std::runtime_error should a compressor fail.
std::vector<uint8_t> EncodePng(const PngRaster &raster, PngCompression compression, unsigned threads,
                               std::size_t band_bytes = PNG_BAND_BYTES);

}  // namespace tidalhalo::cli
