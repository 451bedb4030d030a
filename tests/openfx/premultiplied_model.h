// The premultiplication rules worked out by plain arithmetic, a channel at
// a time, for the tests to hold the bundle against.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace tidalhalo::ofxtest {

inline uint32_t Straight(uint32_t c, uint32_t a, uint32_t max) {
    if (a == 0) return 0;
    const uint64_t v = (uint64_t{c} * max + a / 2) / a;
    return static_cast<uint32_t>(v < max ? v : max);
}
inline uint32_t Premultiplied(uint32_t c, uint32_t a, uint32_t max) {
    return static_cast<uint32_t>((uint64_t{c} * a + max / 2) / max);
}
inline float StraightAlpha(float a) { return a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f; }  // NaN and -0 as 0
inline float Straight(float c, float a) {
    if (a == 0.0f) return 0.0f;
    float s = c / a;
    if (std::isinf(s) && std::isfinite(c)) s = std::copysign(FLT_MAX, s);
    return s;
}

}  // namespace tidalhalo::ofxtest
