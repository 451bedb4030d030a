#include "render/thread_state.h"

#include <cstring>
#include <limits>

const RingPlanCache &RenewRingPlan(RingThreadState &thread, const RingRenderInfo &info, int32_t x,
                                   int32_t y) noexcept {
    RingPlanCache &cache = thread.plan_cache;
    const std::atomic<uint32_t> &mark = RingFrameMark(info);
    const uint32_t mark_value = mark.load(std::memory_order_relaxed);
    // A caller may write the record between rows without starting a frame;
    // comparing its bytes costs far less than making the plan again.
    if (cache.record != &info || cache.mark != &mark || cache.mark_value != mark_value ||
        std::memcmp(&cache.made_from, &info, sizeof info) != 0) {
        std::memcpy(&cache.made_from, &info, sizeof info);
        cache.plan = MakeRingPlan(info);
        cache.record = &info;
        cache.mark = &mark;
        cache.mark_value = mark_value;
    }
    cache.row = y;
    cache.next_column = static_cast<uint32_t>(x) + 1u;
    cache.span = MakeRingRowSpan(info, cache.plan, y);
    StartRingRun(cache, x);
    return cache;
}

void StartRingRun(RingPlanCache &cache, int32_t x) noexcept {
    const RingRowSpan &span = cache.span;
    const int64_t column = x;
    // The run ends at the first of the span's and the hole's edges past x,
    // at column 0 and at the row's last column.
    const int64_t end = NextRingRowSpanEdge(span, column, column < 0 ? 0 : std::numeric_limits<int32_t>::max());
    cache.run_end = static_cast<int32_t>(end);
    cache.ahead_count = 0;
    if (InRingRowSpan(span, x)) {
        cache.run_kind = RingRunKind::COVERED;
    } else {
        cache.run_kind = cache.plan.scatter ? RingRunKind::UNCOVERED_SCATTER : RingRunKind::UNCOVERED;
    }
    cache.run_form = 0;
    if (cache.run_kind == RingRunKind::UNCOVERED) {
        const RingPlan &plan = cache.plan;
        const auto form = [&cache](RingUncovered uncovered, RingUncovered wanted, uint8_t bit) {
            if (uncovered == wanted) {
                cache.run_form |= bit;
            }
        };
        form(plan.uncovered8, RingUncovered::KEEP_COLOR, RING_RUN_KEEPS8);
        form(plan.uncovered16, RingUncovered::KEEP_COLOR, RING_RUN_KEEPS16);
        form(plan.uncovered8, RingUncovered::CONSTANT, RING_RUN_CONSTANT8);
        form(plan.uncovered16, RingUncovered::CONSTANT, RING_RUN_CONSTANT16);
        form(plan.uncovered_float, RingUncovered::CONSTANT, RING_RUN_CONSTANT_FLOAT);
    }
}

#if defined(_WIN32)
namespace ring_thread_detail {

namespace {
// The emulated thread variable: each thread's own state, released by the
// runtime when the thread ends.
thread_local RingThreadState thread_state;
}  // namespace

RingThreadState &AttachRingThreadState() noexcept {
    RingThreadState &state = thread_state;
    DWORD slot = tls_slot.load(std::memory_order_acquire);
    if (slot == TLS_OUT_OF_INDEXES) {
        // The first thread to get here takes the slot; one that loses the
        // race gives its own back and uses the winner's.
        const DWORD taken = TlsAlloc();
        if (taken != TLS_OUT_OF_INDEXES) {
            if (tls_slot.compare_exchange_strong(slot, taken, std::memory_order_acq_rel)) {
                slot = taken;
            } else {
                TlsFree(taken);
            }
        }
    }
    // Without a free slot every access takes this slower path, with the same results.
    if (slot != TLS_OUT_OF_INDEXES) {
        TlsSetValue(slot, &state);
    }
    return state;
}

// Gives the slot back when the module is unloaded. A destructor function,
// not a static object, so that nothing runs when the module is loaded.
[[gnu::destructor]] void ReleaseRingThreadSlot() noexcept {
    const DWORD slot = tls_slot.exchange(TLS_OUT_OF_INDEXES, std::memory_order_acq_rel);
    if (slot != TLS_OUT_OF_INDEXES) {
        TlsFree(slot);
    }
}

}  // namespace ring_thread_detail
#endif
