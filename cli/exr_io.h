// OpenEXR files: RGB(A) or Y(A) in any sample type, 32-bit float RGBA out.
// EXR colour is associated with alpha (premultiplied), the host's is not:
// reading divides by alpha where alpha is positive, writing multiplies.
// Values are never clamped either way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cli/size_limit.h"
#include "sim/image.h"

namespace tidalhalo::cli {

// Reads the data window of a single-part scanline or tiled file. Without a
// wanted depth the image is float. Throws CliError naming the file.
sim::Image ReadExr(const std::string &path, std::optional<sim::PixelDepth> depth);

// The same from an EXR held in memory; name stands for the file in messages.
sim::Image ReadExrBytes(const std::string &name, const void *data, std::size_t size,
                        std::optional<sim::PixelDepth> depth, const SizeLimit &limit = kPictureLimit);

// Writes R, G, B, A as 32-bit float with ZIP compression.
void WriteExr(const std::string &path, const sim::ImageView &image);

// The number of threads OpenEXR may use to compress and decompress.
void SetExrThreads(int threads);

}  // namespace tidalhalo::cli
