#include "openfx/ofx_premultiplied.h"

#include <cstring>

// SSE2 is part of every x86-64 processor; each lane is one IEEE operation,
// as the scalar expression would be.
#include <emmintrin.h>

namespace {

// Four 8-bit pixels widened to 32-bit lanes, one pixel a register.
struct Wide8 {
    __m128i pixel[4];
};

Wide8 Widen8(__m128i bytes) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(bytes, zero);
    const __m128i high = _mm_unpackhi_epi8(bytes, zero);
    return {{_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero), _mm_unpacklo_epi16(high, zero),
             _mm_unpackhi_epi16(high, zero)}};
}

// (c * 255 + a / 2) / a in single precision, truncated: exact, since for
// numerators below 2^16 and divisors up to 255 the rounded quotient never
// reaches the next integer. Alpha is divided by 1. A zero alpha gives the
// conversion's out-of-range value, which the saturating packs make 0, as
// they hold a quotient above 255 at 255.
__m128i StraightLanes8(__m128i pixel) noexcept {
    const __m128i alpha_lane = _mm_set_epi32(-1, 0, 0, 0);
    const __m128i alpha = _mm_shuffle_epi32(pixel, _MM_SHUFFLE(3, 3, 3, 3));
    __m128i numerator = _mm_add_epi32(_mm_sub_epi32(_mm_slli_epi32(pixel, 8), pixel), _mm_srli_epi32(alpha, 1));
    numerator = _mm_or_si128(_mm_andnot_si128(alpha_lane, numerator), _mm_and_si128(alpha_lane, alpha));
    const __m128i divisor =
        _mm_or_si128(_mm_andnot_si128(alpha_lane, alpha), _mm_and_si128(alpha_lane, _mm_set1_epi32(1)));
    return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(numerator), _mm_cvtepi32_ps(divisor)));
}

// Streaming stores need 16-byte alignment.
bool Aligned(const void *to) noexcept { return (reinterpret_cast<uintptr_t>(to) & 15u) == 0; }

// The integer rules a pixel at a time, for any full intensity: the 16-bit
// pixels, and the 8-bit ones left over after whole registers.
template <typename Channel, uint64_t MAX>
void UnpremultiplyEach(const Channel *in, Channel *out, size_t count) noexcept {
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const uint64_t a = in[3];
        Channel pixel[4] = {0, 0, 0, static_cast<Channel>(a)};
        for (int c = 0; c < 3 && a != 0; ++c) {
            const uint64_t quotient = (in[c] * MAX + a / 2) / a;
            pixel[c] = static_cast<Channel>(quotient < MAX ? quotient : MAX);
        }
        std::memcpy(out, pixel, sizeof pixel);
    }
}

template <typename Channel, uint64_t MAX>
void PremultiplyEach(const Channel *in, Channel *out, size_t count) noexcept {
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const uint64_t a = in[3];
        Channel pixel[4] = {0, 0, 0, static_cast<Channel>(a)};
        for (int c = 0; c < 3; ++c) {
            pixel[c] = static_cast<Channel>((in[c] * a + MAX / 2) / MAX);
        }
        std::memcpy(out, pixel, sizeof pixel);
    }
}

// (c * a + 127) / 255 for eight 16-bit lanes: x / 255 is (x + 1 + (x >> 8)) >> 8
// for every x up to 255 * 255 + 127. Alpha lanes are kept.
__m128i PremultipliedLanes8(__m128i lanes) noexcept {
    const __m128i alpha_lanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i alpha =
        _mm_shufflehi_epi16(_mm_shufflelo_epi16(lanes, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    const __m128i x = _mm_add_epi16(_mm_mullo_epi16(lanes, alpha), _mm_set1_epi16(127));
    const __m128i quotient =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
    return _mm_or_si128(_mm_andnot_si128(alpha_lanes, quotient), _mm_and_si128(alpha_lanes, lanes));
}

}  // namespace

void UnpremultiplyPixels(const uint8_t *in, uint8_t *out, size_t count) noexcept {
    size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const Wide8 wide = Widen8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 4 * k)));
        const __m128i low = _mm_packs_epi32(StraightLanes8(wide.pixel[0]), StraightLanes8(wide.pixel[1]));
        const __m128i high = _mm_packs_epi32(StraightLanes8(wide.pixel[2]), StraightLanes8(wide.pixel[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * k), _mm_packus_epi16(low, high));
    }
    UnpremultiplyEach<uint8_t, 255>(in + 4 * k, out + 4 * k, count - k);
}

void UnpremultiplyPixels(const uint16_t *in, uint16_t *out, size_t count) noexcept {
    UnpremultiplyEach<uint16_t, 65535>(in, out, count);
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

void PremultiplyPixels(const uint8_t *in, uint8_t *out, size_t count, bool stream) noexcept {
    const __m128i zero = _mm_setzero_si128();
    stream = stream && Aligned(out);
    size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 4 * k));
        const __m128i low = PremultipliedLanes8(_mm_unpacklo_epi8(bytes, zero));
        const __m128i high = PremultipliedLanes8(_mm_unpackhi_epi8(bytes, zero));
        auto *to = reinterpret_cast<__m128i *>(out + 4 * k);
        if (stream) {
            _mm_stream_si128(to, _mm_packus_epi16(low, high));
        } else {
            _mm_storeu_si128(to, _mm_packus_epi16(low, high));
        }
    }
    if (stream) {
        _mm_sfence();
    }
    PremultiplyEach<uint8_t, 255>(in + 4 * k, out + 4 * k, count - k);
}

void PremultiplyPixels(const uint16_t *in, uint16_t *out, size_t count, bool) noexcept {
    PremultiplyEach<uint16_t, 65535>(in, out, count);
}

void PremultiplyPixels(const float *in, float *out, size_t count, bool stream) noexcept {
    const __m128 alpha_lane = _mm_castsi128_ps(_mm_set_epi32(-1, 0, 0, 0));
    stream = stream && Aligned(out);
    for (size_t k = 0; k < count; ++k, in += 4, out += 4) {
        const __m128 pixel = _mm_loadu_ps(in);
        const __m128 alpha = _mm_shuffle_ps(pixel, pixel, _MM_SHUFFLE(3, 3, 3, 3));
        const __m128 product = _mm_mul_ps(pixel, alpha);
        const __m128 result = _mm_or_ps(_mm_andnot_ps(alpha_lane, product), _mm_and_ps(alpha_lane, alpha));
        if (stream) {
            _mm_stream_ps(out, result);
        } else {
            _mm_storeu_ps(out, result);
        }
    }
    if (stream) {
        _mm_sfence();
    }
}

// Each test folds the pixels' alphas together a register at a time and
// looks at the result once.
bool AllOpaquePixels(const uint8_t *pixels, size_t count) noexcept {
    __m128i all = _mm_set1_epi32(-1);
    size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        all = _mm_and_si128(all, _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 4 * k)));
    }
    uint32_t words[4];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(words), all);
    uint32_t word = words[0] & words[1] & words[2] & words[3];
    for (; k < count; ++k) {
        uint32_t pixel;
        std::memcpy(&pixel, pixels + 4 * k, 4);
        word &= pixel;
    }
    return (word >> 24) == 0xFFu;  // little-endian: alpha is the top byte
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
    // Bit patterns, so that only 1.0f itself counts.
    const __m128i one = _mm_set1_epi32(0x3F800000);
    __m128i differs = _mm_setzero_si128();
    size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 4 * k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 4 * k + 4));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 4 * k + 8));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 4 * k + 12));
        const __m128i ab = _mm_unpackhi_epi32(a, b);  // a2 b2 a3 b3
        const __m128i cd = _mm_unpackhi_epi32(c, d);
        differs = _mm_or_si128(differs, _mm_xor_si128(_mm_unpackhi_epi64(ab, cd), one));
    }
    uint32_t lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(lanes), differs);
    uint32_t any = lanes[0] | lanes[1] | lanes[2] | lanes[3];
    for (; k < count; ++k) {
        uint32_t bits;
        std::memcpy(&bits, pixels + 4 * k + 3, 4);
        any |= bits ^ 0x3F800000u;
    }
    return any == 0;
}
