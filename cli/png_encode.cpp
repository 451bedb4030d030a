#include "cli/png_encode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include "cli/parallel_for.h"

namespace tidalhalo::cli {
namespace {

enum PngFilter : uint8_t { kFilterNone, kFilterSub, kFilterUp, kFilterAverage, kFilterPaeth, kFilterCount };

// Every setting deflates with ISA-L's level 1; the slower ones also try zlib
// at these levels and keep the smaller.
constexpr int kDefaultZlibLevel = 4;
constexpr int kSmallZlibLevel = 6;

// The header of a zlib stream with a 32 KiB window; the second byte makes
// the pair a multiple of 31 and states the compression level class.
constexpr std::array<uint8_t, 2> kZlibHeader = {0x78, 0x5e};

uint8_t Paeth(int a, int b, int c) noexcept {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Writes the filter byte and the filtered row. The row above the first one
// is all zeros, so every filter is valid on every row. The filter is
// chosen outside the loops, which the compiler then vectorises.
void FilterRow(PngFilter filter, const uint8_t *row, const uint8_t *above, std::size_t bytes, std::size_t bpp,
               uint8_t *out) noexcept {
    *out++ = filter;
    static const std::vector<uint8_t> kNoRow(std::size_t{32767} * 8, 0);  // the widest row
    const uint8_t *up = above != nullptr ? above : kNoRow.data();
    const std::size_t head = std::min(bpp, bytes);
    switch (filter) {
    case kFilterNone:
        std::memcpy(out, row, bytes);
        break;
    case kFilterSub:
        std::memcpy(out, row, head);
        for (std::size_t i = head; i < bytes; ++i) {
            out[i] = static_cast<uint8_t>(row[i] - row[i - bpp]);
        }
        break;
    case kFilterUp:
        for (std::size_t i = 0; i < bytes; ++i) {
            out[i] = static_cast<uint8_t>(row[i] - up[i]);
        }
        break;
    case kFilterAverage:
        for (std::size_t i = 0; i < head; ++i) {
            out[i] = static_cast<uint8_t>(row[i] - up[i] / 2);
        }
        for (std::size_t i = head; i < bytes; ++i) {
            out[i] = static_cast<uint8_t>(row[i] - (row[i - bpp] + up[i]) / 2);
        }
        break;
    default:
        for (std::size_t i = 0; i < head; ++i) {
            out[i] = static_cast<uint8_t>(row[i] - up[i]);  // Paeth with nothing on the left
        }
        for (std::size_t i = head; i < bytes; ++i) {
            out[i] = static_cast<uint8_t>(row[i] - Paeth(row[i - bpp], up[i], up[i - bpp]));
        }
        break;
    }
}

// The usual rule: the filter whose output, read as signed bytes, sums to
// the least magnitude tends to deflate best.
PngFilter BestFilter(const uint8_t *row, const uint8_t *above, std::size_t bytes, std::size_t bpp,
                     std::vector<uint8_t> &trial) {
    trial.resize(bytes + 1);
    PngFilter best = kFilterNone;
    uint64_t best_sum = UINT64_MAX;
    for (uint8_t f = kFilterNone; f < kFilterCount; ++f) {
        FilterRow(static_cast<PngFilter>(f), row, above, bytes, bpp, trial.data());
        uint64_t sum = 0;
        for (std::size_t i = 1; i <= bytes; ++i) {
            sum += static_cast<uint64_t>(std::abs(static_cast<int8_t>(trial[i])));
        }
        if (sum < best_sum) {
            best_sum = sum;
            best = static_cast<PngFilter>(f);
        }
    }
    return best;
}

struct Band {
    uint32_t first_row = 0;
    uint32_t rows = 0;
    std::vector<uint8_t> chunk;  // the whole IDAT chunk: length, type, data, CRC
    uint32_t adler = 1;
    std::size_t filtered_bytes = 0;
};

// The band's rows with their filters. Small tries every filter on every
// row; the others choose once per band, on its first row, which costs
// little and loses little in a picture whose character changes slowly.
std::vector<uint8_t> FilterBand(const PngRaster &raster, const Band &band, bool every_row) {
    const std::size_t bpp = static_cast<std::size_t>(raster.channels * raster.bit_depth / 8);
    const std::size_t bytes = bpp * raster.width;
    std::vector<uint8_t> out((bytes + 1) * band.rows);
    std::vector<uint8_t> trial;
    PngFilter filter = kFilterNone;
    for (uint32_t r = 0; r < band.rows; ++r) {
        const std::size_t y = std::size_t{band.first_row} + r;
        const uint8_t *row = raster.rows + y * bytes;
        const uint8_t *above = y > 0 ? row - bytes : nullptr;
        if (r == 0 || every_row) {
            filter = BestFilter(row, above, bytes, bpp, trial);
        }
        FilterRow(filter, row, above, bytes, bpp, &out[(bytes + 1) * r]);
    }
    return out;
}

void PutBigEndian(uint8_t *p, uint32_t v) noexcept {
    p[0] = static_cast<uint8_t>(v >> 24), p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8), p[3] = static_cast<uint8_t>(v);
}

// Room for the length and type before the data; the CRC goes after it.
constexpr std::size_t kChunkHead = 8;

// Fills in the length, type and CRC around data already at chunk[8...].
void FrameChunk(std::vector<uint8_t> &chunk, const char *type) {
    const std::size_t length = chunk.size() - kChunkHead;
    PutBigEndian(chunk.data(), static_cast<uint32_t>(length));
    std::memcpy(chunk.data() + 4, type, 4);
    const uLong crc = crc32_z(crc32_z(0, nullptr, 0), chunk.data() + 4, length + 4);
    chunk.resize(chunk.size() + 4);
    PutBigEndian(chunk.data() + kChunkHead + length, static_cast<uint32_t>(crc));
}

// Raw deflate of data appended to out, ending byte-aligned: with the final
// block for the last band, with an empty stored block (a sync flush) for
// the others, so that the next band's blocks may follow. Each call is
// repeated with more room until it leaves room unused, which means it has
// written everything.
template <class Stream, class Step>
void DeflateInto(Stream &stream, std::size_t guess, std::vector<uint8_t> &out, Step step) {
    std::size_t used = out.size();
    do {
        out.resize(used + guess);
        stream.next_out = out.data() + used;
        stream.avail_out = static_cast<uint32_t>(guess);
        if (!step()) {
            throw std::runtime_error("deflate failed");
        }
        used = out.size() - stream.avail_out;
    } while (stream.avail_out == 0);
    out.resize(used);
}

void DeflateZlib(const std::vector<uint8_t> &data, int level, bool last, std::vector<uint8_t> &out) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
    stream.next_in = const_cast<Bytef *>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    try {
        DeflateInto(stream, deflateBound(&stream, data.size()) + 16, out, [&] {
            const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
            return result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR;
        });
    } catch (...) {
        deflateEnd(&stream);
        throw;
    }
    deflateEnd(&stream);
}

void DeflateIsal(const std::vector<uint8_t> &data, bool last, std::vector<uint8_t> &out) {
    std::vector<uint8_t> level_buffer(ISAL_DEF_LVL1_DEFAULT);
    isal_zstream stream{};
    isal_deflate_init(&stream);
    stream.level = 1;
    stream.level_buf = level_buffer.data();
    stream.level_buf_size = static_cast<uint32_t>(level_buffer.size());
    stream.flush = SYNC_FLUSH;
    stream.end_of_stream = last ? 1 : 0;
    stream.next_in = const_cast<uint8_t *>(data.data());
    stream.avail_in = static_cast<uint32_t>(data.size());
    DeflateInto(stream, data.size() + data.size() / 1024 + 256, out,
                [&] { return isal_deflate(&stream) == COMP_OK; });
}

// Cuts the picture into bands of whole rows of about band_bytes each.
std::vector<Band> CutBands(const PngRaster &raster, std::size_t band_bytes) {
    const std::size_t row_bytes = std::size_t{raster.width} * static_cast<std::size_t>(raster.channels * raster.bit_depth / 8) + 1;
    const uint32_t rows_per_band = static_cast<uint32_t>(std::max<std::size_t>(1, band_bytes / row_bytes));
    std::vector<Band> bands;
    for (uint32_t y = 0; y < raster.height; y += std::min(rows_per_band, raster.height - y)) {
        Band band;
        band.first_row = y;
        band.rows = std::min(rows_per_band, raster.height - y);
        bands.push_back(std::move(band));
    }
    return bands;
}

// Bands that ISA-L shrinks below this share are smooth enough for zlib's
// deeper search to pay (about 15 % smaller there); on noisy bands, and on
// the low bytes of 16-bit samples, ISA-L's output is as small or smaller.
constexpr std::size_t kZlibWorthRatio = 3;

void EncodeBand(const PngRaster &raster, PngCompression compression, bool first, bool last, Band &band) {
    const std::vector<uint8_t> filtered = FilterBand(raster, band, compression == PngCompression::Small);
    band.filtered_bytes = filtered.size();
    band.adler = static_cast<uint32_t>(adler32_z(adler32_z(0, nullptr, 0), filtered.data(), filtered.size()));
    band.chunk.assign(kChunkHead, 0);
    if (first) {
        band.chunk.insert(band.chunk.end(), kZlibHeader.begin(), kZlibHeader.end());
    }
    const std::size_t start = band.chunk.size();
    DeflateIsal(filtered, last, band.chunk);
    const std::size_t isal_bytes = band.chunk.size() - start;
    const bool try_zlib = compression == PngCompression::Small ||
                          (compression == PngCompression::Default && isal_bytes * kZlibWorthRatio < filtered.size());
    if (try_zlib) {
        std::vector<uint8_t> deflated;
        DeflateZlib(filtered, compression == PngCompression::Small ? kSmallZlibLevel : kDefaultZlibLevel, last,
                    deflated);
        if (deflated.size() < isal_bytes) {
            band.chunk.resize(start);
            band.chunk.insert(band.chunk.end(), deflated.begin(), deflated.end());
        }
    }
    FrameChunk(band.chunk, "IDAT");
}

}  // namespace

std::vector<uint8_t> EncodePng(const PngRaster &raster, PngCompression compression, unsigned threads,
                               std::size_t band_bytes) {
    std::vector<Band> bands = CutBands(raster, band_bytes);
    ParallelFor(bands.size(), threads, [&](std::size_t i) {
        EncodeBand(raster, compression, i == 0, i + 1 == bands.size(), bands[i]);
    });

    static constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> file(kSignature.begin(), kSignature.end());
    auto append = [&file](const std::vector<uint8_t> &chunk) { file.insert(file.end(), chunk.begin(), chunk.end()); };

    std::vector<uint8_t> header(kChunkHead + 13, 0);
    PutBigEndian(&header[8], raster.width);
    PutBigEndian(&header[12], raster.height);
    header[16] = static_cast<uint8_t>(raster.bit_depth);
    header[17] = raster.channels == 4 ? 6 : 2;  // colour type: RGBA or RGB; compression, filter, interlace 0
    FrameChunk(header, "IHDR");
    append(header);

    // The stream's checksum comes last, in a chunk of its own, so that each
    // band's chunk was complete when its thread finished it.
    uLong adler = 1;
    for (const Band &band : bands) {
        append(band.chunk);
        adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.filtered_bytes));
    }
    std::vector<uint8_t> checksum(kChunkHead + 4);
    PutBigEndian(&checksum[8], static_cast<uint32_t>(adler));
    FrameChunk(checksum, "IDAT");
    append(checksum);

    std::vector<uint8_t> end(kChunkHead);
    FrameChunk(end, "IEND");
    append(end);
    return file;
}

}  // namespace tidalhalo::cli
