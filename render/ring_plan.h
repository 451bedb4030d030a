// What a frame's record implies for all of its pixels, worked out once per
// row instead of once per pixel: the distances within which the coverage is
// certainly 0, and what such a pixel gets.
#pragma once

#include <cstdint>

#include "host/host_types.h"
#include "render/ring_coverage.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"

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
    // Mode "none" where the coverage is 0: the same pixel everywhere.
    PF_Pixel none8;
    PF_Pixel16 none16;
    PF_PixelFloat none_float;
};

RingPlan MakeRingPlan(const RingRenderInfo &info) noexcept;

namespace ring_plan_detail {
struct PlanCache {
    const RingRenderInfo *record = nullptr;
    int64_t x = 0;
    int32_t y = 0;
    RingPlan plan{};
};
inline RING_FAST_THREAD_LOCAL PlanCache plan_cache;
}  // namespace ring_plan_detail

// Makes the calling thread's plan for the record, starting a row at y.
void RenewRingPlan(const RingRenderInfo &info, int32_t y) noexcept;

// The calling thread's plan for the record. It is kept while the thread
// shades one row from left to right (the next call is the next pixel of the
// same row of the same record) and made anew for any other call. The record
// is read-only while a row is being shaded, so a kept plan is never stale.
inline const RingPlan &RingPlanFor(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    ring_plan_detail::PlanCache &cache = ring_plan_detail::plan_cache;
    if (cache.record != &info || cache.y != y || cache.x + 1 != x) {
        RenewRingPlan(info, y);
    }
    cache.x = x;
    return cache.plan;
}

// The plan when this call is the next pixel of the row the thread is
// shading with the same record, past the row's first pixel; otherwise null,
// and the caller goes through RingPlanFor.
inline const RingPlan *ContinuedRingPlan(const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    ring_plan_detail::PlanCache &cache = ring_plan_detail::plan_cache;
    if (cache.record != &info || cache.y != y || cache.x + 1 != x || x == 0) {
        return nullptr;
    }
    cache.x = x;
    return &cache.plan;
}

// Drops the calling thread's plan. For callers that rewrite a record
// between two pixels of a row, which a host's iteration never does.
inline void ForgetRingPlan() noexcept { ring_plan_detail::plan_cache.record = nullptr; }
