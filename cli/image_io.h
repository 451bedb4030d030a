// Reading and writing pictures in the host's layout: PNG and OpenEXR. The
// input format is recognised by the file's contents, the output format by
// the file name's extension.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/png_io.h"
#include "sim/image.h"

namespace tidalhalo::cli {

enum class FileFormat { Png, Exr };

// The output format for a file name (.png or .exr, any case); throws
// CliError naming the file for any other extension.
FileFormat OutputFormatOf(const std::string &path);

// The file's natural depth is used unless a depth is wanted. Throws
// CliError naming the file when it cannot be read or is not a picture.
sim::Image ReadImage(const std::string &path, std::optional<sim::PixelDepth> depth);

// The depth a file gives when none is wanted, without decoding its pixels.
sim::PixelDepth NaturalDepthOf(const std::string &path);

// Writes the whole file under a temporary name and renames it into place,
// so an existing file is replaced only by a complete one.
// PNG files are written as png says.
void WriteImage(const std::string &path, const sim::ImageView &image, const PngWriting &png = {});

// WriteImage in two steps, so that several frames may be encoded at once
// and still be written in order: EncodeImage gives the file's bytes for a
// PNG (nothing for an EXR, which its library writes), CommitImage writes
// the file from them, or from the image when there are none.
std::vector<uint8_t> EncodeImage(const std::string &path, const sim::ImageView &image, const PngWriting &png);
void CommitImage(const std::string &path, const sim::ImageView &image, const std::vector<uint8_t> &encoded);

}  // namespace tidalhalo::cli
