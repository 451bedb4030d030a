#include "cli/png_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <spng.h>
#include <sys/stat.h>

#include "cli/cli_error.h"
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

void WritePng(const std::string &path, const sim::ImageView &image) {
    FilePtr file = Open(path, "wb");
    ContextPtr ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) {
        throw CliError(path, "out of memory");
    }
    Check(spng_set_png_file(ctx.get(), file.get()), path, "cannot write");
    const bool eight = image.depth == sim::PixelDepth::Eight;
    spng_ihdr ihdr{};
    ihdr.width = static_cast<uint32_t>(image.width);
    ihdr.height = static_cast<uint32_t>(image.height);
    ihdr.bit_depth = eight ? 8 : 16;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    Check(spng_set_ihdr(ctx.get(), &ihdr), path, "cannot write");
    Check(spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG,
                            SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE),
          path, "cannot write");

    // One row at a time is converted to the file's sample order.
    const std::size_t samples = static_cast<std::size_t>(image.width) * 4;
    std::vector<uint8_t> row8(eight ? samples : 0);
    std::vector<uint16_t> row16(eight ? 0 : samples);
    for (int32_t y = 0; y < image.height; ++y) {
        const void *row = nullptr;
        std::size_t bytes = 0;
        if (eight) {
            const PF_Pixel *in = image.PixelAt<PF_Pixel>(0, y);
            for (int32_t x = 0; x < image.width; ++x) {
                uint8_t *out = &row8[static_cast<std::size_t>(x) * 4];
                out[0] = in[x].red, out[1] = in[x].green, out[2] = in[x].blue, out[3] = in[x].alpha;
            }
            row = row8.data();
            bytes = row8.size();
        } else {
            for (int32_t x = 0; x < image.width; ++x) {
                uint16_t *out = &row16[static_cast<std::size_t>(x) * 4];
                if (image.depth == sim::PixelDepth::Sixteen) {
                    const PF_Pixel16 &p = image.PixelAt<PF_Pixel16>(0, y)[x];
                    out[0] = Host16ToFile(p.red), out[1] = Host16ToFile(p.green);
                    out[2] = Host16ToFile(p.blue), out[3] = Host16ToFile(p.alpha);
                } else {
                    const PF_PixelFloat &p = image.PixelAt<PF_PixelFloat>(0, y)[x];
                    out[0] = static_cast<uint16_t>(FloatToScaled(p.red, 65535));
                    out[1] = static_cast<uint16_t>(FloatToScaled(p.green, 65535));
                    out[2] = static_cast<uint16_t>(FloatToScaled(p.blue, 65535));
                    out[3] = static_cast<uint16_t>(FloatToScaled(p.alpha, 65535));
                }
            }
            row = row16.data();
            bytes = row16.size() * sizeof(uint16_t);
        }
        const int result = spng_encode_row(ctx.get(), row, bytes);
        if (result != 0 && !(result == SPNG_EOI && y + 1 == image.height)) {
            Check(result, path, "cannot write");
        }
    }
    ctx.reset();
    const bool failed = std::ferror(file.get()) != 0;
    if (std::fclose(file.release()) != 0 || failed) {
        throw CliError(path, std::strerror(errno));
    }
}

}  // namespace tidalhalo::cli
