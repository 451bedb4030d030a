#include "render/coverage_ahead.h"

#include <algorithm>
#include <cstddef>

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
template <typename L>
struct CosTableEntryLanes {
    L cos_hi, cos_lo, sin_hi, sin_lo, sin_split_hi, sin_split_lo;
};

template <typename L>
CosTableEntryLanes<L> EntriesOf(const size_t *indices) noexcept {
    static_assert(offsetof(CosTableEntry, cos_lo) == offsetof(CosTableEntry, cos_hi) + sizeof(double) &&
                  offsetof(CosTableEntry, sin_lo) == offsetof(CosTableEntry, sin_hi) + sizeof(double) &&
                  offsetof(CosTableEntry, sin_split_lo) == offsetof(CosTableEntry, sin_split_hi) + sizeof(double));
    CosTableEntryLanes<L> lanes;
    // Each field's two halves lie side by side: one load gives both for a
    // lane, and two lanes' loads are interleaved into the two fields.
    const auto fields = [](const double &first, const double &second, __m128d &hi, __m128d &lo) {
        const __m128d a = _mm_loadu_pd(&first);
        const __m128d b = _mm_loadu_pd(&second);
        hi = _mm_unpacklo_pd(a, b);
        lo = _mm_unpackhi_pd(a, b);
    };
    for (size_t j = 0; j < static_cast<size_t>(L::COUNT) / 2; ++j) {
        const CosTableEntry &a = COS_TABLE[indices[2 * j]];
        const CosTableEntry &b = COS_TABLE[indices[2 * j + 1]];
        fields(a.cos_hi, b.cos_hi, lanes.cos_hi.v[j], lanes.cos_lo.v[j]);
        fields(a.sin_hi, b.sin_hi, lanes.sin_hi.v[j], lanes.sin_lo.v[j]);
        fields(a.sin_split_hi, b.sin_split_hi, lanes.sin_split_hi.v[j], lanes.sin_split_lo.v[j]);
    }
    return lanes;
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
            values[k] = CorrectlyRoundedCos(arguments[k]);
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
        const int needed = between.Lanes();
        const Lanes smoothed = needed != 0 ? (1.0 - CosLanes(RING_PI * f, needed)) * 0.5 : f;
        f = Select(at_zero, Lanes(0.0), Select(at_one, Lanes(1.0), smoothed));
    }

    (f * row.opacity).Store(coverage);
}

}  // namespace

namespace {

// A run's coverage in stages, each a loop over the run with two registers
// of two pixels a turn. One pixel's steps form a long chain, each waiting
// on the last; the turns of a stage do not wait on each other, so the
// processor works on several at once, where eight pixels in one pass
// leave it waiting. Each lane does what CoverageLanes does to it.
using RunLanes = DoubleLanes<2>;
using RunMask = LaneMask<2>;
constexpr uint32_t RUN_LANES = RunLanes::COUNT;
static_assert(RING_RUN_PIXELS % RUN_LANES == 0, "a run rounded up to whole turns fits its arrays");

// The run's ramps, noise added and clamped to 0..1, count a multiple of RUN_LANES.
void RunRamps(const RowLanes &row, int32_t x, const double *noise, uint32_t count, double *f) noexcept {
    for (uint32_t k = 0; k < count; k += RUN_LANES) {
        double columns[RUN_LANES];
        for (uint32_t j = 0; j < RUN_LANES; ++j) {
            columns[j] = static_cast<double>(x) + (k + j);
        }
        const RunLanes dx = RunLanes::Of(columns) * row.x_scale - row.center_x;
        const RunLanes d = Sqrt(dx * dx + row.dy_squared);
        RunLanes ramp(-2.0);
        const RunMask outside = GreaterEqual(d, RunLanes(row.radius));
        const RunMask inside = Less(d, RunLanes(row.radius));
        if (row.outer_ramp && outside.Lanes() != 0) {
            ramp = Select(outside, 1.0 - (d - row.radius) / row.feather, ramp);
        }
        if (row.inner_ramp && inside.Lanes() != 0) {
            ramp = Select(inside, d / row.inner_width + row.inner_offset, ramp);
        }
        if (row.scatter) {
            ramp = ramp + RunLanes::Of(noise + k);
        }
        ramp = KeepWhere(GreaterEqual(ramp, RunLanes(0.0)), ramp);
        ramp = Select(Greater(ramp, RunLanes(1.0)), RunLanes(1.0), ramp);
        ramp.Store(f + k);
    }
}

// The smoothing curve on each of count values in 0..1, 0 and 1 kept.
void RunSmooth(double *f, uint32_t count) noexcept {
    for (uint32_t k = 0; k < count; k += RUN_LANES) {
        const RunLanes value = RunLanes::Of(f + k);
        const RunMask between = Less(value, RunLanes(1.0)) & Greater(value, RunLanes(0.0));
        const int needed = between.Lanes();
        if (needed != 0) {
            const RunLanes smoothed = (1.0 - CosLanes(RING_PI * value, needed)) * 0.5;
            Select(between, smoothed, value).Store(f + k);
        }
    }
}

}  // namespace

uint32_t RingCoverageRun(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                         double *coverage) noexcept {
    double noise[RING_RUN_PIXELS];
    double f[RING_RUN_PIXELS];
    // The lanes past count are worked out and dropped.
    const uint32_t padded = (count + RUN_LANES - 1) / RUN_LANES * RUN_LANES;
    const RowLanes row(info, y);
    if (row.scatter) {
        std::fill(noise + count, noise + padded, 0.0);
        // Eight generators a step of eight apart, each state from one jump.
        uint32_t states[RING_AHEAD_PIXELS];
        for (uint32_t j = 0; j < RING_AHEAD_PIXELS; ++j) {
            states[j] = ScatterAhead(scatter_state, j + 1);
        }
        for (uint32_t k = 0; k < count; k += RING_AHEAD_PIXELS) {
            for (uint32_t j = 0; j < RING_AHEAD_PIXELS && k + j < count; ++j) {
                noise[k + j] = RingNoiseOf(info, states[j]);
                scatter_state = states[j];
                states[j] = ScatterAhead(states[j], RING_AHEAD_PIXELS);
            }
        }
    }
    RunRamps(row, x, noise, padded, f);
    if (row.smooth) {
        RunSmooth(f, padded);
    }
    for (uint32_t k = 0; k < count; ++k) {
        coverage[k] = f[k] * row.opacity;
    }
    return scatter_state;
}

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
    CosLanes(Lanes::Of(x), every.Lanes()).Store(result);
}

#else

void RingCosAhead(const double *x, double *result) noexcept {
    for (uint32_t k = 0; k < RING_AHEAD_PIXELS; ++k) {
        result[k] = CorrectlyRoundedCos(x[k]);
    }
}

uint32_t RingCoverageRun(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                         double *coverage) noexcept {
    for (uint32_t k = 0; k < count; ++k) {
        const double noise = info.scatter > 0.0 ? RingNoiseFrom(info, scatter_state) : 0.0;
        coverage[k] = RingCoverageAt(info, RingDistanceSquared(info, x + static_cast<int32_t>(k), y), noise).f;
    }
    return scatter_state;
}

void RingCoverageAhead(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                       double *coverage) noexcept {
    RingCoverageRun(info, x, y, scatter_state, count, coverage);
}

#endif

void RingCoverageStretch(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count,
                         double *coverage) noexcept {
    if (count != 0 && x == 0) {
        *coverage++ = RingCoverage(info, x++, y).f;  // reseeds the row
        --count;
    }
    uint32_t &state = CurrentRingThreadState().scatter_state;
    for (uint32_t k = 0; k < count; k += RING_RUN_PIXELS) {
        const uint32_t run = count - k < RING_RUN_PIXELS ? count - k : RING_RUN_PIXELS;
        state = RingCoverageRun(info, x + static_cast<int32_t>(k), y, state, run, coverage + k);
    }
}
