// What a frame's record implies for all of its pixels, worked out once per
// frame and thread, and for each row once per row, instead of once per
// pixel: where the coverage is certainly 0, and what such a pixel gets.
#pragma once

#include <cstdint>

#include "host/host_types.h"
#include "render/ring_render_info.h"
#include "render/ring_sample.h"

// What a pixel the ring cannot reach gets, by depth: for each depth the
// cheapest form that gives the blend's bytes at that pixel's coverage.
enum class RingUncovered : uint8_t {
    WRITE_NOTHING,    // an unknown blend mode: the destination is left alone
    CONSTANT,         // the same pixel everywhere, whatever the source
    KEEP_COLOR,       // the source's colour, its alpha round-tripped through a / FULL
    KEEP_CLAMPED,     // the same with each colour channel clamped at FULL (16-bit add)
    NORMAL_FLOAT,     // float normal mode with a zero weight
    BLEND,            // the blend itself, with the plan's zero sample
};

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
    // Whether every pixel draws a generator value.
    bool scatter;
    // The squared distance, as RingDistanceSquared forms it, falls and then
    // rises along every row, turning at column dx_turn: it is nonincreasing
    // on every column below it and nondecreasing from it on. Only when the
    // record's numbers make that certain (x_scale positive and finite,
    // centre finite); otherwise rows are checked pixel by pixel.
    bool rows_have_spans;
    int64_t dx_turn;
    RingUncovered uncovered8;
    RingUncovered uncovered16;
    RingUncovered uncovered_float;
    // The pixel that CONSTANT writes.
    PF_Pixel constant8;
    PF_Pixel16 constant16;
    PF_PixelFloat constant_float;
};

// The columns of one row that the ring may reach: those in [first, first +
// count) outside [hole_first, hole_first + hole_count). Every other column
// lies below inner_sq or above outer_sq, as its squared distance says. With
// rows_have_spans the columns inside are exactly the others; without it,
// the span holds every column, and each gets the full computation.
struct RingRowSpan {
    int64_t first;
    uint64_t count;
    int64_t hole_first;
    uint64_t hole_count;
};

RingPlan MakeRingPlan(const RingRenderInfo &info) noexcept;

RingRowSpan MakeRingRowSpan(const RingRenderInfo &info, const RingPlan &plan, int32_t y) noexcept;

// The first edge of the span or of its hole past column, if one comes
// before bound; else bound. Between two edges a row is all covered or all not.
inline int64_t NextRingRowSpanEdge(const RingRowSpan &span, int64_t column, int64_t bound) noexcept {
    const auto limit = [column, &bound](int64_t edge) {
        if (edge > column && edge < bound) {
            bound = edge;
        }
    };
    if (span.count != 0) {
        limit(span.first);
        limit(span.first + static_cast<int64_t>(span.count));
    }
    if (span.hole_count != 0) {
        limit(span.hole_first);
        limit(span.hole_first + static_cast<int64_t>(span.hole_count));
    }
    return bound;
}

// Whether column x of the span's row may be covered.
inline bool InRingRowSpan(const RingRowSpan &span, int32_t x) noexcept {
    const auto column = static_cast<uint64_t>(static_cast<int64_t>(x));
    return column - static_cast<uint64_t>(span.first) < span.count &&
           column - static_cast<uint64_t>(span.hole_first) >= span.hole_count;
}
