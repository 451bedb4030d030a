#include "render/coverage_ahead.h"

#include <algorithm>
#include <cstddef>

#include "render/ring_cosine.h"
#include "render/scatter_random.h"

#if defined(__SSE2__)
#include "render/double_lanes.h"
#include "render/coverage_run.h"
#if defined(TIDALHALO_WIDE_LANES)
#include "render/coverage_run_wide.h"
#endif

namespace {

// Four registers of two pixels each: enough independent chains to keep the
// processor busy while each waits on the last step, and eight lanes, the
// whole group of pixels worked out ahead, in one pass.
constexpr int AHEAD_REGISTERS = 4;
using Lanes = DoubleLanes<AHEAD_REGISTERS>;
using Mask = LaneMask<AHEAD_REGISTERS>;
constexpr uint32_t LANES = Lanes::COUNT;
static_assert(LANES == RING_AHEAD_PIXELS, "the pixels worked out ahead fill the lanes once");
static_assert(SCATTER_JUMPS.size() > RING_AHEAD_PIXELS, "a group's generator states come each from the first");

// RingCoverageAt of LANES pixels of the row from column x on.
void CoverageLanes(const RowLanes &row, int32_t x, const double *noise, double *coverage) noexcept {
    // Exact: integers far below 2^53, and no 32-bit sum that could overflow.
    double columns[LANES];
    for (uint32_t k = 0; k < LANES; ++k) {
        columns[k] = static_cast<double>(x) + k;
    }
    Lanes f = RampLanes(row, Lanes::Of(columns), noise);
    if (row.smooth) {
        f = SmoothLanes(f);
    }
    (f * row.opacity).Store(coverage);
}

// The run's stages in SSE2, two registers of two lanes a turn.
using RunLanes = DoubleLanes<2>;
constexpr auto RUN_LANES = static_cast<uint32_t>(RunLanes::COUNT);
static_assert(RING_RUN_PIXELS % RUN_LANES == 0 && RUN_LANES == 4, "a run rounded up to whole turns fits its arrays");

#if defined(TIDALHALO_WIDE_LANES)
// Whether the processor and the system run AVX2, asked once.
bool WideLanesAvailable() noexcept {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
}
#endif

}  // namespace

uint32_t RingCoverageRun(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t scatter_state, uint32_t count,
                         double *coverage) noexcept {
    double noise[RING_RUN_PIXELS];
    double f[RING_RUN_PIXELS];
    // The lanes past count are worked out and dropped.
    const uint32_t padded = (count + RUN_LANES - 1) / RUN_LANES * RUN_LANES;
    if (info.scatter > 0.0) {
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
#if defined(TIDALHALO_WIDE_LANES)
    if (WideLanesAvailable()) {
        RingRunStagesWide(info, x, y, noise, padded, f);
    } else {
        RunStages<RunLanes>(info, x, y, noise, padded, f);
    }
#else
    RunStages<RunLanes>(info, x, y, noise, padded, f);
#endif
    std::copy(f, f + count, coverage);
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

double RingCos(double x) noexcept { return CorrectlyRoundedCos(x); }
