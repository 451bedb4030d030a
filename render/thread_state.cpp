#include "render/thread_state.h"

const RingPlan &RenewRingPlan(RingThreadState &thread, const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    RingPlanCache &cache = thread.plan_cache;
    cache.plan = MakeRingPlan(info);
    cache.record = &info;
    cache.frame = RingFrameCount();
    cache.x = x;
    cache.y = y;
    return cache.plan;
}

#if defined(_WIN32)
namespace ring_thread_detail {

namespace {
// The emulated thread variable: each thread's own state, released by the
// runtime when the thread ends.
thread_local RingThreadState thread_state;

// Gives the slot back when the module is unloaded.
struct SlotRelease {
    ~SlotRelease() {
        if (tls_index != TLS_OUT_OF_INDEXES) {
            TlsFree(tls_index);
        }
    }
} slot_release;
}  // namespace

// Taken when the module is loaded. Without a free slot every access takes
// the slower emulated path, with the same results.
extern const DWORD tls_index = TlsAlloc();

RingThreadState &AttachRingThreadState() noexcept {
    RingThreadState &state = thread_state;
    if (tls_index != TLS_OUT_OF_INDEXES) {
        TlsSetValue(tls_index, &state);
    }
    return state;
}

}  // namespace ring_thread_detail
#endif
