// Shading a stretch of a row at once, for the faces that own their loop:
// what the pixel functions give those pixels one call at a time, byte for
// byte, without a call per pixel. Columns the ring cannot reach get the
// blend's coverage-0 result by the cheapest form the row plan names; the
// rest take their coverage eight pixels ahead.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_types.h"
#include "render/ring_render_info.h"

// Shades count pixels of row y from column x on, in[k] into out[k], as
// ShadePixel8(&info, x + k, y, in + k, out + k) called for k = 0, 1, ... in
// turn on the calling thread would, the thread's scatter generator included:
// column 0 reseeds it, every other column goes on from where the thread
// left it. So a row may be shaded in several stretches, left to right. in
// and out may be the same pixels but must not otherwise overlap; columns
// past the 32-bit range are not shaded.
void ShadeRow8(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel *in,
               PF_Pixel *out) noexcept;
void ShadeRow16(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel16 *in,
                PF_Pixel16 *out) noexcept;
void ShadeRowFloat(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_PixelFloat *in,
                   PF_PixelFloat *out) noexcept;

// The same for pixels kept red, green, blue, alpha, as frei0r and OpenFX
// keep them: four bytes, or four floats, a pixel, with no alignment asked.
// Each pixel gives what ShadeRow8 or ShadeRowFloat gives its channels.
void ShadeRowRgba8(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const uint8_t *in,
                   uint8_t *out) noexcept;
void ShadeRowRgbaFloat(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const float *in,
                       float *out) noexcept;

// What count red-green-blue-alpha 8-bit pixels the ring cannot reach become
// in modes normal and add: the colour kept, the alpha through a / 255 and
// back. in and out may be the same pixels but must not otherwise overlap.
void KeepRgba8Colors(const uint8_t *in, uint8_t *out, size_t count) noexcept;

// ShadeRowRgba8 that also writes to coverage, in turn, the coverage
// (RingCoverage's f) of each pixel the row plan says the ring may reach:
// for a row from column 0 on, those of RingReachedSpans. Returns how many;
// an unknown blend mode shades nothing and writes none.
size_t ShadeRowRgba8Keeping(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const uint8_t *in,
                            uint8_t *out, double *coverage) noexcept;
