#include "render/pixel_functions.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "params/ring_params.h"
#include "render/blend_modes.h"
#include "render/coverage_ahead.h"
#include "render/ring_coverage.h"
#include "render/ring_plan.h"
#include "render/shading_depths.h"
#include "render/thread_state.h"

// The same results as the plain formulas (render/pixel_reference.cpp), byte
// for byte, by shortcuts that skip work whose outcome is already certain:
// pixels the ring certainly does not reach skip the square root, the
// division and the cosine, and their blend reduces to a copy; the cosine is
// skipped at 0 and 1; divisions of 8-bit channels by 255 come from a table.

namespace {

using ring_depth::ShadeUncovered;

// How far ahead of the current pixels to prefetch: a few dozen cache lines.
constexpr uintptr_t RING_PREFETCH_BYTES = 1024;

// The coverage of a pixel the plan could not pass over, at squared distance d2.
inline RingSample FullCoverage(const RingRenderInfo &info, double d2, int32_t x, int32_t y) noexcept {
    return RingCoverageAt(info, d2, info.scatter > 0.0 ? RingNoise(info, x, y) : 0.0);
}

// Whether the pixel lies where the plan knows its coverage is 0.
inline bool CertainlyUncovered(const RingPlan &plan, double d2) noexcept {
    return d2 < plan.inner_sq || d2 > plan.outer_sq;
}

// An uncovered pixel still draws its generator value, so the row's noise
// stays in step.
inline void SkipNoise(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    if (info.scatter > 0.0) {
        static_cast<void>(RingNoise(info, x, y));
    }
}

// Works out the coverage of the covered run's next pixels from column x on.
[[gnu::noinline]] void FillCoverageAhead(const RingRenderInfo &info, RingThreadState &thread, int32_t x,
                                         int32_t y) noexcept {
    RingPlanCache &cache = thread.plan_cache;
    // At least pixel x itself: the row's last column lies past every run.
    const int64_t left = static_cast<int64_t>(cache.run_end) - x;
    const auto count = static_cast<uint32_t>(left < 1 ? 1 : left < RING_AHEAD_PIXELS ? left : RING_AHEAD_PIXELS);
    RingCoverageAhead(info, x, y, thread.scatter_state, count, cache.ahead);
    cache.ahead_column = x;
    cache.ahead_count = count;
}

// A pixel of a covered run: the columns of a row's span, which with a
// positive scale are exactly those the distance check keeps. Its coverage
// comes from the run's pixels worked out ahead. Out of line, so the common
// pixel (the next one of a row, uncovered) runs without a stack frame;
// reached by a tail call.
template <typename Depth, typename Pixel = typename Depth::PixelType>
[[gnu::noinline]] PF_Err ShadeCovered(const RingRenderInfo &info, int32_t x, int32_t y, const Pixel &in,
                                      Pixel &out) noexcept {
    RingThreadState &thread = CurrentRingThreadState();
    RingPlanCache &cache = thread.plan_cache;
    uint32_t k = static_cast<uint32_t>(x) - static_cast<uint32_t>(cache.ahead_column);
    if (k >= cache.ahead_count) {
        FillCoverageAhead(info, thread, x, y);
        k = 0;
    }
    if (info.scatter > 0.0) {
        ScatterNext(thread.scatter_state);
    }
    Depth::Blend(info.blend_mode, RingSampleAt(info, cache.ahead[k]), in, out);
    return PF_Err_NONE;
}

// A pixel whose distance decides whether the plan may skip it.
template <typename Depth, typename Pixel = typename Depth::PixelType>
PF_Err ShadeByDistance(const RingRenderInfo &info, const RingPlan &plan, int32_t x, int32_t y,
                                         const Pixel &in, Pixel &out) noexcept {
    const double d2 = RingDistanceSquared(info, x, y);
    if (!CertainlyUncovered(plan, d2)) {
        Depth::Blend(info.blend_mode, FullCoverage(info, d2, x, y), in, out);
        return PF_Err_NONE;
    }
    SkipNoise(info, x, y);
    return ShadeUncovered<Depth>(info, plan, in, out);
}

// Every pixel but the next one of a run: a row's first pixel, one of
// another row or record than the thread's plan was made for (which renews
// the plan), one that starts a new run.
template <typename Depth, typename Pixel = typename Depth::PixelType>
[[gnu::noinline]] PF_Err ShadeAny(const RingRenderInfo &info, int32_t x, int32_t y, const Pixel &in,
                                  Pixel &out) noexcept {
    RingThreadState &thread = CurrentRingThreadState();
    RingPlanCache &cache = thread.plan_cache;
    // Past the row's first pixel, not at column 0, which reseeds the generator.
    if (x == 0 || !ContinuesRingRow(cache, info, x, y)) {
        const RingPlanCache &renewed = RenewRingPlan(thread, info, x, y);
        return ShadeByDistance<Depth>(info, renewed.plan, x, y, in, out);
    }
    cache.next_column = static_cast<uint32_t>(x) + 1u;
    StartRingRun(cache, x);
    if (cache.run_kind == RingRunKind::COVERED) {
        return ShadeCovered<Depth>(info, x, y, in, out);
    }
    if (cache.run_kind == RingRunKind::UNCOVERED_SCATTER) {
        ScatterNext(thread.scatter_state);
    }
    return ShadeUncovered<Depth>(info, cache.plan, in, out);
}

// The common pixel, the next one of a run the ring cannot reach, costs the
// thread state's lookup, a few compares and the blend's trivial form; the
// next one of a covered run goes straight to the full computation.
template <typename Depth, typename Pixel = typename Depth::PixelType>
PF_Err Shade(const RingRenderInfo &info, int32_t x, int32_t y, const Pixel &in, Pixel &out) noexcept {
    RingThreadState &thread = CurrentRingThreadState();
    RingPlanCache &cache = thread.plan_cache;
    if (!ContinuesRingRun(cache, info, x, y)) [[unlikely]] {
        return ShadeAny<Depth>(info, x, y, in, out);
    }
    cache.next_column = static_cast<uint32_t>(x) + 1u;
    const uint8_t form = cache.run_form;
    if constexpr (Depth::KEEPS_BIT != 0) {
        if ((form & Depth::KEEPS_BIT) != 0) [[likely]] {
            Depth::Keep(in, out, false);
            return PF_Err_NONE;
        }
    }
    if ((form & Depth::CONSTANT_BIT) != 0) {
        out = Depth::Constant(cache.plan);
        return PF_Err_NONE;
    }
    const RingRunKind kind = cache.run_kind;
    if (kind != RingRunKind::UNCOVERED) {
        if (kind == RingRunKind::COVERED) {
            return ShadeCovered<Depth>(info, x, y, in, out);
        }
        ScatterNext(thread.scatter_state);  // past the row's first pixel: no reseed
    }
    return ShadeUncovered<Depth>(info, cache.plan, in, out);
}

// The host walks each row left to right; asking for the cache lines a little
// ahead of both pixels keeps the walk from waiting on memory. A prefetch
// never faults, so an address past the buffer's end does no harm.
inline void PrefetchAhead(const void *in, const void *out) noexcept {
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(in) + RING_PREFETCH_BYTES));
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(out) + RING_PREFETCH_BYTES), 1);
}

}  // namespace

PF_Err ShadePixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept {
    if (refcon != nullptr) {
        PrefetchAhead(in, out);
        return Shade<ring_depth::Depth8>(*static_cast<const RingRenderInfo *>(refcon), x, y, *in,
                                                           *out);
    }
    return PF_Err_NONE;
}

PF_Err ShadePixel16(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in, PF_Pixel16 *out) noexcept {
    if (refcon != nullptr) {
        PrefetchAhead(in, out);
        return Shade<ring_depth::Depth16>(*static_cast<const RingRenderInfo *>(refcon), x, y,
                                                               *in, *out);
    }
    return PF_Err_NONE;
}

PF_Err ShadePixelFloat(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in, PF_PixelFloat *out) noexcept {
    if (refcon != nullptr) {
        PrefetchAhead(in, out);
        return Shade<ring_depth::DepthFloat>(*static_cast<const RingRenderInfo *>(refcon), x, y, *in, *out);
    }
    return PF_Err_NONE;
}
