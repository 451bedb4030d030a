// From what an OpenFX host hands a render (parameter values in canonical
// coordinates, render scale, pixel aspect, the source's region of
// definition) to the render record the module's pre-render would fill.
#pragma once

#include <cstdint>

#include "openfx/ofx_api.h"
#include "render/ring_render_info.h"

// The parameters as the host holds them at one time: canonical centre,
// colours 0..1, the blend mode as the choice's index 0..4.
struct OfxRingValues {
    double center_x, center_y;
    double radius, feather, expand, opacity, scatter;
    double color1[3];
    double color2[3];
    int smooth;
    int blend_index;
};

// Each value within its parameter's range; NaN gives the parameter's
// default, and so does a centre or colour channel that is not finite; a
// blend index outside 0..4 gives "none". The centre's default is the middle
// of the given region of definition.
OfxRingValues SanitizedRingValues(const OfxRingValues &values, const OfxRectD &source_rod) noexcept;

// A positive finite ratio as the host's rational scale: exact when the value
// is a fraction with a denominator up to 2^20, the nearest such otherwise.
PF_RationalScale RationalFromDouble(double value) noexcept;

// The record as the module's pre-render fills it for a layer that is the
// source's region of definition (canonical), with render scale (sx, sy) and
// pixel aspect par, all positive and finite: the centre becomes
// lround((cx - x1) * sx / par * 65536), lround((y2 - cy) * sy * 65536)
// in 16.16 pixels of the current resolution, and each colour channel c the
// float c.
RingRenderInfo OfxRingRenderInfo(const OfxRingValues &values, const OfxRectD &source_rod, double sx, double sy,
                                 double par) noexcept;

// The layer's first column and its top row (exclusive) in the pixel
// coordinates of the current resolution, from the canonical region of
// definition.
struct OfxLayerOrigin {
    int32_t left;
    int32_t top;  // one above the layer's top row: row y is layer row top - 1 - y
};
OfxLayerOrigin LayerOrigin(const OfxRectD &source_rod, double sx, double sy, double par) noexcept;

// A double rounded down or up to an int, saturated; NaN gives 0.
int32_t FloorToInt32(double value) noexcept;
int32_t CeilToInt32(double value) noexcept;
