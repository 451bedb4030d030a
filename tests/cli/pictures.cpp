#include "tests/cli/pictures.h"

#include <cstdio>
#include <stdexcept>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <spng.h>

namespace tidalhalo::test {
namespace {

Picture ReadPng(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw std::runtime_error("cannot open " + path);
    }
    spng_ctx *ctx = spng_ctx_new(0);
    spng_set_png_file(ctx, file);
    spng_ihdr ihdr{};
    Picture picture;
    int error = spng_get_ihdr(ctx, &ihdr);
    if (error == 0) {
        picture.width = static_cast<int>(ihdr.width);
        picture.height = static_cast<int>(ihdr.height);
        picture.bits = ihdr.bit_depth == 16 ? 16 : 8;
        const int fmt = picture.bits == 16 ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
        std::size_t size = 0;
        spng_decoded_image_size(ctx, fmt, &size);
        std::vector<uint8_t> bytes(size);
        error = spng_decode_image(ctx, bytes.data(), size, fmt, SPNG_DECODE_TRNS);
        if (picture.bits == 16) {
            const auto *samples = reinterpret_cast<const uint16_t *>(bytes.data());
            picture.samples.assign(samples, samples + size / 2);
        } else {
            picture.samples.assign(bytes.begin(), bytes.end());
        }
    }
    spng_ctx_free(ctx);
    std::fclose(file);
    if (error != 0) {
        throw std::runtime_error(path + ": " + spng_strerror(error));
    }
    return picture;
}

Picture ReadExr(const std::string &path) {
    Imf::InputFile file(path.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    Picture picture;
    picture.width = window.max.x - window.min.x + 1;
    picture.height = window.max.y - window.min.y + 1;
    picture.bits = 32;
    std::vector<float> rgba(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4);
    Imf::FrameBuffer buffer;
    const char *names[] = {"R", "G", "B", "A"};
    for (std::size_t c = 0; c < 4; ++c) {
        buffer.insert(names[c], Imf::Slice::Make(Imf::FLOAT, &rgba[c], window, 4 * sizeof(float),
                                                 4 * sizeof(float) * static_cast<std::size_t>(picture.width)));
    }
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);
    picture.samples.assign(rgba.begin(), rgba.end());
    return picture;
}

}  // namespace

Picture ReadPicture(const std::string &path) {
    if (path.size() > 4 && path.substr(path.size() - 4) == ".exr") {
        return ReadExr(path);
    }
    return ReadPng(path);
}

void WritePngFile(const std::string &path, int width, int height, int color_type, int bits,
                  const std::vector<uint16_t> &samples) {
    std::vector<uint8_t> bytes;
    for (const uint16_t s : samples) {
        if (bits == 16) {
            // The encoder takes 16-bit samples in the host's byte order.
            const uint8_t *raw = reinterpret_cast<const uint8_t *>(&s);
            bytes.push_back(raw[0]);
            bytes.push_back(raw[1]);
        } else {
            bytes.push_back(static_cast<uint8_t>(s));
        }
    }
    std::FILE *file = std::fopen(path.c_str(), "wb");
    spng_ctx *ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_png_file(ctx, file);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<uint32_t>(width);
    ihdr.height = static_cast<uint32_t>(height);
    ihdr.bit_depth = static_cast<uint8_t>(bits);
    ihdr.color_type = static_cast<uint8_t>(color_type);
    spng_set_ihdr(ctx, &ihdr);
    const int error = spng_encode_image(ctx, bytes.data(), bytes.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    spng_ctx_free(ctx);
    std::fclose(file);
    if (error != 0) {
        throw std::runtime_error(path + ": " + spng_strerror(error));
    }
}

void WriteExrFile(const std::string &path, int width, int height, const std::vector<float> &rgba) {
    Imf::Header header(width, height);
    const char *names[] = {"R", "G", "B", "A"};
    for (const char *name : names) {
        header.channels().insert(name, Imf::Channel(Imf::FLOAT));
    }
    Imf::OutputFile file(path.c_str(), header);
    Imf::FrameBuffer buffer;
    for (std::size_t c = 0; c < 4; ++c) {
        buffer.insert(names[c], Imf::Slice::Make(Imf::FLOAT, &rgba[c], header.dataWindow(), 4 * sizeof(float),
                                                 4 * sizeof(float) * static_cast<std::size_t>(width)));
    }
    file.setFrameBuffer(buffer);
    file.writePixels(height);
}

}  // namespace tidalhalo::test
