// The host's pixel iteration: rows shared out among threads, each row on
// one thread from its left end rightward.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

#include "host/host_interface.h"
#include "sim/image.h"

namespace tidalhalo::sim {

// 0 means all cores; never less than 1.
unsigned ResolveThreads(unsigned requested) noexcept;

// Calls row(y) for every y in [top, bottom) on up to threads threads and
// returns the first non-zero result; once one is seen no further row starts.
PF_Err ForEachRow(int32_t top, int32_t bottom, unsigned threads, const std::function<PF_Err(int32_t)> &row);

// Calls pix_fn for every pixel of area in dst with the src pixel at the same
// place (a zero pixel where src has none). area must lie inside dst.
template <class Pixel, class PixelFunc>
PF_Err IteratePixels(const ImageView &src, const ImageView &dst, PF_LRect area, void *refcon, PixelFunc pix_fn,
                     unsigned threads) {
    static const Pixel kNone{};
    return ForEachRow(area.top, area.bottom, threads, [&](int32_t y) -> PF_Err {
        // What every pixel of the row needs, held in locals so that the loop
        // keeps them in registers across the calls instead of reloading them.
        const PixelFunc function = pix_fn;
        void *const data = refcon;
        const int32_t right = area.right;
        // Row pointers once per row; past the source's right edge every
        // pixel gets the zero pixel.
        const bool src_row = src.data != nullptr && y < src.height;
        const int32_t src_end = src_row ? std::min(right, std::max(area.left, src.width)) : area.left;
        Pixel *out = dst.PixelAt<Pixel>(area.left, y);
        const Pixel *in = src_end > area.left ? src.PixelAt<Pixel>(area.left, y) : &kNone;
        int32_t x = area.left;
        for (; x < src_end; ++x, ++in, ++out) {
            const PF_Err err = function(data, x, y, in, out);
            if (err != PF_Err_NONE) {
                return err;
            }
        }
        for (; x < right; ++x, ++out) {
            const PF_Err err = function(data, x, y, &kNone, out);
            if (err != PF_Err_NONE) {
                return err;
            }
        }
        return PF_Err_NONE;
    });
}

}  // namespace tidalhalo::sim
