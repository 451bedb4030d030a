// The coverage arithmetic of several pixels at once, written once for any
// type of lanes (two doubles a register in SSE2, four in AVX2), so that
// both forms do the same operations in the same order on every lane.
// Everything here has internal linkage: the one source compiled for AVX2
// includes it too, and the linker must never take that source's copy of a
// function for the others'.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/coverage_ahead.h"
#include "render/ring_cosine.h"

namespace {

using cosine_arithmetic::DoubleDoubleOf;

// Table entries, one per lane, field by field.
template <typename L>
struct CosTableEntryLanes {
    L cos_hi, cos_lo, sin_hi, sin_lo, sin_split_hi, sin_split_lo;
};

template <typename L>
CosTableEntryLanes<L> EntriesOf(const size_t *indices) noexcept {
    static_assert(offsetof(CosTableEntry, cos_lo) == offsetof(CosTableEntry, cos_hi) + sizeof(double) &&
                  offsetof(CosTableEntry, sin_lo) == offsetof(CosTableEntry, sin_hi) + sizeof(double) &&
                  offsetof(CosTableEntry, sin_split_lo) == offsetof(CosTableEntry, sin_split_hi) + sizeof(double));
    constexpr auto lanes = static_cast<size_t>(L::COUNT);
    // Each field's two halves lie side by side: one load gives both for a lane.
    const double *places[lanes];
    CosTableEntryLanes<L> fields;
    const auto load = [&](double CosTableEntry::*hi, L &first, L &second) {
        for (size_t k = 0; k < lanes; ++k) {
            places[k] = &(COS_TABLE[indices[k]].*hi);
        }
        LoadPairs(places, first, second);
    };
    load(&CosTableEntry::cos_hi, fields.cos_hi, fields.cos_lo);
    load(&CosTableEntry::sin_hi, fields.sin_hi, fields.sin_lo);
    load(&CosTableEntry::sin_split_hi, fields.sin_split_hi, fields.sin_split_lo);
    return fields;
}

// CorrectlyRoundedCos of each lane of x: the quick path on every lane at
// once; a lane whose rounding test fails, or that lies outside the quick
// path's range, goes to the single cosine, which hands it on to the
// precise path. Lanes outside needed are not looked at.
template <typename L>
L CosLanes(L x, int needed) noexcept {
    constexpr auto lanes = static_cast<size_t>(L::COUNT);
    const L ax = Magnitude(x);
    const int in_range = Less(ax, L(COS_QUICK_LIMIT)).Lanes();
    const L shifted = ax * COS_TABLE_STEPS + 0x1.8p52;
    uint64_t bits[lanes];
    StoreBits(shifted, bits);
    size_t indices[lanes];
    for (size_t k = 0; k < lanes; ++k) {
        // Out of range the index is meaningless; any entry will do.
        indices[k] = (in_range >> k & 1) != 0 ? static_cast<size_t>(bits[k] & 0xFFFFu) : 0;
    }
    const DoubleDoubleOf<L> candidates = QuickCosCandidates(ax, shifted, EntriesOf<L>(indices));
    const int decided = Equal(candidates.hi, candidates.lo).Lanes() & in_range;
    const int undecided = needed & ~decided;
    if (undecided == 0) [[likely]] {
        return candidates.hi;
    }
    double values[lanes];
    double arguments[lanes];
    candidates.hi.Store(values);
    x.Store(arguments);
    for (size_t k = 0; k < lanes; ++k) {
        if ((undecided >> k & 1) != 0) {
            values[k] = RingCos(arguments[k]);
        }
    }
    return L::Of(values);
}

// What the pixels of one row share, read from the record once instead of
// once per pixel; each value goes to every lane where it is used.
struct RowLanes {
    double x_scale, center_x, dy_squared, radius, feather, inner_width, inner_offset, opacity;
    bool outer_ramp, inner_ramp, scatter, smooth;

    RowLanes(const RingRenderInfo &info, int32_t y) noexcept
        : x_scale(info.x_scale), center_x(info.center_x), dy_squared(0.0), radius(info.radius),
          feather(info.feather), inner_width(info.expand * info.radius), inner_offset(info.inner_offset),
          opacity(info.opacity), outer_ramp(info.feather > 0.0),
          inner_ramp(info.expand > 0.0), scatter(info.scatter > 0.0), smooth(info.smooth != 0) {
        const double dy = static_cast<double>(y) - info.center_y;
        dy_squared = dy * dy;
    }
};

// RingCoverageAt's ramp at the lanes' columns, noise added, clamped to
// 0..1 (below 0 and NaN to +0), each lane doing what its steps do,
// branches turned into selections.
template <typename L>
L RampLanes(const RowLanes &row, L columns, const double *noise) noexcept {
    const L dx = columns * row.x_scale - row.center_x;
    const L d = Sqrt(dx * dx + row.dy_squared);
    // Outside the radius the outer ramp, inside it the inner one, each -2
    // where it is disabled; a NaN distance is in neither. A ramp no lane
    // lies on is not worked out: most turns lie on one.
    L f(-2.0);
    const auto outside = GreaterEqual(d, L(row.radius));
    const auto inside = Less(d, L(row.radius));
    if (row.outer_ramp && outside.Lanes() != 0) {
        f = Select(outside, 1.0 - (d - row.radius) / row.feather, f);
    }
    if (row.inner_ramp && inside.Lanes() != 0) {
        f = Select(inside, d / row.inner_width + row.inner_offset, f);
    }
    if (row.scatter) {
        f = f + L::Of(noise);
    }
    f = KeepWhere(GreaterEqual(f, L(0.0)), f);
    return Select(Greater(f, L(1.0)), L(1.0), f);
}

// RingSmooth of each lane of f, which lies in 0..1 as RampLanes leaves
// it: a lane strictly inside takes the cosine, 1 stays 1 and a zero of
// either sign gives +0, its magnitude; where no lane is inside, as on a
// plateau, no cosine is worked out at all.
template <typename L>
L SmoothLanes(L f) noexcept {
    const auto inside = Less(f, L(1.0)) & Greater(f, L(0.0));
    const int needed = inside.Lanes();
    const L ends = Magnitude(f);
    return needed != 0 ? Select(inside, (1.0 - CosLanes(RING_PI * f, needed)) * 0.5, ends) : ends;
}

// A run's coverage in stages, each a loop over the run, a few lanes a turn.
// One pixel's steps form a long chain, each waiting on the last; the turns
// of a stage do not wait on each other, so the processor works on several
// at once, where eight pixels in one pass leave it waiting.

// The run's ramps, count a multiple of the lanes.
template <typename L>
void RunRamps(const RowLanes &row, int32_t x, const double *noise, uint32_t count, double *f) noexcept {
    constexpr auto lanes = static_cast<uint32_t>(L::COUNT);
    for (uint32_t k = 0; k < count; k += lanes) {
        // Exact: integers far below 2^53, and no 32-bit sum that could overflow.
        double columns[lanes];
        for (uint32_t j = 0; j < lanes; ++j) {
            columns[j] = static_cast<double>(x) + (k + j);
        }
        RampLanes(row, L::Of(columns), noise + k).Store(f + k);
    }
}

template <typename L>
void RunSmooth(double *f, uint32_t count) noexcept {
    for (uint32_t k = 0; k < count; k += static_cast<uint32_t>(L::COUNT)) {
        SmoothLanes(L::Of(f + k)).Store(f + k);
    }
}

// A run's coverage from its pixels' noise: padded, a multiple of the
// lanes, values to f, each the ramp's, smoothed, times the opacity.
template <typename RunLanes>
void RunStages(const RingRenderInfo &info, int32_t x, int32_t y, const double *noise, uint32_t padded,
               double *f) noexcept {
    const RowLanes row(info, y);
    RunRamps<RunLanes>(row, x, noise, padded, f);
    if (row.smooth) {
        RunSmooth<RunLanes>(f, padded);
    }
    for (uint32_t k = 0; k < padded; k += static_cast<uint32_t>(RunLanes::COUNT)) {
        (RunLanes::Of(f + k) * row.opacity).Store(f + k);
    }
}

}  // namespace
