#include "render/scatter_random.h"

void ScatterDiscard(int32_t count) noexcept {
    if (count <= 0) {
        return;
    }
    // n steps of s -> a*s + c compose to s -> A*s + C; square the step while
    // walking the bits of n.
    uint32_t step_mul = SCATTER_MULTIPLIER;
    uint32_t step_add = SCATTER_INCREMENT;
    uint32_t total_mul = 1u;
    uint32_t total_add = 0u;
    for (auto n = static_cast<uint32_t>(count); n != 0; n >>= 1) {
        if ((n & 1u) != 0) {
            total_mul = total_mul * step_mul;
            total_add = total_add * step_mul + step_add;
        }
        step_add = step_add * step_mul + step_add;
        step_mul = step_mul * step_mul;
    }
    uint32_t &state = CurrentRingThreadState().scatter_state;
    state = state * total_mul + total_add;
}

void ScatterDiscardByStepping(int32_t count) noexcept {
    for (int32_t i = 0; i < count; ++i) {
        ScatterNext();
    }
}
