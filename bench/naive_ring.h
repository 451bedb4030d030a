// The yardstick: a ring drawn the plain way, one pixel per call through a
// function pointer as the host's iteration calls it. One double square root
// per pixel, a linear ramp, a clamp, a cosine only inside the ramp and an
// 8-bit normal blend; optionally one random step per pixel.
#pragma once

#include <cstdint>

#include "host/host_types.h"

namespace tidalhalo::bench {

struct NaiveRing {
    double center_x = 0.0;
    double center_y = 0.0;
    double radius = 0.0;
    double feather = 1.0;
    double inner_width = 1.0;  // the inner ramp rises over this distance up to the radius
    double scatter = 0.0;      // 0: no random step
    bool smooth = false;
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
};

// The least a pixel function can do: copy the source pixel. Timed through
// the same iteration, it is the floor under any per-pixel call.
PF_Err CopyPixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept;

// refcon is a NaiveRing.
PF_Err NaiveRingPixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept;

// The same ring over rows first_row..end_row - 1 of an RGBA8888 frame, each
// row a row_bytes step from the last, computed in the loop with no call: the
// yardstick for a face that owns its loop.
void NaiveRingRows(const NaiveRing &ring, const unsigned char *in, unsigned char *out, int64_t row_bytes,
                   int32_t width, int32_t first_row, int32_t end_row) noexcept;

}  // namespace tidalhalo::bench
