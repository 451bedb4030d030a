// Arithmetic shared by the blend modes of every depth, in the exact forms
// the output values are defined by.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

// v truncated toward zero to 64 bits; a NaN or a value beyond the 64-bit
// range gives 0x8000000000000000, as x86-64's truncating conversion does.
constexpr int64_t TruncateToInt64(double v) noexcept {
    if (v >= -9223372036854775808.0 && v < 9223372036854775808.0) {
        return static_cast<int64_t>(v);
    }
    return std::numeric_limits<int64_t>::min();
}

// Keeps the low 8 or 16 bits of the truncated value, as the channel holds them.
template <typename Channel>
constexpr Channel StoreChannel(double v) noexcept {
    return static_cast<Channel>(static_cast<uint64_t>(TruncateToInt64(v)));
}

// Output alpha of the ring composited over a source of alpha a.
constexpr float OverAlpha(float a, float coverage) noexcept { return 1.0f - (1.0f - a) * (1.0f - coverage); }

// The ring's share of the composite. Capped at 1: in single precision a tiny
// coverage over a transparent source can give oa slightly below the
// coverage, and a weight above 1 would wrap integer channels.
inline float RingWeight(float coverage, float oa) noexcept {
    if (oa == 0.0f || std::isnan(oa)) {
        return 0.0f;
    }
    const float w = coverage / oa;
    return w > 1.0f ? 1.0f : w;
}

// 8-bit channels divided by 255 in single precision, by table.
inline constexpr std::array<float, 256> RING_UNIT8 = [] {
    std::array<float, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        table[i] = static_cast<float>(i) / 255.0f;
    }
    return table;
}();

inline float RingUnit8(uint32_t channel) noexcept { return RING_UNIT8[channel & 0xFFu]; }

// The 8-bit output alpha where the coverage is 0, in modes normal and add:
// a / 255 and back, which keeps 161 values and lowers the other 95 by one.
inline constexpr std::array<uint8_t, 256> RING_ZERO_COVERAGE_ALPHA8 = [] {
    std::array<uint8_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        table[i] = StoreChannel<uint8_t>(static_cast<double>(OverAlpha(RING_UNIT8[i], 0.0f) * 255.0f));
    }
    return table;
}();
