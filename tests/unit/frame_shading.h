// Frames shaded as the host's iteration shades them, for the tests that
// compare the optimised pixel functions with the plain formulas.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "render/ring_render_info.h"
#include "render/scatter_random.h"

// Shades a width x height frame row by row from column 0, from a known
// generator state, with the destination prefilled: unknown modes leave it
// as it was.
template <typename Pixel, typename Shade>
std::vector<Pixel> ShadeFrame(RingRenderInfo &info, const std::vector<Pixel> &source, int32_t width, int32_t height,
                              Shade shade) {
    std::vector<Pixel> out(source.size());
    std::memset(out.data(), 0x5A, out.size() * sizeof(Pixel));
    ScatterSeed(77);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const auto at = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
            shade(&info, x, y, &source[at], &out[at]);
        }
    }
    return out;
}
