// What a fuzzer asks of one of the tool's picture readers fed any bytes: a
// picture within the limit at the depth asked for, or a refusal with a
// CliError; never a crash, a read astray, a leak, an allocation past the
// limit or any other exception.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/cli_error.h"
#include "cli/size_limit.h"
#include "sim/image.h"

namespace tidalhalo::fuzz {

// Small, so that a picture the header makes up decodes quickly here.
constexpr cli::SizeLimit FUZZ_PICTURE_LIMIT{2048, int64_t{1} << 20};

[[noreturn]] inline void FailPictureCheck(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// read(data, size, depth, limit) is the reader under test. The last byte
// picks the depth asked for, as --depth does.
template <typename Read>
int CheckPictureReader(const uint8_t *data, size_t size, Read read) {
    std::optional<sim::PixelDepth> depth;
    switch (size == 0 ? 0 : data[size - 1] % 4) {
    case 1: depth = sim::PixelDepth::Eight; break;
    case 2: depth = sim::PixelDepth::Sixteen; break;
    case 3: depth = sim::PixelDepth::Float; break;
    default: break;
    }
    try {
        const sim::Image image = read(data, size, depth, FUZZ_PICTURE_LIMIT);
        const cli::SizeLimit &limit = FUZZ_PICTURE_LIMIT;
        if (image.Width() < 1 || image.Height() < 1 || image.Width() > limit.side || image.Height() > limit.side ||
            int64_t{image.Width()} * image.Height() > limit.pixels) {
            FailPictureCheck("a picture outside the limit was accepted");
        }
        if (depth && image.Depth() != *depth) {
            FailPictureCheck("the picture is not at the depth asked for");
        }
    } catch (const cli::CliError &) {
    }
    return 0;
}

}  // namespace tidalhalo::fuzz
