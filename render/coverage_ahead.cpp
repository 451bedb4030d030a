#include "render/coverage_ahead.h"

#include "render/ring_cosine.h"

#if defined(__SSE2__)
#include "render/double_pair.h"

namespace {

using cosine_arithmetic::DoubleDoubleOf;

// Two table entries, field by field.
struct CosTableEntryPair {
    DoublePair cos_hi, cos_lo, sin_hi, sin_lo, sin_split_hi, sin_split_lo;
};

CosTableEntryPair EntriesOf(const CosTableEntry &a, const CosTableEntry &b) noexcept {
    return {DoublePair::Of(a.cos_hi, b.cos_hi),       DoublePair::Of(a.cos_lo, b.cos_lo),
            DoublePair::Of(a.sin_hi, b.sin_hi),       DoublePair::Of(a.sin_lo, b.sin_lo),
            DoublePair::Of(a.sin_split_hi, b.sin_split_hi), DoublePair::Of(a.sin_split_lo, b.sin_split_lo)};
}

// CorrectlyRoundedCos of each lane of x, x in [0, pi]: the quick path on
// both lanes at once; a lane whose rounding test fails, or that lies
// outside the quick path's range, goes to the single cosine, which hands it
// on to the precise path. Lanes outside needed are not looked at.
DoublePair CosPair(DoublePair x, LaneMask needed) noexcept {
    const DoublePair ax = Magnitude(x);
    const LaneMask in_range = Less(ax, DoublePair(COS_QUICK_LIMIT));
    const DoublePair shifted = ax * COS_TABLE_STEPS + 0x1.8p52;
    // Out of range the index is meaningless; any entry will do.
    const bool range0 = (in_range.Lanes() & 1) != 0;
    const bool range1 = (in_range.Lanes() & 2) != 0;
    const size_t i0 = range0 ? static_cast<size_t>(Bits0(shifted) & 0xFFFFu) : 0;
    const size_t i1 = range1 ? static_cast<size_t>(Bits1(shifted) & 0xFFFFu) : 0;
    const DoubleDoubleOf<DoublePair> candidates =
        QuickCosCandidates(ax, shifted, EntriesOf(COS_TABLE[i0], COS_TABLE[i1]));
    DoublePair result = candidates.hi;
    const int decided = (Equal(candidates.hi, candidates.lo) & in_range).Lanes();
    const int undecided = needed.Lanes() & ~decided;
    if (undecided != 0) [[unlikely]] {
        const double lane0 = (undecided & 1) != 0 ? CorrectlyRoundedCos(x.Lane0()) : result.Lane0();
        const double lane1 = (undecided & 2) != 0 ? CorrectlyRoundedCos(x.Lane1()) : result.Lane1();
        result = DoublePair::Of(lane0, lane1);
    }
    return result;
}

// RingCoverageAt of two pixels of row y, columns x and x + 1, the lanes
// doing what its steps do, branches turned into selections.
void CoveragePair(const RingRenderInfo &info, int32_t x, double dy, DoublePair noise, RingSample *samples) noexcept {
    const DoublePair column = DoublePair::Of(static_cast<double>(x), static_cast<double>(x + 1));
    const DoublePair dx = column * info.x_scale - info.center_x;
    const DoublePair d = Sqrt(dx * dx + DoublePair(dy) * dy);

    // The ramp: outside the radius the outer one, inside it the inner one,
    // each -2 where it is disabled; a NaN distance is in neither.
    DoublePair f(-2.0);
    if (info.feather > 0.0) {
        f = Select(GreaterEqual(d, info.radius), 1.0 - (d - info.radius) / info.feather, f);
    }
    if (info.expand > 0.0) {
        f = Select(Less(d, info.radius), d / (info.expand * info.radius) + info.inner_offset, f);
    }
    if (info.scatter > 0.0) {
        f = f + noise;
    }
    // Below 0 or NaN gives +0; above 1 gives 1.
    f = DoublePair(_mm_and_pd(GreaterEqual(f, 0.0).bits, f.v));
    f = Select(Greater(f, 1.0), 1.0, f);
    if (info.smooth != 0) {
        const LaneMask at_zero = Equal(f, 0.0);
        const LaneMask at_one = Equal(f, 1.0);
        const LaneMask ends = at_zero | at_one;
        const LaneMask needed{_mm_andnot_pd(ends.bits, _mm_castsi128_pd(_mm_set1_epi64x(-1)))};
        const DoublePair smoothed = (1.0 - CosPair(RING_PI * f, needed)) * 0.5;
        f = Select(at_zero, 0.0, Select(at_one, 1.0, smoothed));
    }

    f = f * info.opacity;
    const float color1[3] = {info.color1_float.red, info.color1_float.green, info.color1_float.blue};
    const float color2[3] = {info.color2_float.red, info.color2_float.green, info.color2_float.blue};
    float mixed[3][4];
    for (int k = 0; k < 3; ++k) {
        const float difference = color1[k] - color2[k];
        const DoublePair mix = static_cast<double>(color2[k]) + f * static_cast<double>(difference);
        _mm_storeu_ps(mixed[k], _mm_cvtpd_ps(mix.v));
    }
    samples[0] = RingSample{f.Lane0(), mixed[0][0], mixed[1][0], mixed[2][0]};
    samples[1] = RingSample{f.Lane1(), mixed[0][1], mixed[1][1], mixed[2][1]};
}

}  // namespace

void RingCoverageAhead(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                       RingSample *samples) noexcept {
    double noise[RING_AHEAD_PIXELS] = {};
    if (info.scatter > 0.0) {
        for (uint32_t k = 0; k < count; ++k) {
            noise[k] = RingNoiseFrom(info, scatter_state);
        }
    }
    const double dy = static_cast<double>(y) - info.center_y;
    uint32_t k = 0;
    for (; k + 1 < count; k += 2) {
        CoveragePair(info, x + static_cast<int32_t>(k), dy, DoublePair::Of(noise[k], noise[k + 1]), samples + k);
    }
    if (k < count) {
        samples[k] = RingCoverageAt(info, RingDistanceSquared(info, x + static_cast<int32_t>(k), y), noise[k]);
    }
}

#else

void RingCoverageAhead(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                       RingSample *samples) noexcept {
    for (uint32_t k = 0; k < count; ++k) {
        const double noise = info.scatter > 0.0 ? RingNoiseFrom(info, scatter_state) : 0.0;
        samples[k] = RingCoverageAt(info, RingDistanceSquared(info, x + static_cast<int32_t>(k), y), noise);
    }
}

#endif
