#include "cli/png_io.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include <spng.h>
#include <sys/stat.h>

#include "cli/cli_error.h"
#include "cli/parallel_for.h"
#include "cli/pixel_convert.h"
#include "cli/size_limit.h"

namespace tidalhalo::cli {
namespace {

struct FileCloser {
    void operator()(FILE *f) const noexcept { std::fclose(f); }
};
struct ContextFreer {
    void operator()(spng_ctx *c) const noexcept { spng_ctx_free(c); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;
using ContextPtr = std::unique_ptr<spng_ctx, ContextFreer>;

// Ancillary chunks are kept by the decoder but never used here; these
// bounds stop a file from making it hold more than a few of them.
constexpr std::size_t kChunkSizeLimit = std::size_t{1} << 24;
constexpr std::size_t kChunkCacheLimit = std::size_t{1} << 26;

// Deflate codes at most 258 bytes in 2 bits, so n compressed bytes never
// give more than 1032 n bytes: a file too short for its pixels is refused
// before their memory is taken.
constexpr uint64_t kMaxDeflateRatio = 1032;

FilePtr Open(const std::string &path, const char *mode) {
    FilePtr file(std::fopen(path.c_str(), mode));
    if (!file) {
        throw CliError(path, std::strerror(errno));
    }
    return file;
}

void Check(int result, const std::string &path, const char *what) {
    if (result != 0) {
        throw CliError(path, std::string(what) + ": " + spng_strerror(result));
    }
}

bool Contiguous(const sim::ImageView &view) noexcept {
    return view.rowbytes == static_cast<std::ptrdiff_t>(sim::PixelSize(view.depth)) * view.width;
}

// The decoder gives red, green, blue, alpha; the host wants alpha first.
template <class Pixel, class Sample, class Map>
void RgbaToHost(const Sample *rgba, const sim::ImageView &view, Map map) noexcept {
    for (int32_t y = 0; y < view.height; ++y) {
        Pixel *row = view.PixelAt<Pixel>(0, y);
        const Sample *in = rgba + static_cast<std::size_t>(y) * static_cast<std::size_t>(view.width) * 4;
        for (int32_t x = 0; x < view.width; ++x, in += 4) {
            const Sample r = in[0], g = in[1], b = in[2], a = in[3];
            row[x] = {map(a), map(r), map(g), map(b)};
        }
    }
}

// The size the header states, read before the decoder sees the header: it
// would refuse a width near 2^31 with a message of its own.
void CheckStatedSize(const std::string &name, const unsigned char *head, std::size_t size, const SizeLimit &limit) {
    constexpr unsigned char kIhdr[] = {'I', 'H', 'D', 'R'};
    if (size < 24 || std::memcmp(head + 12, kIhdr, sizeof kIhdr) != 0) {
        return;  // the decoder reports what is wrong
    }
    auto big_endian = [](const unsigned char *p) {
        return int64_t{p[0]} << 24 | int64_t{p[1]} << 16 | int64_t{p[2]} << 8 | int64_t{p[3]};
    };
    CheckPictureSize(name, big_endian(head + 16), big_endian(head + 20), limit);
}

// The samples of one pixel of the file's colour type.
uint64_t ChannelsOf(uint8_t color_type) noexcept {
    switch (color_type) {
    case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
    default: return 1;  // grey or palette
    }
}

// Decodes from wherever ctx reads; input_bytes is the size of the whole input.
sim::Image Decode(spng_ctx *ctx, const std::string &name, uint64_t input_bytes,
                  std::optional<sim::PixelDepth> depth, const SizeLimit &limit) {
    Check(spng_set_chunk_limits(ctx, kChunkSizeLimit, kChunkCacheLimit), name, "limits");
    spng_ihdr ihdr{};
    Check(spng_get_ihdr(ctx, &ihdr), name, "not a readable PNG file");
    CheckPictureSize(name, ihdr.width, ihdr.height, limit);
    const uint64_t least_bytes = uint64_t{ihdr.width} * ihdr.height * ChannelsOf(ihdr.color_type) * ihdr.bit_depth / 8;
    if (least_bytes / kMaxDeflateRatio > input_bytes) {
        throw CliError(name, "too short for a " + std::to_string(ihdr.width) + "x" + std::to_string(ihdr.height) +
                                 " picture (truncated?)");
    }

    const bool sixteen_bit_file = ihdr.bit_depth == 16;
    const sim::PixelDepth want = depth.value_or(sixteen_bit_file ? sim::PixelDepth::Sixteen
                                                                 : sim::PixelDepth::Eight);
    const int fmt = sixteen_bit_file ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    std::size_t size = 0;
    Check(spng_decoded_image_size(ctx, fmt, &size), name, "not a readable PNG file");

    sim::Image image(want, static_cast<int32_t>(ihdr.width), static_cast<int32_t>(ihdr.height));
    const sim::ImageView view = image.View();
    const bool same_layout = Contiguous(view) &&
                             ((want == sim::PixelDepth::Eight && !sixteen_bit_file) ||
                              (want == sim::PixelDepth::Sixteen && sixteen_bit_file));
    // When the layouts match, the pixels are decoded into the image itself
    // and reordered in place; otherwise through one decoded copy.
    std::vector<std::byte> scratch;
    void *decoded = view.data;
    if (!same_layout) {
        scratch.resize(size);
        decoded = scratch.data();
    }
    Check(spng_decode_image(ctx, decoded, size, fmt, SPNG_DECODE_TRNS), name,
          "corrupt PNG data");

    if (!sixteen_bit_file) {
        const auto *rgba = static_cast<const uint8_t *>(decoded);
        switch (want) {
        case sim::PixelDepth::Eight:
            RgbaToHost<PF_Pixel>(rgba, view, [](uint8_t v) { return v; });
            break;
        case sim::PixelDepth::Sixteen:
            RgbaToHost<PF_Pixel16>(rgba, view, EightToHost16);
            break;
        case sim::PixelDepth::Float:
            RgbaToHost<PF_PixelFloat>(rgba, view, [](uint8_t v) { return v / 255.0f; });
            break;
        }
    } else {
        const auto *rgba = static_cast<const uint16_t *>(decoded);
        switch (want) {
        case sim::PixelDepth::Eight:
            RgbaToHost<PF_Pixel>(rgba, view, File16ToEight);
            break;
        case sim::PixelDepth::Sixteen:
            RgbaToHost<PF_Pixel16>(rgba, view, FileToHost16);
            break;
        case sim::PixelDepth::Float:
            RgbaToHost<PF_PixelFloat>(rgba, view, [](uint16_t v) { return v / 65535.0f; });
            break;
        }
    }
    return image;
}

ContextPtr NewDecoder(const std::string &name) {
    ContextPtr ctx(spng_ctx_new(0));
    if (!ctx) {
        throw CliError(name, "out of memory");
    }
    return ctx;
}

}  // namespace

sim::Image ReadPng(const std::string &path, std::optional<sim::PixelDepth> depth) {
    FilePtr file = Open(path, "rb");
    unsigned char head[24];
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    std::rewind(file.get());
    CheckStatedSize(path, head, got, kPictureLimit);
    struct stat info {};
    const uint64_t bytes = fstat(fileno(file.get()), &info) == 0 && info.st_size > 0
                               ? static_cast<uint64_t>(info.st_size)
                               : UINT64_MAX;
    ContextPtr ctx = NewDecoder(path);
    Check(spng_set_png_file(ctx.get(), file.get()), path, "not a PNG file");
    return Decode(ctx.get(), path, bytes, depth, kPictureLimit);
}

sim::Image ReadPngBytes(const std::string &name, const void *data, std::size_t size,
                        std::optional<sim::PixelDepth> depth, const SizeLimit &limit) {
    CheckStatedSize(name, static_cast<const unsigned char *>(data), size, limit);
    ContextPtr ctx = NewDecoder(name);
    Check(spng_set_png_buffer(ctx.get(), data, size), name, "not a PNG file");
    return Decode(ctx.get(), name, size, depth, limit);
}

namespace {

// Host pixels as file samples: 8-bit stays 8-bit, the others become 16-bit.
template <class Pixel>
std::array<uint16_t, 4> FileSamples(const Pixel &p) noexcept {
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        return {p.red, p.green, p.blue, p.alpha};
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        return {Host16ToFile(p.red), Host16ToFile(p.green), Host16ToFile(p.blue), Host16ToFile(p.alpha)};
    } else {
        return {static_cast<uint16_t>(FloatToScaled(p.red, 65535)), static_cast<uint16_t>(FloatToScaled(p.green, 65535)),
                static_cast<uint16_t>(FloatToScaled(p.blue, 65535)), static_cast<uint16_t>(FloatToScaled(p.alpha, 65535))};
    }
}

// The alpha sample alone, for the scan that decides whether to keep it.
template <class Pixel>
uint16_t FileAlpha(const Pixel &p) noexcept {
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        return p.alpha;
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        return Host16ToFile(p.alpha);
    } else {
        return static_cast<uint16_t>(FloatToScaled(p.alpha, 65535));
    }
}

// Calls row(y) for every row, on threads taking 64 rows at a time.
template <class Row>
void ForEachRow(const sim::ImageView &image, unsigned threads, const Row &row) {
    constexpr int32_t kRowsAtATime = 64;
    ParallelFor(static_cast<std::size_t>((image.height + kRowsAtATime - 1) / kRowsAtATime), threads,
                [&](std::size_t piece) {
                    const int32_t first = static_cast<int32_t>(piece) * kRowsAtATime;
                    for (int32_t y = first; y < std::min(image.height, first + kRowsAtATime); ++y) {
                        row(y);
                    }
                });
}

template <class Pixel>
bool Opaque(const sim::ImageView &image, unsigned threads) {
    constexpr uint16_t kFull = std::is_same_v<Pixel, PF_Pixel> ? 255 : 65535;
    std::atomic<bool> opaque{true};
    ForEachRow(image, threads, [&](int32_t y) {
        const Pixel *row = image.PixelAt<Pixel>(0, y);
        for (int32_t x = 0; x < image.width && opaque; ++x) {
            if (FileAlpha(row[x]) != kFull) {
                opaque = false;
            }
        }
    });
    return opaque;
}

// The image's rows in file order: samples big-endian, alpha only if kept.
template <class Pixel>
std::vector<uint8_t> FileRows(const sim::ImageView &image, int channels, unsigned threads) {
    constexpr std::size_t kBytes = std::is_same_v<Pixel, PF_Pixel> ? 1 : 2;
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(channels) * kBytes;
    std::vector<uint8_t> rows(row_bytes * static_cast<std::size_t>(image.height));
    ForEachRow(image, threads, [&](int32_t y) {
        const Pixel *in = image.PixelAt<Pixel>(0, y);
        uint8_t *out = &rows[row_bytes * static_cast<std::size_t>(y)];
        for (int32_t x = 0; x < image.width; ++x) {
            const std::array<uint16_t, 4> samples = FileSamples(in[x]);
            for (std::size_t c = 0; c < static_cast<std::size_t>(channels); ++c) {
                if constexpr (kBytes == 2) {
                    *out++ = static_cast<uint8_t>(samples[c] >> 8);
                }
                *out++ = static_cast<uint8_t>(samples[c]);
            }
        }
    });
    return rows;
}

template <class Pixel>
std::vector<uint8_t> EncodeAs(const sim::ImageView &image, const PngWriting &writing) {
    PngRaster raster;
    raster.width = static_cast<uint32_t>(image.width);
    raster.height = static_cast<uint32_t>(image.height);
    raster.bit_depth = std::is_same_v<Pixel, PF_Pixel> ? 8 : 16;
    raster.channels = Opaque<Pixel>(image, writing.threads) ? 3 : 4;
    const std::vector<uint8_t> rows = FileRows<Pixel>(image, raster.channels, writing.threads);
    raster.rows = rows.data();
    return EncodePng(raster, writing.compression, writing.threads);
}

}  // namespace

std::vector<uint8_t> EncodePngImage(const sim::ImageView &image, const PngWriting &writing) {
    switch (image.depth) {
    case sim::PixelDepth::Eight: return EncodeAs<PF_Pixel>(image, writing);
    case sim::PixelDepth::Sixteen: return EncodeAs<PF_Pixel16>(image, writing);
    case sim::PixelDepth::Float: break;
    }
    return EncodeAs<PF_PixelFloat>(image, writing);
}

}  // namespace tidalhalo::cli
