// What the pixel functions keep per thread: the scatter generator's state
// and the plan of the row being shaded. The host's iteration runs the pixel
// functions on several threads at once; with the state per thread, none of
// them takes a lock.
#pragma once

#include <atomic>
#include <cstddef>
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
#if defined(__x86_64__)
#include <intrin.h>
#endif
#endif

// What the pixels of a run get.
enum class RingRunKind : uint8_t {
    UNCOVERED,          // the blend's form at coverage 0
    UNCOVERED_SCATTER,  // the same, each pixel stepping the generator
    COVERED,            // the full computation
};

// How many pixels of a covered run get their coverage worked out at once.
inline constexpr uint32_t RING_AHEAD_PIXELS = 8;

// What every pixel of an uncovered run without scatter gets, by depth: the
// source's colour, or the plan's constant pixel.
inline constexpr uint8_t RING_RUN_KEEPS8 = 1;
inline constexpr uint8_t RING_RUN_KEEPS16 = 2;
inline constexpr uint8_t RING_RUN_CONSTANT8 = 4;
inline constexpr uint8_t RING_RUN_CONSTANT16 = 8;
inline constexpr uint8_t RING_RUN_CONSTANT_FLOAT = 16;

struct RingPlanCache {
    const RingRenderInfo *record = nullptr;        // the record the plan was made for
    const std::atomic<uint32_t> *mark = nullptr;   // that record's frame mark
    uint32_t mark_value = 0;                       // the mark when the plan was made
    // The pixel that continues the row, and the end of the run of columns
    // holding it: the columns before run_end are all inside the span or all
    // outside it. A run never reaches past column 0, which reseeds the
    // generator, and never holds the row's last column.
    int32_t row = 0;
    uint32_t next_column = 0;
    int32_t run_end = 0;
    RingRunKind run_kind = RingRunKind::COVERED;
    // The forms an uncovered run without scatter takes at each depth
    // (RING_RUN_KEEPS8 and the rest): the common pixel's whole decision in
    // one or two tests.
    uint8_t run_form = 0;
    RingRowSpan span{};
    // The coverage of the covered run's next ahead_count pixels, from
    // column ahead_column on, worked out several at a time; none past the
    // run's end.
    int32_t ahead_column = 0;
    uint32_t ahead_count = 0;
    double ahead[RING_AHEAD_PIXELS] = {};
    RingRenderInfo made_from{};                    // the record's contents when the plan was made
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
// holds the address of the thread's variable, found the slow way once. The
// slot is taken by the first pixel shaded, not when the module is loaded.
// On x64 the first 64 slots lie in the thread's environment block, which
// the gs register points to; reading a slot there is one load, where
// TlsGetValue is a call that also clears the thread's last error, which
// is the host's to keep.
#if defined(_WIN32)
namespace ring_thread_detail {
inline constinit std::atomic<DWORD> tls_slot{TLS_OUT_OF_INDEXES};
RingThreadState &AttachRingThreadState() noexcept;
#if defined(__x86_64__)
inline constexpr DWORD RING_TEB_TLS_SLOTS = 64;
inline constexpr unsigned long RING_TEB_TLS_SLOTS_OFFSET = 0x1480;
#endif
}  // namespace ring_thread_detail

inline RingThreadState &CurrentRingThreadState() noexcept {
    using namespace ring_thread_detail;
    const DWORD slot = tls_slot.load(std::memory_order_relaxed);
    void *state = nullptr;
#if defined(__x86_64__)
    if (slot < RING_TEB_TLS_SLOTS) {
        const unsigned long offset = RING_TEB_TLS_SLOTS_OFFSET + slot * static_cast<unsigned long>(sizeof(void *));
        state = reinterpret_cast<void *>(__readgsqword(offset));
    } else
#endif
    if (slot != TLS_OUT_OF_INDEXES) {
        state = TlsGetValue(slot);
    }
    if (state != nullptr) [[likely]] {
        return *static_cast<RingThreadState *>(state);
    }
    return AttachRingThreadState();
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

// Each record's frame mark. A host may give the next frame's record the
// memory of the last one and go on along a row where a thread left off; the
// mark tells the threads that the record they kept a plan for has been
// written since. The marks are spread over slots by the record's address,
// each on its own cache line, so a frame starting elsewhere (another
// instance, another host's thread) leaves this record's plans alone; two
// records sharing a slot only renew their plans more often.
namespace ring_thread_detail {
inline constexpr size_t RING_FRAME_MARK_SLOTS = 64;
struct alignas(64) FrameMarkSlot {
    std::atomic<uint32_t> mark{0};
};
inline constinit FrameMarkSlot frame_marks[RING_FRAME_MARK_SLOTS];
}  // namespace ring_thread_detail

inline std::atomic<uint32_t> &RingFrameMark(const RingRenderInfo &info) noexcept {
    // Fibonacci hashing of the address; the top six bits pick the slot.
    const uint64_t address = reinterpret_cast<uintptr_t>(&info);
    const size_t slot = static_cast<size_t>((address * 0x9E3779B97F4A7C15ull) >> 58);
    return ring_thread_detail::frame_marks[slot].mark;
}

// Called by AdjustRingRenderInfo, the record's last write before shading;
// the host's start of the iteration orders the write.
inline void BeginRingFrame(const RingRenderInfo &info) noexcept {
    RingFrameMark(info).fetch_add(1, std::memory_order_relaxed);
}

// Makes the thread's plan for the record as of pixel (x, y), keeping the
// record's part of it when the record holds what it was made from. Out of
// line: a row pays for it once, at its first pixel.
const RingPlanCache &RenewRingPlan(RingThreadState &thread, const RingRenderInfo &info, int32_t x,
                                   int32_t y) noexcept;

// Sets the run holding column x of the plan's row.
void StartRingRun(RingPlanCache &cache, int32_t x) noexcept;

// Whether this call is the next pixel of the row the thread is shading with
// the same record in the same frame. The record is read-only while a frame
// is being shaded, so a kept plan is never stale.
inline bool ContinuesRingRow(const RingPlanCache &cache, const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    return cache.record == &info && y == cache.row && static_cast<uint32_t>(x) == cache.next_column &&
           cache.mark->load(std::memory_order_relaxed) == cache.mark_value;
}

// The same, inside the run the plan set: then the pixel is of the run's kind.
inline bool ContinuesRingRun(const RingPlanCache &cache, const RingRenderInfo &info, int32_t x, int32_t y) noexcept {
    return x < cache.run_end && ContinuesRingRow(cache, info, x, y);
}
