// Shading a render window of an OpenFX image: rows from the bottom, RGBA in
// any of the three depths, any row stride, any bounds. Each row of the
// window is walked from its left end on one thread, where the scatter noise
// reseeds, so the result depends neither on the threads nor on the tiles.
#pragma once

#include <cstdint>

#include "openfx/ofx_api.h"
#include "openfx/ofx_premultiplied.h"
#include "render/ring_render_info.h"

enum OfxPixelDepth : int { OFX_DEPTH_BYTE = 1, OFX_DEPTH_SHORT = 2, OFX_DEPTH_FLOAT = 4 };

// An image as the host hands it: data addresses pixel (bounds.x1, bounds.y1),
// the bottom-left one; a row lies row_bytes above the one below it.
struct OfxImageView {
    void *data;
    OfxRectI bounds;
    int row_bytes;
};

// One render: the record already moved to the window's top-left pixel, the
// window in pixel coordinates, the images, the depth of both and the
// source's premultiplication. A premultiplied source is shaded in straight
// colours; the output of a premultiplied or opaque source is premultiplied,
// that of a straight one straight.
struct OfxShadeJob {
    const RingRenderInfo *info;
    OfxRectI window;
    OfxImageView source;  // pixels outside its bounds read as transparent black
    OfxImageView output;  // must hold the whole window
    OfxPixelDepth depth;
    OfxAlphaState source_alpha = OfxAlphaState::STRAIGHT;
};

// Whether the bounds hold every pixel of the window.
bool CoversWindow(const OfxRectI &bounds, const OfxRectI &window) noexcept;

// Shades the window's rows first_row..end_row - 1, counted from its top.
void ShadeOfxRows(const OfxShadeJob &job, int32_t first_row, int32_t end_row) noexcept;

// A 16-bit channel back from the float pixel function: the nearest integer
// to value x 65535 (ties to even), within 0..65535; NaN gives 0.
uint16_t ShortFromFloat(float value) noexcept;

// How many bands a window of this size is worth, at most max_bands.
unsigned OfxBandCount(const OfxRectI &window, unsigned max_bands) noexcept;

// Shades the whole window in bands: through the host's multithread suite
// when it offers one, else on threads of our own; a band that no thread
// takes is shaded on the calling thread.
void ShadeOfxWindow(const OfxShadeJob &job, const OfxMultiThreadSuiteV1 *threads) noexcept;
