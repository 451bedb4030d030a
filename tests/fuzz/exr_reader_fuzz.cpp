// The tool's EXR reader fed any bytes: it must give a picture within the limit
// at the depth asked for, or refuse with a CliError; never crash, read
// astray, leak, allocate past the limit or throw anything else.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/cli_error.h"
#include "cli/exr_io.h"

namespace {

namespace cli = tidalhalo::cli;
namespace sim = tidalhalo::sim;

// Small, so that a picture the header makes up decodes quickly here.
constexpr cli::SizeLimit kLimit{2048, int64_t{1} << 20};

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The last byte picks the depth asked for, as --depth does.
std::optional<sim::PixelDepth> DepthFor(const uint8_t *data, size_t size) {
    switch (size == 0 ? 0 : data[size - 1] % 4) {
    case 1: return sim::PixelDepth::Eight;
    case 2: return sim::PixelDepth::Sixteen;
    case 3: return sim::PixelDepth::Float;
    default: return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::optional<sim::PixelDepth> depth = DepthFor(data, size);
    try {
        const sim::Image image = cli::ReadExrBytes("input.exr", data, size, depth, kLimit);
        if (image.Width() < 1 || image.Height() < 1 || image.Width() > kLimit.side ||
            image.Height() > kLimit.side || int64_t{image.Width()} * image.Height() > kLimit.pixels) {
            Fail("a picture outside the limit was accepted");
        }
        if (depth && image.Depth() != *depth) {
            Fail("the picture is not at the depth asked for");
        }
    } catch (const cli::CliError &) {
    }
    return 0;
}
