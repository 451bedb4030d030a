// The per-frame render record: filled by the pre-render from the parameter
// values, moved into the input buffer's coordinates by the render, and read
// by every pixel function.
#pragma once

#include <cstdint>

#include "host/host_types.h"

struct RingRenderInfo {
    double x_scale;       // column distance to row distance
    double inner_offset;  // 1 - 1/expand, written by the render when expand > 0
    double center_x;      // layer pixels; after the render relative to the buffer, times x_scale
    double center_y;      // layer pixels; after the render relative to the buffer
    double radius;        // buffer rows
    double expand;        // fraction of the radius taken by the inner ramp
    double feather;       // buffer rows
    double opacity;       // 0..1
    double scatter;       // coverage per unit of noise
    int32_t scatter_seed; // base of every row's seed
    uint8_t smooth;       // non-zero applies the raised-cosine curve
    int32_t blend_mode;   // 1..5, the popup's value
    int32_t discard_count; // generator values dropped after each row's reseed
    int32_t row_offset;   // added to the row number before its seed is formed
    PF_PixelFloat color1_float;
    PF_PixelFloat color2_float;
};

// The values of the ten parameters as the pre-render checks them out.
struct RingParamValues {
    PF_Fixed center_x;
    PF_Fixed center_y;
    double radius;
    double feather;
    double expand;  // percent
    double opacity; // percent
    double scatter;
    PF_PixelFloat color1;
    PF_PixelFloat color2;
    int32_t smooth;
    int32_t blend_mode;
};

struct RingFrameScales {
    PF_RationalScale pixel_aspect_ratio;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
};

// A record as a new handle should hold it before the pre-render fills it:
// all zero, so that row y is seeded with y * y + scatter_seed and no
// generator value is dropped.
RingRenderInfo NewRingRenderInfo() noexcept;

// Sets every field except inner_offset, discard_count and row_offset.
void FillRingRenderInfo(RingRenderInfo &info, const RingParamValues &values, const RingFrameScales &scales) noexcept;

// Moves the centre into the coordinates of a buffer whose first column and
// row lie at (origin_x, origin_y) of the layer, completes the inner ramp and
// anchors the scatter noise to layer rows and columns. The last write before
// a frame is shaded, so it also begins the frame for the pixel functions.
void AdjustRingRenderInfo(RingRenderInfo &info, int32_t origin_x, int32_t origin_y) noexcept;

// s * s * 256 truncated toward zero, saturated to the 32-bit range; NaN gives 0.
int32_t ScatterSeedFromValue(double scatter_value) noexcept;
