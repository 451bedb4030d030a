// The three pixel functions that the host's iteration calls once per output
// pixel: coverage and ring colour first, then the blend mode decides how the
// ring meets the source pixel. refcon is the frame's RingRenderInfo.
#pragma once

#include <cstdint>

#include "host/host_types.h"

PF_Err ShadePixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept;
PF_Err ShadePixel16(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in, PF_Pixel16 *out) noexcept;
PF_Err ShadePixelFloat(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in, PF_PixelFloat *out) noexcept;

// v truncated toward zero to 64 bits; a NaN or a value beyond the 64-bit
// range gives 0x8000000000000000, as x86-64's truncating conversion does.
int64_t TruncateToInt64(double v) noexcept;
