// The ring over an 8-bit RGBA picture in the browser: the render record
// filled from the tool's option values as the module's pre-render and render
// fill it under our host, and the frame shaded a row at a time with the bytes
// of the module's own 8-bit pixel function, so that a frame equals
// `tidalhalo render --depth 8`.
#pragma once

#include <cstdint>

#include "render/ring_render_info.h"

// The values in the tool's units, in this order in the page's array.
enum WebValueIndex : int {
    WEB_CENTER_X = 0,  // pixels of the full-size picture
    WEB_CENTER_Y = 1,
    WEB_RADIUS = 2,    // pixels
    WEB_FEATHER = 3,   // pixels
    WEB_EXPAND = 4,    // percent
    WEB_OPACITY = 5,   // percent
    WEB_SCATTER = 6,
    WEB_COLOR1 = 7,    // 0xRRGGBB
    WEB_COLOR2 = 8,
    WEB_SMOOTH = 9,    // 0 or 1
    WEB_BLEND = 10,    // the popup's value, 1..5
    WEB_VALUE_COUNT = 11
};

// The record for a picture shaded at 1/downsample of its full size in both
// directions, as our host hands the values over: the centre scaled and
// rounded to 16.16 fixed point, each colour's channels divided by 255 in
// single precision, the sliders as they stand. With first_row above 0 it is
// the record for a buffer of the picture's rows from first_row on, which
// then gets the same bytes as those rows of the whole picture.
RingRenderInfo WebRenderInfo(const double (&values)[WEB_VALUE_COUNT], uint32_t downsample,
                             int32_t first_row = 0) noexcept;

// Any record the pre-render and render can make, from 25 numbers: the
// centre's two 16.16 fixed-point values, radius, feather, expand, opacity,
// scatter, colour 1 and colour 2 as alpha, red, green, blue in 0..1, smooth,
// blend mode, the pixel aspect ratio, the horizontal and the vertical
// downsample factor (each a numerator and a denominator), and the buffer's
// origin x and y. Whole numbers out of their type's range are held at its ends.
inline constexpr int WEB_RECORD_NUMBERS = 25;
RingRenderInfo WebRecordFromNumbers(const double (&numbers)[WEB_RECORD_NUMBERS]) noexcept;

// Every pixel of a width x height picture, rows of width * 4 bytes in the
// order red, green, blue, alpha, straight alpha; in and out may be the same.
// Each row is walked from x = 0, as the host's iteration walks it.
void ShadeWebFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in,
                   uint8_t *out) noexcept;
