#include "openfx/ofx_premultiplied.h"

#include <array>
#include <cstring>

// SSE2 is part of every x86-64 processor; each lane is one IEEE operation,
// as the scalar expression would be.
#include <emmintrin.h>

namespace {

// ceil(2^32 / a) for each 8-bit alpha a, 0 for a = 0: for every numerator
// n below 2^16, (n * r) >> 32 is n / a exactly, since the error of r adds
// less than 2^-16 to a quotient whose fraction is at most 1 - 1/255.
constexpr std::array<uint64_t, 256> RECIPROCALS_8 = [] {
    std::array<uint64_t, 256> table{};
    for (uint64_t a = 1; a < 256; ++a) {
        table[a] = ((uint64_t{1} << 32) + a - 1) / a;
    }
    return table;
}();

constexpr uint32_t StraightChannel8(uint32_t c, uint32_t a) noexcept {
    const uint64_t quotient = ((c * 255u + a / 2u) * RECIPROCALS_8[a]) >> 32;
    return quotient < 255u ? static_cast<uint32_t>(quotient) : 255u;
}

static_assert(StraightChannel8(100, 128) == 199 && StraightChannel8(200, 100) == 255 &&
              StraightChannel8(7, 0) == 0 && StraightChannel8(1, 1) == 255 && StraightChannel8(254, 255) == 254);

}  // namespace

void UnpremultiplyPixels(const uint8_t *in, uint8_t *out, size_t count) noexcept {
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const uint32_t a = in[3];
        const uint8_t pixel[4] = {static_cast<uint8_t>(StraightChannel8(in[0], a)),
                                  static_cast<uint8_t>(StraightChannel8(in[1], a)),
                                  static_cast<uint8_t>(StraightChannel8(in[2], a)), static_cast<uint8_t>(a)};
        std::memcpy(out, pixel, 4);
    }
}

void UnpremultiplyPixels(const uint16_t *in, uint16_t *out, size_t count) noexcept {
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const uint64_t a = in[3];
        uint16_t pixel[4] = {0, 0, 0, static_cast<uint16_t>(a)};
        if (a != 0) {
            for (int c = 0; c < 3; ++c) {
                const uint64_t quotient = (in[c] * uint64_t{65535} + a / 2) / a;
                pixel[c] = static_cast<uint16_t>(quotient < 65535 ? quotient : 65535);
            }
        }
        std::memcpy(out, pixel, sizeof pixel);
    }
}

void UnpremultiplyPixels(const float *in, float *out, size_t count) noexcept {
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 infinity = _mm_castsi128_ps(_mm_set1_epi32(0x7F800000));
    const __m128 largest = _mm_castsi128_ps(_mm_set1_epi32(0x7F7FFFFF));
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 alpha_lane = _mm_castsi128_ps(_mm_set_epi32(-1, 0, 0, 0));
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const __m128 pixel = _mm_loadu_ps(in);
        // max takes its second operand when the first is NaN: a NaN alpha is 0.
        __m128 alpha = _mm_shuffle_ps(pixel, pixel, _MM_SHUFFLE(3, 3, 3, 3));
        alpha = _mm_min_ps(_mm_max_ps(alpha, zero), one);
        __m128 straight = _mm_div_ps(pixel, alpha);
        const __m128 overflowed = _mm_and_ps(_mm_cmpeq_ps(_mm_and_ps(straight, magnitude), infinity),
                                             _mm_cmplt_ps(_mm_and_ps(pixel, magnitude), infinity));
        const __m128 held = _mm_or_ps(_mm_andnot_ps(magnitude, straight), largest);
        straight = _mm_or_ps(_mm_andnot_ps(overflowed, straight), _mm_and_ps(overflowed, held));
        straight = _mm_andnot_ps(_mm_cmpeq_ps(alpha, zero), straight);
        _mm_storeu_ps(out, _mm_or_ps(_mm_andnot_ps(alpha_lane, straight), _mm_and_ps(alpha_lane, alpha)));
    }
}

void PremultiplyPixels(const uint8_t *in, uint8_t *out, size_t count) noexcept {
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const uint32_t a = in[3];
        const uint8_t pixel[4] = {static_cast<uint8_t>((in[0] * a + 127u) / 255u),
                                  static_cast<uint8_t>((in[1] * a + 127u) / 255u),
                                  static_cast<uint8_t>((in[2] * a + 127u) / 255u), static_cast<uint8_t>(a)};
        std::memcpy(out, pixel, 4);
    }
}

void PremultiplyPixels(const uint16_t *in, uint16_t *out, size_t count) noexcept {
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const uint32_t a = in[3];
        const uint16_t pixel[4] = {static_cast<uint16_t>((in[0] * a + 32767u) / 65535u),
                                   static_cast<uint16_t>((in[1] * a + 32767u) / 65535u),
                                   static_cast<uint16_t>((in[2] * a + 32767u) / 65535u), static_cast<uint16_t>(a)};
        std::memcpy(out, pixel, sizeof pixel);
    }
}

void PremultiplyPixels(const float *in, float *out, size_t count) noexcept {
    const __m128 alpha_lane = _mm_castsi128_ps(_mm_set_epi32(-1, 0, 0, 0));
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const __m128 pixel = _mm_loadu_ps(in);
        const __m128 alpha = _mm_shuffle_ps(pixel, pixel, _MM_SHUFFLE(3, 3, 3, 3));
        const __m128 product = _mm_mul_ps(pixel, alpha);
        _mm_storeu_ps(out, _mm_or_ps(_mm_andnot_ps(alpha_lane, product), _mm_and_ps(alpha_lane, alpha)));
    }
}

// Each test folds the pixels' words together and looks at the alpha's bits
// once, which the compiler can do many pixels a turn.
bool AllOpaquePixels(const uint8_t *pixels, size_t count) noexcept {
    uint32_t all = ~0u;
    for (size_t k = 0; k < count; ++k) {
        uint32_t word;
        std::memcpy(&word, pixels + 4 * k, 4);
        all &= word;
    }
    return (all >> 24) == 0xFFu;  // little-endian: alpha is the top byte
}

bool AllOpaquePixels(const uint16_t *pixels, size_t count) noexcept {
    uint64_t all = ~uint64_t{0};
    for (size_t k = 0; k < count; ++k) {
        uint64_t word;
        std::memcpy(&word, pixels + 4 * k, 8);
        all &= word;
    }
    return (all >> 48) == 0xFFFFu;
}

bool AllOpaquePixels(const float *pixels, size_t count) noexcept {
    uint32_t differs = 0;
    for (size_t k = 0; k < count; ++k) {
        uint32_t bits;
        std::memcpy(&bits, pixels + 4 * k + 3, 4);
        differs |= bits ^ 0x3F800000u;  // 1.0f
    }
    return differs == 0;
}
