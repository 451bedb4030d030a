// The scatter noise generator: a linear congruential generator with one
// state per thread, so pixel functions running on several threads at once
// need no lock. A thread's state starts at 1.
#pragma once

#include <array>
#include <cstdint>

#include "render/thread_state.h"

inline void ScatterSeed(uint32_t seed) noexcept { CurrentRingThreadState().scatter_state = seed; }

inline constexpr uint32_t SCATTER_MULTIPLIER = 214013u;
inline constexpr uint32_t SCATTER_INCREMENT = 2531011u;

// The value a state gives once advanced to: its bits 16..30, 0..32767.
inline int32_t ScatterValue(uint32_t advanced) noexcept { return static_cast<int32_t>((advanced >> 16) & 0x7FFFu); }

// Advances the given state and returns its value.
inline int32_t ScatterNext(uint32_t &state) noexcept {
    state = state * SCATTER_MULTIPLIER + SCATTER_INCREMENT;
    return ScatterValue(state);
}

// k steps of the generator are one step state * multiplier + increment, all
// modulo 2^32; SCATTER_JUMPS[k] holds it for k up to 8, so that the states a
// few steps ahead come each from the current one, not one from the next.
struct ScatterJump {
    uint32_t multiplier;
    uint32_t increment;
};

inline constexpr std::array<ScatterJump, 9> SCATTER_JUMPS = [] {
    std::array<ScatterJump, 9> jumps{};
    jumps[0] = {1u, 0u};
    for (std::size_t k = 1; k < jumps.size(); ++k) {
        jumps[k] = {jumps[k - 1].multiplier * SCATTER_MULTIPLIER,
                    jumps[k - 1].increment * SCATTER_MULTIPLIER + SCATTER_INCREMENT};
    }
    return jumps;
}();

// The state k steps on, k at most 8.
inline uint32_t ScatterAhead(uint32_t state, uint32_t k) noexcept {
    const ScatterJump &jump = SCATTER_JUMPS[k];
    return state * jump.multiplier + jump.increment;
}

// The same on the calling thread's state.
inline int32_t ScatterNext() noexcept { return ScatterNext(CurrentRingThreadState().scatter_state); }

// Advances the state as count calls of ScatterNext would (none when count
// is 0 or negative), in a number of steps that grows only with log(count).
void ScatterDiscard(int32_t count) noexcept;

// The same by calling ScatterNext count times; kept as the reference.
void ScatterDiscardByStepping(int32_t count) noexcept;
