// The largest picture the tool reads or makes, checked from a file's header
// before any memory is taken for its pixels.
#pragma once

#include <cstdint>
#include <string>

namespace tidalhalo::cli {

struct SizeLimit {
    int64_t side;    // pixels on either side
    int64_t pixels;  // width times height
};

// The side limit keeps every pixel coordinate within the host's 16.16
// fixed-point points; the pixel limit bounds memory, since a float render
// holds its source and its destination at 16 bytes a pixel: 8 GiB at 2^28
// pixels (16384 x 16384), before any buffer the effect asks the host for.
inline constexpr SizeLimit kPictureLimit{32767, int64_t{1} << 28};

// Throws CliError naming the file when a width x height picture is empty or
// beyond the limit.
void CheckPictureSize(const std::string &name, int64_t width, int64_t height,
                      const SizeLimit &limit = kPictureLimit);

}  // namespace tidalhalo::cli
