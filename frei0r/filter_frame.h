// Shading a whole RGBA8888 frame a row at a time, as the module's 8-bit
// pixel function shades each pixel, in bands of rows that may run on
// threads of the filter's own.
#pragma once

#include <cstdint>

#include "render/ring_render_info.h"

// How many threads a frame of this size gets: requested threads (0 for one
// per core), but no more than the frame has rows, and a thread only for
// every FILTER_PIXELS_PER_THREAD pixels, below which starting it costs more
// than it saves.
constexpr uint64_t FILTER_PIXELS_PER_THREAD = 1u << 16;
unsigned FilterThreadCount(uint32_t width, uint32_t height, unsigned requested) noexcept;

// A whole number from the host's environment variable name, or fallback
// when it is unset or holds anything else.
unsigned FilterNumberFromEnvironment(const char *name, unsigned fallback) noexcept;

// Calls shade(context, first_row, end_row) for bands that together cover
// rows 0..height-1, one band a thread, the calling thread taking the first;
// a band whose thread cannot be started runs on the calling thread too.
// Every band has finished when it returns.
using FilterBandFunction = void (*)(void *context, uint32_t first_row, uint32_t end_row) noexcept;
void RunFilterBands(uint32_t height, unsigned bands, FilterBandFunction shade, void *context) noexcept;

// Every pixel of a width x height frame, rows of width * 4 bytes in the order
// red, green, blue, alpha, straight alpha; in and out may be the same frame.
// Each row is walked from x = 0 on one thread, where the scatter noise
// reseeds, so the result does not depend on the number of bands.
void ShadeFilterFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in, uint8_t *out,
                      unsigned bands) noexcept;
