// Shading a whole RGBA8888 frame with the module's 8-bit pixel function, in
// bands of rows that may run on threads of the filter's own.
#pragma once

#include <cstdint>

#include "render/ring_render_info.h"

// How many threads a frame of this size gets: requested threads (0 for one
// per core), but no more than the frame has rows, and a thread only for
// every FILTER_PIXELS_PER_THREAD pixels, below which starting it costs more
// than it saves.
constexpr uint64_t FILTER_PIXELS_PER_THREAD = 1u << 16;
unsigned FilterThreadCount(uint32_t width, uint32_t height, unsigned requested) noexcept;

// The threads to use when the host's environment does not say otherwise:
// TIDALHALO_THREADS if it holds a whole number (0 for one per core), else 0.
unsigned FilterThreadsFromEnvironment() noexcept;

// Every pixel of a width x height frame, rows of width * 4 bytes in the order
// red, green, blue, alpha, straight alpha; in and out may be the same frame.
// Each row is walked from x = 0 on one thread, where the scatter noise
// reseeds, so the result does not depend on the number of threads.
void ShadeFilterFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in, uint8_t *out,
                      unsigned threads) noexcept;
