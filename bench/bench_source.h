// The benchmarks' source frame: fixed, with colours and alpha that vary
// from pixel to pixel, so no blend takes a shortcut that a real plate would
// not allow.
#pragma once

#include <cstdint>

#include "sim/image.h"

namespace tidalhalo::bench {

tidalhalo::sim::Image MakeSourceFrame(tidalhalo::sim::PixelDepth depth, int32_t width, int32_t height);

}  // namespace tidalhalo::bench
