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

// How the routines below write the pixels that come out as they went in:
// through the cache, or straight to memory, which spares reading each line
// of the destination before it is overwritten but leaves none of it in the
// cache; for frames far larger than any cache. The bytes are the same, and
// every store is done when a call returns.
enum class RowWrites : uint8_t { CACHED, STREAMED };

// Frames whose source and output together take at least this many bytes,
// more than a processor's last cache holds, are written straight to memory.
inline constexpr uint64_t ROW_STREAMED_FRAME_BYTES = uint64_t{48} << 20;

// How to write a frame of this many pixels of pixel_bytes each, read from one image and written to another.
inline RowWrites RowWritesFor(uint64_t pixels, uint64_t pixel_bytes) noexcept {
    return pixels >= ROW_STREAMED_FRAME_BYTES / (2 * pixel_bytes) ? RowWrites::STREAMED : RowWrites::CACHED;
}

// The same for pixels kept red, green, blue, alpha, as frei0r and OpenFX
// keep them: four bytes, or four floats, a pixel, with no alignment asked.
// Each pixel gives what ShadeRow8 or ShadeRowFloat gives its channels.
void ShadeRowRgba8(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const uint8_t *in,
                   uint8_t *out, RowWrites writes = RowWrites::CACHED) noexcept;
void ShadeRowRgbaFloat(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const float *in,
                       float *out, RowWrites writes = RowWrites::CACHED) noexcept;

// What count red-green-blue-alpha 8-bit pixels the ring cannot reach become
// in modes normal and add: the colour kept, the alpha through a / 255 and
// back. in and out may be the same pixels but must not otherwise overlap.
void KeepRgba8Colors(const uint8_t *in, uint8_t *out, size_t count, RowWrites writes = RowWrites::CACHED) noexcept;

// ShadeRowRgba8 that also writes to coverage, in turn, the coverage
// (RingCoverage's f) of each pixel the row plan says the ring may reach:
// for a row from column 0 on, those of RingReachedSpans. Returns how many;
// an unknown blend mode shades nothing and writes none.
size_t ShadeRowRgba8Keeping(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const uint8_t *in,
                            uint8_t *out, double *coverage, RowWrites writes = RowWrites::CACHED) noexcept;
