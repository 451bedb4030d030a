// The scatter noise generator: a linear congruential generator with one
// state per thread, so pixel functions running on several threads at once
// need no lock. A thread's state starts at 1.
#pragma once

#include <cstdint>

#include "render/thread_state.h"

inline void ScatterSeed(uint32_t seed) noexcept { CurrentRingThreadState().scatter_state = seed; }

// Advances the given state and returns its bits 16..30, a value in 0..32767.
inline int32_t ScatterNext(uint32_t &state) noexcept {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}

// The same on the calling thread's state.
inline int32_t ScatterNext() noexcept { return ScatterNext(CurrentRingThreadState().scatter_state); }

// Advances the state as count calls of ScatterNext would (none when count
// is 0 or negative), in a number of steps that grows only with log(count).
void ScatterDiscard(int32_t count) noexcept;

// The same by calling ScatterNext count times; kept as the reference.
void ScatterDiscardByStepping(int32_t count) noexcept;
