// The ring kept from one frame to the next. For fixed values every frame has
// the same ring, so an instance keeps the coverage of the pixels the ring
// can reach and blends it with each new input; a pixel the ring cannot
// reach needs no coverage at all. Any change of the values the coverage
// depends on, or of the frame's size, computes it anew; the colours and the
// blend mode are applied afresh every frame, so changing them costs nothing.
// Whether kept or not, only the pixels the ring reaches get a coverage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/ring_reach.h"
#include "render/ring_render_info.h"

// What an instance keeps stays within this, besides 32 bytes a row. The
// coverage takes 8 bytes a reached pixel, so any ring on a 3840 x 2160
// frame fits; a larger one is shaded pixel by pixel each frame, as without
// the cache. In mode normal the blend over an opaque pixel is also kept,
// 16 bytes more a reached pixel, while both together stay within the limit.
constexpr std::size_t FILTER_CACHE_LIMIT_BYTES = std::size_t{128} << 20;

struct FilterCachedRow {
    RingRowSpans spans;
    std::size_t first;  // index of the row's first reached pixel in the kept coverage
};

// Mode normal over a source of alpha 255 at one reached pixel: the output
// channel k is keep * source_k + ring[k], truncated, and its alpha 255.
// keep is negative where that does not hold and the full blend is needed.
struct FilterOpaqueNormal {
    float keep;
    float ring[3];
};

class FilterRingCache {
public:
    // Shades every pixel of a width x height RGBA8888 frame, as
    // ShadeFilterFrame does, byte for byte; in and out may be the same frame.
    // Returns whether the kept coverage served (true) or was computed. A
    // ring is kept from the second frame in a row that has it.
    bool ShadeFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in, uint8_t *out,
                    unsigned bands) noexcept;

    // What the instance holds on the heap for the cache.
    std::size_t HeldBytes() const noexcept;

private:
    bool Prepare(const RingRenderInfo &info, uint32_t width, uint32_t height) noexcept;

    bool valid_ = false;
    RingRenderInfo key_{};   // the record the kept coverage was computed for
    RingRenderInfo last_{};  // the last frame's record
    uint32_t width_ = 0;     // the last frame's size, which the kept coverage has when valid
    uint32_t height_ = 0;
    std::vector<FilterCachedRow> rows_;
    std::vector<double> coverage_;  // the coverage times the opacity, row after row
    // Kept for the coverage above and these colours, when valid.
    bool opaque_valid_ = false;
    PF_PixelFloat opaque_color1_{};
    PF_PixelFloat opaque_color2_{};
    std::vector<FilterOpaqueNormal> opaque_;
};
