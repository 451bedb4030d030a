// PNG files: any colour type and bit depth in, 8-bit or 16-bit RGBA out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/png_encode.h"

#include "cli/size_limit.h"
#include "sim/image.h"

namespace tidalhalo::cli {

// Reads a PNG into host layout. Without a wanted depth the file's own
// decides: 16-bit files give 16-bit images, all others 8-bit. Grey becomes
// equal colour channels, a missing alpha is opaque, a tRNS chunk applies.
// Throws CliError naming the file on any failure.
sim::Image ReadPng(const std::string &path, std::optional<sim::PixelDepth> depth);

// The same from a PNG held in memory; name stands for the file in messages.
sim::Image ReadPngBytes(const std::string &name, const void *data, std::size_t size,
                        std::optional<sim::PixelDepth> depth, const SizeLimit &limit = kPictureLimit);

// How a PNG is written: compression and threads (0: every core).
struct PngWriting {
    PngCompression compression = PngCompression::Default;
    unsigned threads = 0;
};

// An RGBA PNG of 8 bits for 8-bit images, 16 bits otherwise (float
// channels are clamped to 0..1 there, as the format requires); RGB when
// every pixel is opaque, since the alpha channel would say nothing.
std::vector<uint8_t> EncodePngImage(const sim::ImageView &image, const PngWriting &writing);

}  // namespace tidalhalo::cli
