// Premultiplied pixels to straight ones and back. Most OpenFX hosts hand
// effects images whose colours are premultiplied by alpha and read the
// output the same way, while the effect's blend modes are defined on
// straight colours: a premultiplied source is made straight before it is
// shaded, and the shaded pixels are premultiplied again.
//
// The rules, for RGBA pixels of full intensity M (255, 65535 or 1.0):
// - 8-bit and 16-bit, through the nearest integer: straight colour
//   (c * M + a / 2) / a, at most M, and 0 where a is 0; premultiplied
//   colour (c * a + M / 2) / M. Alpha is kept.
// - Float, in single precision: alpha held within 0..1 (NaN as 0); colour
//   c / a, and 0 where a is 0; a quotient that overflows from a finite
//   colour held at the largest finite float of its sign; premultiplied
//   colour c * a. Alpha is kept.
// So a colour above its alpha comes out as a straight colour held at full
// intensity, as straight data would be clamped, and a finite pixel never
// becomes NaN. At full alpha both ways give the pixel back unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

// OpenFX's three premultiplication states of an image.
enum class OfxAlphaState : uint8_t { STRAIGHT, PREMULTIPLIED, OPAQUE };

// count RGBA pixels from premultiplied to straight; in and out may be the
// same pixels.
void UnpremultiplyPixels(const uint8_t *in, uint8_t *out, size_t count) noexcept;
void UnpremultiplyPixels(const uint16_t *in, uint16_t *out, size_t count) noexcept;
void UnpremultiplyPixels(const float *in, float *out, size_t count) noexcept;

// count RGBA pixels from straight to premultiplied; in and out may be the
// same pixels. With stream, 8-bit and float pixels are written straight to
// memory where out allows, for frames far larger than any cache, every
// store done when the call returns; 16-bit ones always through the cache.
void PremultiplyPixels(const uint8_t *in, uint8_t *out, size_t count, bool stream = false) noexcept;
void PremultiplyPixels(const uint16_t *in, uint16_t *out, size_t count, bool stream = false) noexcept;
void PremultiplyPixels(const float *in, float *out, size_t count, bool stream = false) noexcept;

// Whether every one of count RGBA pixels has full alpha (255, 65535 or
// exactly 1.0), where both conversions give the pixel back unchanged.
bool AllOpaquePixels(const uint8_t *pixels, size_t count) noexcept;
bool AllOpaquePixels(const uint16_t *pixels, size_t count) noexcept;
bool AllOpaquePixels(const float *pixels, size_t count) noexcept;
