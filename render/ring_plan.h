// What a frame's record implies for all of its pixels, worked out once per
// row instead of once per pixel: the distances within which the coverage is
// certainly 0, and what such a pixel gets.
#pragma once

#include "host/host_types.h"
#include "render/ring_render_info.h"
#include "render/ring_sample.h"

struct RingPlan {
    // A pixel whose squared distance lies below inner_sq or above outer_sq
    // has ramp plus the largest possible noise below 0, so its coverage
    // clamps to 0 before opacity: no square root, division or cosine is
    // needed. NaN bounds never hold.
    double inner_sq;
    double outer_sq;
    // Such a pixel's coverage and ring colour, exactly as the full
    // computation gives them (0 times the opacity, colour 2 mixed by that).
    RingSample zero;
    // zero.f is a zero and the colour finite and moderate, so that the blend
    // modes reduce to simple forms of the source pixel.
    bool zero_is_plain;
    // Mode "none" where the coverage is 0: the same pixel everywhere.
    PF_Pixel none8;
    PF_Pixel16 none16;
    PF_PixelFloat none_float;
};

RingPlan MakeRingPlan(const RingRenderInfo &info) noexcept;
