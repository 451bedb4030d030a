// The pixel functions written plainly, one formula after another, with no
// shortcut: what the optimised ShadePixel8, ShadePixel16 and ShadePixelFloat
// must equal byte for byte. Only tests and fuzzers use them.
#pragma once

#include <cstdint>

#include "host/host_types.h"

PF_Err ReferenceShadePixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept;
PF_Err ReferenceShadePixel16(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in, PF_Pixel16 *out) noexcept;
PF_Err ReferenceShadePixelFloat(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in,
                                PF_PixelFloat *out) noexcept;
