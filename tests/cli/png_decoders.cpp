#include "tests/cli/png_decoders.h"

#include <csetjmp>
#include <cstring>
#include <memory>

#include <png.h>
#include <spng.h>

namespace tidalhalo::test {

std::optional<DecodedPng> DecodeWithSpng(const std::vector<uint8_t> &file, std::string &error) {
    spng_ctx *ctx = spng_ctx_new(0);
    // Checksums are verified, and chunks after the pixels are read too.
    spng_set_crc_action(ctx, SPNG_CRC_ERROR, SPNG_CRC_ERROR);
    DecodedPng png;
    spng_ihdr ihdr{};
    std::size_t size = 0;
    int result = spng_set_png_buffer(ctx, file.data(), file.size());
    if (result == 0) {
        result = spng_get_ihdr(ctx, &ihdr);
    }
    if (result == 0) {
        result = spng_decoded_image_size(ctx, SPNG_FMT_RAW, &size);
    }
    if (result == 0) {
        png.samples.resize(size);
        result = spng_decode_image(ctx, png.samples.data(), size, SPNG_FMT_RAW, 0);
    }
    if (result == 0) {
        result = spng_decode_chunks(ctx);
    }
    spng_ctx_free(ctx);
    if (result != 0) {
        error = std::string("libspng: ") + spng_strerror(result);
        return std::nullopt;
    }
    png.width = ihdr.width;
    png.height = ihdr.height;
    png.bit_depth = ihdr.bit_depth;
    png.color_type = ihdr.color_type;
    return png;
}

namespace {

struct MemoryReader {
    const std::vector<uint8_t> *file;
    std::size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto *reader = static_cast<MemoryReader *>(png_get_io_ptr(png));
    if (count > reader->file->size() - reader->at) {
        png_error(png, "read past the end of the file");
    }
    std::memcpy(out, reader->file->data() + reader->at, count);
    reader->at += count;
}

void Fail(png_structp png, png_const_charp message) {
    auto *error = static_cast<std::string *>(png_get_error_ptr(png));
    *error = std::string("libpng: ") + message;
    png_longjmp(png, 1);
}

// Warnings (a CRC, too much data, ...) count as failures.
void Warn(png_structp png, png_const_charp message) { Fail(png, message); }

}  // namespace

std::optional<DecodedPng> DecodeWithLibpng(const std::vector<uint8_t> &file, std::string &error) {
    // What the decoding changes lives on the heap, behind a pointer that is
    // set before the jump point and never changed, so a jump back leaves
    // everything valid.
    struct State {
        DecodedPng png;
        std::vector<png_bytep> rows;
        MemoryReader reader;
    };
    const auto state = std::make_unique<State>(State{{}, {}, {&file, 0}});
    png_structp read = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, Fail, Warn);
    png_infop info = png_create_info_struct(read);
    png_infop end = png_create_info_struct(read);
    if (setjmp(png_jmpbuf(read))) {
        png_destroy_read_struct(&read, &info, &end);
        return std::nullopt;
    }
    png_set_read_fn(read, &state->reader, ReadFromMemory);
    png_set_user_limits(read, 0x7fffffff, 0x7fffffff);
    png_read_info(read, info);
    DecodedPng &png = state->png;
    png.width = png_get_image_width(read, info);
    png.height = png_get_image_height(read, info);
    png.bit_depth = png_get_bit_depth(read, info);
    png.color_type = png_get_color_type(read, info);
    const std::size_t row_bytes = png_get_rowbytes(read, info);
    png.samples.resize(row_bytes * png.height);
    state->rows.resize(png.height);
    for (uint32_t y = 0; y < png.height; ++y) {
        state->rows[y] = png.samples.data() + row_bytes * y;
    }
    png_read_image(read, state->rows.data());
    png_read_end(read, end);
    png_destroy_read_struct(&read, &info, &end);
    if (state->reader.at != file.size()) {
        error = "libpng: bytes after the end chunk";
        return std::nullopt;
    }
    return std::move(png);
}

}  // namespace tidalhalo::test
