// The three pixel functions that the host's iteration calls once per output
// pixel: coverage and ring colour first, then the blend mode decides how the
// ring meets the source pixel. refcon is the frame's RingRenderInfo.
#pragma once

#include <cstdint>

#include "host/host_types.h"
#include "render/blend_math.h"

PF_Err ShadePixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept;
PF_Err ShadePixel16(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in, PF_Pixel16 *out) noexcept;
PF_Err ShadePixelFloat(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in, PF_PixelFloat *out) noexcept;
