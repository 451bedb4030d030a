// The scatter noise generator: a linear congruential generator with one
// state per thread, so pixel functions running on several threads at once
// need no lock. A thread's state starts at 1.
#pragma once

#include <cstdint>

// The pixel functions reach their per-thread state on every call: on ELF
// systems the initial-exec model makes that one load from the thread's
// block instead of a call into the dynamic loader.
#if defined(__ELF__)
#define RING_FAST_THREAD_LOCAL thread_local __attribute__((tls_model("initial-exec")))
#else
#define RING_FAST_THREAD_LOCAL thread_local
#endif

namespace scatter_detail {
inline RING_FAST_THREAD_LOCAL uint32_t scatter_state = 1;
}

inline void ScatterSeed(uint32_t seed) noexcept { scatter_detail::scatter_state = seed; }

// Advances the state and returns its bits 16..30, a value in 0..32767.
inline int32_t ScatterNext() noexcept {
    uint32_t &state = scatter_detail::scatter_state;
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}

// Advances the state as count calls of ScatterNext would (none when count
// is 0 or negative), in a number of steps that grows only with log(count).
void ScatterDiscard(int32_t count) noexcept;

// The same by calling ScatterNext count times; kept as the reference.
void ScatterDiscardByStepping(int32_t count) noexcept;
