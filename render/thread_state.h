// What the pixel functions keep per thread: the scatter generator's state
// and the plan of the row being shaded. The host's iteration runs the pixel
// functions on several threads at once; with the state per thread, none of
// them takes a lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "render/ring_plan.h"
#include "render/ring_render_info.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

struct RingPlanCache {
    const RingRenderInfo *record = nullptr;  // the record the plan was made for
    uint32_t frame = 0;                      // RingFrameCount() when it was made
    int64_t x = 0;                           // the last pixel shaded with it
    int32_t y = 0;
    RingPlan plan{};
};

struct RingThreadState {
    uint32_t scatter_state = 1;  // a thread's generator starts at 1
    RingPlanCache plan_cache;
};

// Every pixel reaches this state, so reaching it must cost next to nothing.
// On ELF systems an initial-exec thread variable is one load from the
// thread's block. On Windows the compiler emulates thread variables through
// a library call per access; a TLS slot read is far cheaper, so the slot
// holds the address of the thread's variable, found the slow way once.
#if defined(_WIN32)
namespace ring_thread_detail {
extern const DWORD tls_index;
RingThreadState &AttachRingThreadState() noexcept;
}  // namespace ring_thread_detail

inline RingThreadState &CurrentRingThreadState() noexcept {
    void *state = TlsGetValue(ring_thread_detail::tls_index);
    if (state != nullptr) {
        return *static_cast<RingThreadState *>(state);
    }
    return ring_thread_detail::AttachRingThreadState();
}
#else
namespace ring_thread_detail {
#if defined(__ELF__)
inline thread_local RingThreadState thread_state __attribute__((tls_model("initial-exec")));
#else
inline thread_local RingThreadState thread_state;
#endif
}  // namespace ring_thread_detail

inline RingThreadState &CurrentRingThreadState() noexcept { return ring_thread_detail::thread_state; }
#endif

// Counts the renders that have started an iteration. A host may give the
// next frame's record the memory of the last one and go on along a row where
// a thread left off; the count tells the threads that the record they kept
// a plan for has been written since. One relaxed load per pixel.
namespace ring_thread_detail {
inline std::atomic<uint32_t> frame_count{0};
}  // namespace ring_thread_detail

inline uint32_t RingFrameCount() noexcept {
    return ring_thread_detail::frame_count.load(std::memory_order_relaxed);
}

// Called by AdjustRingRenderInfo, the record's last write before shading;
// the host's start of the iteration orders the write.
inline void BeginRingFrame() noexcept { ring_thread_detail::frame_count.fetch_add(1, std::memory_order_relaxed); }

// Makes the thread's plan for the record, as of pixel (x, y). Out of line:
// a row pays for it once, at its first pixel.
const RingPlan &RenewRingPlan(RingThreadState &thread, const RingRenderInfo &info, int32_t x, int32_t y) noexcept;

// The plan when this call is the next pixel of the row the thread is
// shading with the same record in the same frame, past the row's first
// pixel; otherwise null, and the caller renews the plan. The record is
// read-only while a frame is being shaded, so a kept plan is never stale.
inline const RingPlan *ContinuedRingPlan(RingThreadState &thread, const RingRenderInfo &info, int32_t x,
                                         int32_t y) noexcept {
    RingPlanCache &cache = thread.plan_cache;
    if (cache.record != &info || cache.y != y || cache.x + 1 != x || x == 0 || cache.frame != RingFrameCount()) {
        return nullptr;
    }
    cache.x = x;
    return &cache.plan;
}
