#include "render/coverage_ahead.h"

#include "render/ring_cosine.h"
#include "render/scatter_random.h"

#if defined(__SSE2__)
#include "render/double_lanes.h"

namespace {

using cosine_arithmetic::DoubleDoubleOf;

// Four registers of two pixels each: enough independent chains to keep the
// processor busy while each waits on the last step, and eight lanes, the
// whole group of pixels worked out ahead, in one pass.
constexpr int AHEAD_REGISTERS = 4;
using Lanes = DoubleLanes<AHEAD_REGISTERS>;
using Mask = LaneMask<AHEAD_REGISTERS>;
constexpr uint32_t LANES = Lanes::COUNT;
static_assert(LANES == RING_AHEAD_PIXELS, "the pixels worked out ahead fill the lanes once");
static_assert(SCATTER_JUMPS.size() > RING_AHEAD_PIXELS, "a group's generator states come each from the first");

// Table entries, one per lane, field by field.
struct CosTableEntryLanes {
    Lanes cos_hi, cos_lo, sin_hi, sin_lo, sin_split_hi, sin_split_lo;
};

CosTableEntryLanes EntriesOf(const size_t *indices) noexcept {
    double fields[6][LANES];
    for (uint32_t k = 0; k < LANES; ++k) {
        const CosTableEntry &entry = COS_TABLE[indices[k]];
        fields[0][k] = entry.cos_hi;
        fields[1][k] = entry.cos_lo;
        fields[2][k] = entry.sin_hi;
        fields[3][k] = entry.sin_lo;
        fields[4][k] = entry.sin_split_hi;
        fields[5][k] = entry.sin_split_lo;
    }
    return {Lanes::Of(fields[0]), Lanes::Of(fields[1]), Lanes::Of(fields[2]),
            Lanes::Of(fields[3]), Lanes::Of(fields[4]), Lanes::Of(fields[5])};
}

// CorrectlyRoundedCos of each lane of x: the quick path on every lane at
// once; a lane whose rounding test fails, or that lies outside the quick
// path's range, goes to the single cosine, which hands it on to the
// precise path. Lanes outside needed are not looked at.
Lanes CosLanes(Lanes x, Mask needed) noexcept {
    const Lanes ax = Magnitude(x);
    const int in_range = Less(ax, Lanes(COS_QUICK_LIMIT)).Lanes();
    const Lanes shifted = ax * COS_TABLE_STEPS + 0x1.8p52;
    uint64_t bits[LANES];
    StoreBits(shifted, bits);
    size_t indices[LANES];
    for (uint32_t k = 0; k < LANES; ++k) {
        // Out of range the index is meaningless; any entry will do.
        indices[k] = (in_range >> k & 1) != 0 ? static_cast<size_t>(bits[k] & 0xFFFFu) : 0;
    }
    const DoubleDoubleOf<Lanes> candidates = QuickCosCandidates(ax, shifted, EntriesOf(indices));
    const int decided = Equal(candidates.hi, candidates.lo).Lanes() & in_range;
    const int undecided = needed.Lanes() & ~decided;
    if (undecided == 0) [[likely]] {
        return candidates.hi;
    }
    double values[LANES];
    double arguments[LANES];
    candidates.hi.Store(values);
    x.Store(arguments);
    for (uint32_t k = 0; k < LANES; ++k) {
        if ((undecided >> k & 1) != 0) {
            values[k] = CorrectlyRoundedCos(arguments[k]);
        }
    }
    return Lanes::Of(values);
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

// RingCoverageAt of LANES pixels of the row from column x on, each lane
// doing what its steps do, branches turned into selections.
void CoverageLanes(const RowLanes &row, int32_t x, const double *noise, double *coverage) noexcept {
    // Exact: integers far below 2^53, and no 32-bit sum that could overflow.
    double columns[LANES];
    for (uint32_t k = 0; k < LANES; ++k) {
        columns[k] = static_cast<double>(x) + k;
    }
    const Lanes dx = Lanes::Of(columns) * row.x_scale - row.center_x;
    const Lanes d = Sqrt(dx * dx + row.dy_squared);

    // The ramp: outside the radius the outer one, inside it the inner one,
    // each -2 where it is disabled; a NaN distance is in neither.
    // A ramp no lane lies on is not worked out: most groups lie on one.
    Lanes f(-2.0);
    const Mask outside = GreaterEqual(d, Lanes(row.radius));
    const Mask inside = Less(d, Lanes(row.radius));
    if (row.outer_ramp && outside.Lanes() != 0) {
        f = Select(outside, 1.0 - (d - row.radius) / row.feather, f);
    }
    if (row.inner_ramp && inside.Lanes() != 0) {
        f = Select(inside, d / row.inner_width + row.inner_offset, f);
    }
    if (row.scatter) {
        f = f + Lanes::Of(noise);
    }
    // Below 0 or NaN gives +0; above 1 gives 1.
    f = KeepWhere(GreaterEqual(f, Lanes(0.0)), f);
    f = Select(Greater(f, Lanes(1.0)), Lanes(1.0), f);
    if (row.smooth) {
        const Mask at_zero = Equal(f, Lanes(0.0));
        const Mask at_one = Equal(f, Lanes(1.0));
        const Mask between = Less(f, Lanes(1.0)) & Greater(f, Lanes(0.0));
        // Where every lane is at an end, as on a plateau, no cosine is needed.
        const Lanes smoothed = between.Lanes() != 0 ? (1.0 - CosLanes(RING_PI * f, between)) * 0.5 : f;
        f = Select(at_zero, Lanes(0.0), Select(at_one, Lanes(1.0), smoothed));
    }

    (f * row.opacity).Store(coverage);
}

}  // namespace

void RingCoverageAhead(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                       double *coverage) noexcept {
    double noise[LANES] = {};
    if (info.scatter > 0.0) {
        for (uint32_t k = 0; k < count; ++k) {
            noise[k] = RingNoiseOf(info, ScatterAhead(scatter_state, k + 1));
        }
    }
    const RowLanes row(info, y);
    if (count == LANES) {
        CoverageLanes(row, x, noise, coverage);
        return;
    }
    // The lanes past count are worked out and dropped.
    double group[LANES];
    CoverageLanes(row, x, noise, group);
    for (uint32_t k = 0; k < count; ++k) {
        coverage[k] = group[k];
    }
}

void RingCosAhead(const double *x, double *result) noexcept {
    const Mask every = Equal(Lanes(0.0), Lanes(0.0));
    CosLanes(Lanes::Of(x), every).Store(result);
}

#else

void RingCosAhead(const double *x, double *result) noexcept {
    for (uint32_t k = 0; k < RING_AHEAD_PIXELS; ++k) {
        result[k] = CorrectlyRoundedCos(x[k]);
    }
}

void RingCoverageAhead(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                       double *coverage) noexcept {
    for (uint32_t k = 0; k < count; ++k) {
        const double noise = info.scatter > 0.0 ? RingNoiseFrom(info, scatter_state) : 0.0;
        coverage[k] = RingCoverageAt(info, RingDistanceSquared(info, x + static_cast<int32_t>(k), y), noise).f;
    }
}

#endif

void RingCoverageStretch(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count,
                         double *coverage) noexcept {
    if (count != 0 && x == 0) {
        *coverage++ = RingCoverage(info, x++, y).f;  // reseeds the row
        --count;
    }
    for (uint32_t k = 0; k < count; k += RING_AHEAD_PIXELS) {
        const uint32_t group = count - k < RING_AHEAD_PIXELS ? count - k : RING_AHEAD_PIXELS;
        RingCoverageAhead(info, x + static_cast<int32_t>(k), y, CurrentRingThreadState().scatter_state, group,
                          coverage + k);
        if (info.scatter > 0.0) {
            ScatterDiscard(static_cast<int32_t>(group));
        }
    }
}
