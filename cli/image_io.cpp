#include "cli/image_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <sys/stat.h>

#include "cli/atomic_file.h"
#include "cli/cli_error.h"
#include "cli/exr_io.h"
#include "cli/png_io.h"

namespace tidalhalo::cli {
namespace {

constexpr std::array<unsigned char, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::array<unsigned char, 4> kExrMagic = {0x76, 0x2f, 0x31, 0x01};

// Recognises the format from the first bytes, with a clear message for a
// file that cannot be opened or is something else.
FileFormat InputFormatOf(const std::string &path) {
    // Checked before opening: opening a pipe would wait for a writer.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        throw CliError(path, std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        throw CliError(path, "is a directory, not a picture");
    }
    if (!S_ISREG(info.st_mode)) {
        throw CliError(path, "is not a regular file");
    }
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw CliError(path, std::strerror(errno));
    }
    std::array<unsigned char, 8> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), file);
    const bool read_error = std::ferror(file) != 0;
    std::fclose(file);
    if (read_error) {
        throw CliError(path, "cannot be read");
    }
    if (got == 0) {
        throw CliError(path, "is empty, not a picture");
    }
    if (got >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), head.begin())) {
        return FileFormat::Png;
    }
    if (got >= kExrMagic.size() && std::equal(kExrMagic.begin(), kExrMagic.end(), head.begin())) {
        return FileFormat::Exr;
    }
    throw CliError(path, "not a PNG or OpenEXR file");
}

void WriteFileBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw CliError(path, std::strerror(errno));
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        throw CliError(path, std::strerror(errno));
    }
}

}  // namespace

FileFormat OutputFormatOf(const std::string &path) {
    const std::size_t dot = path.find_last_of('.');
    std::string extension = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "png") {
        return FileFormat::Png;
    }
    if (extension == "exr") {
        return FileFormat::Exr;
    }
    throw CliError(path, "unknown output format (use a .png or .exr name)");
}

sim::Image ReadImage(const std::string &path, std::optional<sim::PixelDepth> depth) {
    if (InputFormatOf(path) == FileFormat::Png) {
        return ReadPng(path, depth);
    }
    return ReadExr(path, depth);
}

sim::PixelDepth NaturalDepthOf(const std::string &path) {
    if (InputFormatOf(path) == FileFormat::Exr) {
        return sim::PixelDepth::Float;
    }
    // The PNG header's bit depth is byte 24: signature, IHDR length and
    // type, width and height come first.
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw CliError(path, std::strerror(errno));
    }
    std::array<unsigned char, 25> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), file);
    std::fclose(file);
    if (got < head.size()) {
        throw CliError(path, "PNG header is truncated");
    }
    return head[24] == 16 ? sim::PixelDepth::Sixteen : sim::PixelDepth::Eight;
}

void WriteImage(const std::string &path, const sim::ImageView &image, const PngWriting &png) {
    CommitImage(path, image, EncodeImage(path, image, png));
}

std::vector<uint8_t> EncodeImage(const std::string &path, const sim::ImageView &image, const PngWriting &png) {
    if (OutputFormatOf(path) == FileFormat::Exr) {
        return {};
    }
    try {
        return EncodePngImage(image, png);
    } catch (const std::runtime_error &e) {
        throw CliError(path, std::string("cannot write: ") + e.what());
    }
}

void CommitImage(const std::string &path, const sim::ImageView &image, const std::vector<uint8_t> &encoded) {
    AtomicFile file(path);
    try {
        if (OutputFormatOf(path) == FileFormat::Png) {
            WriteFileBytes(file.TempPath(), encoded);
        } else {
            WriteExr(file.TempPath(), image);
        }
    } catch (const CliError &e) {
        // The writers name the temporary file; the user knows the target.
        throw CliError(path, e.Reason());
    }
    file.Commit();
}

}  // namespace tidalhalo::cli
