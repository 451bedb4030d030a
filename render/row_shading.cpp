#include "render/row_shading.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include <emmintrin.h>

#include "params/ring_params.h"
#include "render/coverage_ahead.h"
#include "render/ring_coverage.h"
#include "render/ring_plan.h"
#include "render/scatter_random.h"
#include "render/shading_depths.h"
#include "render/thread_state.h"

namespace {

using ring_depth::ShadeUncovered;

static_assert(std::endian::native == std::endian::little, "8-bit pixels are read as little-endian words");

// Uncovered 8-bit pixels are looked at this many at a time, two 16-byte
// registers, so that a run whose alphas are all from 128 up, which the
// round trip keeps, is a copy.
constexpr size_t ROW_KEEP_BLOCK = 8;

// Every alpha from 128 up comes through a / 255 and back as it went in.
constexpr bool KeepsHighAlpha() noexcept {
    for (uint32_t a = 128; a < 256; ++a) {
        if (RING_ZERO_COVERAGE_ALPHA8[a] != a) {
            return false;
        }
    }
    return true;
}
static_assert(KeepsHighAlpha());

// How a row holds its pixels: Element is what a row pointer points to,
// STRIDE of them a pixel; Load and Store move one pixel between the row and
// the depth's pixel. ALPHA_SHIFT places an 8-bit pixel's alpha in its
// little-endian word, ALPHA_LANE a float pixel's among its four.
template <typename Depth>
struct ModuleLayout {
    using Pixel = typename Depth::PixelType;
    using Element = Pixel;
    static constexpr size_t STRIDE = 1;
    static constexpr uint32_t ALPHA_SHIFT = 0;
    static constexpr int ALPHA_LANE = 0;
    static Pixel Load(const Element *at) noexcept { return *at; }
    static void Store(const Pixel &pixel, Element *at) noexcept { *at = pixel; }
};

struct RgbaBytes {
    using Pixel = PF_Pixel;
    using Element = uint8_t;
    static constexpr size_t STRIDE = 4;
    static constexpr uint32_t ALPHA_SHIFT = 24;
    static constexpr int ALPHA_LANE = 3;
    // Red, green, blue, alpha in memory to alpha, red, green, blue is one
    // rotation of the four bytes read as a little-endian word.
    static Pixel Load(const Element *at) noexcept {
        uint32_t word;
        std::memcpy(&word, at, 4);
        word = std::rotl(word, 8);
        Pixel pixel;
        std::memcpy(&pixel, &word, 4);
        return pixel;
    }
    static void Store(const Pixel &pixel, Element *at) noexcept {
        uint32_t word;
        std::memcpy(&word, &pixel, 4);
        word = std::rotr(word, 8);
        std::memcpy(at, &word, 4);
    }
};

struct RgbaFloats {
    using Pixel = PF_PixelFloat;
    using Element = float;
    static constexpr size_t STRIDE = 4;
    static constexpr int ALPHA_LANE = 3;
    // One rotation of the four lanes each way, as whole 16-byte moves: no
    // value is converted, so every bit, NaN payloads too, passes unchanged.
    static Pixel Load(const Element *at) noexcept {
        const __m128 lanes = _mm_loadu_ps(at);
        const __m128 argb = _mm_shuffle_ps(lanes, lanes, _MM_SHUFFLE(2, 1, 0, 3));
        Pixel pixel;
        std::memcpy(&pixel, &argb, sizeof pixel);
        return pixel;
    }
    static void Store(const Pixel &pixel, Element *at) noexcept {
        __m128 argb;
        std::memcpy(&argb, &pixel, sizeof pixel);
        _mm_storeu_ps(at, _mm_shuffle_ps(argb, argb, _MM_SHUFFLE(0, 3, 2, 1)));
    }
};

// The generator stepped as count pixels would step it, in steps ScatterDiscard takes.
void DiscardNoise(uint64_t count) noexcept {
    constexpr auto most = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    while (count != 0) {
        const uint64_t step = count < most ? count : most;
        ScatterDiscard(static_cast<int32_t>(step));
        count -= step;
    }
}

// The generator values of columns [x, end) of row y drawn and dropped.
void SkipNoise(const RingRenderInfo &info, int64_t x, int64_t end, int32_t y) noexcept {
    if (!(info.scatter > 0.0)) {
        return;
    }
    if (x <= 0 && 0 < end) {
        DiscardNoise(static_cast<uint64_t>(-x));
        RingReseedRow(info, y);
        x = 0;
    }
    DiscardNoise(static_cast<uint64_t>(end - x));
}

// The control half of the SSE status word as the program starts: every
// exception masked, rounding to nearest, no flushing of tiny values.
constexpr uint32_t ROW_SSE_CONTROL_MASK = 0xFFC0u;
constexpr uint32_t ROW_SSE_DEFAULT_CONTROL = 0x1F80u;

bool InDefaultEnvironment() noexcept {
    return (static_cast<uint32_t>(_mm_getcsr()) & ROW_SSE_CONTROL_MASK) == ROW_SSE_DEFAULT_CONTROL;
}

// Whether stores to a stretch from to on go straight to memory: asked for,
// and to on a 16-byte boundary, as every store of the stretch then is.
bool Streams(RowWrites writes, const void *to) noexcept {
    return writes == RowWrites::STREAMED && (reinterpret_cast<uintptr_t>(to) & 15u) == 0;
}

void Store(void *to, __m128i value, bool stream) noexcept {
    if (stream) {
        _mm_stream_si128(static_cast<__m128i *>(to), value);
    } else {
        _mm_storeu_si128(static_cast<__m128i *>(to), value);
    }
}

void Store(float *to, __m128 value, bool stream) noexcept {
    Store(static_cast<void *>(to), _mm_castps_si128(value), stream);
}

// The round trip of four pixels' alphas, as RING_ZERO_COVERAGE_ALPHA8 was
// made: 1 - (1 - a / 255) x (1 - 0), times 255, truncated. The operations
// are those of the table's single-precision formula, lane by lane, so in
// the default environment, where the table was worked out, they give its
// bytes.
template <uint32_t SHIFT>
__m128i KeepFourAlphas(__m128i pixels) noexcept {
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i alpha = _mm_and_si128(_mm_srli_epi32(pixels, static_cast<int>(SHIFT)), byte);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 full = _mm_set1_ps(255.0f);
    const __m128 unit = _mm_div_ps(_mm_cvtepi32_ps(alpha), full);
    const __m128 over = _mm_sub_ps(one, _mm_mul_ps(_mm_sub_ps(one, unit), _mm_sub_ps(one, _mm_setzero_ps())));
    const __m128i kept = _mm_cvttps_epi32(_mm_mul_ps(over, full));
    const __m128i color = _mm_andnot_si128(_mm_slli_epi32(byte, static_cast<int>(SHIFT)), pixels);
    return _mm_or_si128(color, _mm_slli_epi32(kept, static_cast<int>(SHIFT)));
}

// 8-bit modes normal and add keep the colour and send the alpha through
// a / 255 and back; a block whose alphas are all from 128 up moves as it is,
// as two 16-byte moves. Other blocks take the round trip four at a time in
// the default floating-point environment, else from the table.
template <typename Layout>
void KeepStretch8(const typename Layout::Element *in, typename Layout::Element *out, size_t count,
                  RowWrites writes) noexcept {
    constexpr uint32_t shift = Layout::ALPHA_SHIFT;
    constexpr uint32_t color = ~(0xFFu << shift);
    const auto keep = [](uint32_t word) {
        return (word & color) | static_cast<uint32_t>(RING_ZERO_COVERAGE_ALPHA8[(word >> shift) & 0xFFu]) << shift;
    };
    const bool default_environment = InDefaultEnvironment();
    const auto *from = reinterpret_cast<const unsigned char *>(in);
    auto *to = reinterpret_cast<unsigned char *>(out);
    const bool stream = Streams(writes, to);
    size_t i = 0;
    for (; i + ROW_KEEP_BLOCK <= count; i += ROW_KEEP_BLOCK) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i * 4));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i * 4 + 16));
        // Each word's top alpha bit moved to its sign, the four signs of both halves at once.
        const __m128i both = _mm_slli_epi32(_mm_and_si128(first, second), static_cast<int>(24 - shift));
        if (_mm_movemask_ps(_mm_castsi128_ps(both)) == 0xF) {
            Store(to + i * 4, first, stream);
            Store(to + i * 4 + 16, second, stream);
            continue;
        }
        if (default_environment) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i * 4), KeepFourAlphas<shift>(first));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i * 4 + 16), KeepFourAlphas<shift>(second));
            continue;
        }
        uint32_t words[ROW_KEEP_BLOCK];
        std::memcpy(words, from + i * 4, sizeof words);
        for (uint32_t &word : words) {
            word = keep(word);
        }
        std::memcpy(to + i * 4, words, sizeof words);
    }
    for (; i < count; ++i) {
        uint32_t word;
        std::memcpy(&word, from + i * 4, 4);
        word = keep(word);
        std::memcpy(to + i * 4, &word, 4);
    }
}

// A float pixel's four lanes with the colour in the colour lanes and the
// alpha lane 0.
template <int ALPHA_LANE>
__m128 ColorLanes(float red, float green, float blue) noexcept {
    static_assert(ALPHA_LANE == 0 || ALPHA_LANE == 3);
    return ALPHA_LANE == 0 ? _mm_setr_ps(0.0f, red, green, blue) : _mm_setr_ps(red, green, blue, 0.0f);
}

template <int ALPHA_LANE>
__m128 AlphaLaneMask() noexcept {
    return _mm_castsi128_ps(ALPHA_LANE == 0 ? _mm_setr_epi32(-1, 0, 0, 0) : _mm_setr_epi32(0, 0, 0, -1));
}

// The output alpha over sources of alphas unit, and the ring's weight:
// coverage / output alpha, at most 1, +0 where that alpha is 0 or NaN.
// Over opaque sources every divisor is 1, and in the default environment
// a division by 1 gives its dividend exactly, so it is left out there.
void NormalWeights(__m128 unit, __m128 covered, bool default_environment, __m128 &over, __m128 &w) noexcept {
    const __m128 one = _mm_set1_ps(1.0f);
    over = _mm_sub_ps(one, _mm_mul_ps(_mm_sub_ps(one, unit), _mm_sub_ps(one, covered)));
    const __m128 weighted = _mm_and_ps(_mm_cmpneq_ps(over, _mm_setzero_ps()), _mm_cmpord_ps(over, over));
    const __m128 divisor = _mm_or_ps(_mm_and_ps(weighted, over), _mm_andnot_ps(weighted, one));
    const bool by_one = default_environment && _mm_movemask_ps(_mm_cmpeq_ps(divisor, one)) == 0xF;
    const __m128 ratio = by_one ? covered : _mm_div_ps(covered, divisor);
    const __m128 above = _mm_cmpgt_ps(ratio, one);
    w = _mm_and_ps(weighted, _mm_or_ps(_mm_and_ps(above, one), _mm_andnot_ps(above, ratio)));
}

// Float mode normal at one pixel of a covered stretch, as BlendFloat forms
// it, one pixel a register: the weight is coverage / output alpha, at most
// 1, and +0 where that alpha is 0 or NaN (the division then by 1, so that
// it raises nothing the formula does not).
template <int ALPHA_LANE>
void BlendNormalFloatLanes(const float *in, float *out, float coverage, __m128 ring) noexcept {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 pixel = _mm_loadu_ps(in);
    const __m128 alpha = _mm_shuffle_ps(pixel, pixel, _MM_SHUFFLE(ALPHA_LANE, ALPHA_LANE, ALPHA_LANE, ALPHA_LANE));
    __m128 over;
    __m128 w;
    NormalWeights(alpha, _mm_set1_ps(coverage), false, over, w);
    const __m128 mixed = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, w), pixel), _mm_mul_ps(w, ring));
    const __m128 alpha_lane = AlphaLaneMask<ALPHA_LANE>();
    _mm_storeu_ps(out, _mm_or_ps(_mm_and_ps(alpha_lane, over), _mm_andnot_ps(alpha_lane, mixed)));
}

// 8-bit mode normal at one pixel of a covered stretch, as BlendInteger forms
// it, the four channels in the lanes of one register. A lane's value goes
// to its byte as StoreChannel takes it: truncated, its low eight bits. A
// float at or beyond 2^31 in size is a multiple of 256, as is 2^31, the
// conversion's answer for it and for NaN, so the low byte agrees there too.
template <int ALPHA_LANE>
void BlendNormal8Lanes(const unsigned char *in, unsigned char *out, float coverage, __m128 ring) noexcept {
    uint32_t word;
    std::memcpy(&word, in, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i channels =
        _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(word)), zero), zero);
    const __m128 pixel = _mm_cvtepi32_ps(channels);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 full = _mm_set1_ps(255.0f);
    __m128 over;
    __m128 w;
    NormalWeights(_mm_set1_ps(RingUnit8(word >> (ALPHA_LANE * 8))), _mm_set1_ps(coverage), false, over, w);
    const __m128 mixed = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, w), pixel), _mm_mul_ps(_mm_mul_ps(w, ring), full));
    const __m128 alpha_lane = AlphaLaneMask<ALPHA_LANE>();
    const __m128 values = _mm_or_ps(_mm_and_ps(alpha_lane, _mm_mul_ps(over, full)), _mm_andnot_ps(alpha_lane, mixed));
    const __m128i bytes = _mm_and_si128(_mm_cvttps_epi32(values), _mm_set1_epi32(0xFF));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(bytes, zero), zero);
    word = static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
    std::memcpy(out, &word, 4);
}

// Float mode normal where the coverage is a zero, as the pixel functions'
// BlendUncoveredNormalFloat forms it, one pixel a register: the weight a
// zero whose sign is the coverage's and the output alpha's differing, or
// +0 where that alpha is 0 or NaN.
template <int ALPHA_LANE>
struct NormalFloatZero {
    __m128 coverage, uncovered, ring;

    explicit NormalFloatZero(const RingPlan &plan) noexcept
        : coverage(_mm_set1_ps(static_cast<float>(plan.zero.f))),
          uncovered(_mm_sub_ps(_mm_set1_ps(1.0f), coverage)),
          ring(ColorLanes<ALPHA_LANE>(plan.zero.red, plan.zero.green, plan.zero.blue)) {}

    __m128 Shade(__m128 pixel) const noexcept {
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 alpha = _mm_shuffle_ps(pixel, pixel, _MM_SHUFFLE(ALPHA_LANE, ALPHA_LANE, ALPHA_LANE, ALPHA_LANE));
        const __m128 over = _mm_sub_ps(one, _mm_mul_ps(_mm_sub_ps(one, alpha), uncovered));
        const __m128 weighted = _mm_and_ps(_mm_cmpneq_ps(over, _mm_setzero_ps()), _mm_cmpord_ps(over, over));
        const __m128 w = _mm_and_ps(weighted, _mm_and_ps(_mm_xor_ps(over, coverage), _mm_set1_ps(-0.0f)));
        const __m128 mixed = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, w), pixel), _mm_mul_ps(w, ring));
        const __m128 alpha_lane = AlphaLaneMask<ALPHA_LANE>();
        return _mm_or_ps(_mm_and_ps(alpha_lane, over), _mm_andnot_ps(alpha_lane, mixed));
    }
};

// Whether mode normal at a zero coverage gives four pixels back as they
// are, in the default environment: where 1 - (1 - a) is the alpha itself
// the weight is a zero, and a colour that is neither NaN nor -0 plus a zero
// times the ring's finite colour is that colour, exactly. An alpha of -0
// comes back as +0, so -0 may be looked for in every lane.
template <int ALPHA_LANE>
bool KeptByNormalFloat(const NormalFloatZero<ALPHA_LANE> &zero, const __m128 *pixels) noexcept {
    const __m128 one = _mm_set1_ps(1.0f);
    // The four alphas side by side.
    const __m128 alphas = ALPHA_LANE == 0
                              ? _mm_movelh_ps(_mm_unpacklo_ps(pixels[0], pixels[1]), _mm_unpacklo_ps(pixels[2], pixels[3]))
                              : _mm_movehl_ps(_mm_unpackhi_ps(pixels[2], pixels[3]), _mm_unpackhi_ps(pixels[0], pixels[1]));
    const __m128 over = _mm_sub_ps(one, _mm_mul_ps(_mm_sub_ps(one, alphas), zero.uncovered));
    __m128i changed = _mm_cmpeq_epi32(_mm_castps_si128(over), _mm_castps_si128(alphas));
    changed = _mm_xor_si128(changed, _mm_set1_epi32(-1));
    changed = _mm_or_si128(changed, _mm_castps_si128(_mm_cmpunord_ps(pixels[0], pixels[1])));
    changed = _mm_or_si128(changed, _mm_castps_si128(_mm_cmpunord_ps(pixels[2], pixels[3])));
    const __m128i negative_zero = _mm_set1_epi32(std::numeric_limits<int32_t>::min());
    for (int k = 0; k < 4; ++k) {
        changed = _mm_or_si128(changed, _mm_cmpeq_epi32(_mm_castps_si128(pixels[k]), negative_zero));
    }
    return _mm_movemask_epi8(changed) == 0;
}

// Four pixels a step; a step whose pixels all come out as they are is a copy.
template <int ALPHA_LANE>
void NormalFloatStretch(const RingPlan &plan, const float *in, float *out, size_t count, RowWrites writes) noexcept {
    constexpr size_t block = 4;  // as KeptByNormalFloat looks at them
    const NormalFloatZero<ALPHA_LANE> zero(plan);
    const bool default_environment = InDefaultEnvironment();
    const bool stream = Streams(writes, out);
    size_t i = 0;
    for (; default_environment && i + block <= count; i += block) {
        __m128 pixels[block];
        for (size_t k = 0; k < block; ++k) {
            pixels[k] = _mm_loadu_ps(in + (i + k) * 4);
        }
        const bool kept = KeptByNormalFloat(zero, pixels);
        for (size_t k = 0; k < block; ++k) {
            Store(out + (i + k) * 4, kept ? pixels[k] : zero.Shade(pixels[k]), stream);
        }
    }
    for (; i < count; ++i) {
        _mm_storeu_ps(out + i * 4, zero.Shade(_mm_loadu_ps(in + i * 4)));
    }
}

// Pixels the ring cannot reach, their generator values already drawn.
template <typename Depth, typename Layout>
void ShadeUncoveredStretch(const RingRenderInfo &info, const RingPlan &plan, const typename Layout::Element *in,
                           typename Layout::Element *out, size_t count, RowWrites writes) noexcept {
    using Pixel = typename Depth::PixelType;
    constexpr size_t stride = Layout::STRIDE;
    const RingUncovered form = Depth::Uncovered(plan);
    if constexpr (sizeof(Pixel) == 4) {
        if (form == RingUncovered::KEEP_COLOR) {
            KeepStretch8<Layout>(in, out, count, writes);
            return;
        }
    }
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        if (form == RingUncovered::NORMAL_FLOAT) {
            NormalFloatStretch<Layout::ALPHA_LANE>(plan, reinterpret_cast<const float *>(in),
                                                   reinterpret_cast<float *>(out), count, writes);
            return;
        }
    }
    if (form == RingUncovered::CONSTANT) {
        typename Layout::Element constant[stride];
        Layout::Store(Depth::Constant(plan), constant);
        for (size_t i = 0; i < count; ++i) {
            std::copy(constant, constant + stride, out + i * stride);
        }
        return;
    }
    if (form == RingUncovered::WRITE_NOTHING) {
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const Pixel source = Layout::Load(in + i * stride);
        Pixel shaded = source;
        ShadeUncovered<Depth>(info, plan, source, shaded);
        Layout::Store(shaded, out + i * stride);
    }
}

// What the blend of a covered pixel reads from the record, held apart from
// it: the rows' bytes may alias the record, so the compiler would read it
// again for every pixel. The colour mixes as RingMix forms it.
struct CoveredBlend {
    int32_t blend_mode;
    double color2[3];
    double difference[3];

    explicit CoveredBlend(const RingRenderInfo &info) noexcept
        : blend_mode(info.blend_mode),
          color2{info.color2_float.red, info.color2_float.green, info.color2_float.blue},
          difference{info.color1_float.red - info.color2_float.red, info.color1_float.green - info.color2_float.green,
                     info.color1_float.blue - info.color2_float.blue} {}

    RingSample SampleAt(double f) const noexcept {
        return RingSample{f, static_cast<float>(color2[0] + f * difference[0]),
                          static_cast<float>(color2[1] + f * difference[1]),
                          static_cast<float>(color2[2] + f * difference[2])};
    }
};

// Four neighbouring pixels of a covered stretch at once, in mode normal,
// each channel of the four in the lanes of one register: the same single-
// and double-precision operations as the one-pixel forms above, lane by
// lane, with one division for the four weights.
constexpr uint32_t QUAD_PIXELS = 4;

// The ring at four coverages, as CoveredBlend::SampleAt forms each, and
// the coverages in single precision.
struct QuadSample {
    __m128 f, red, green, blue;

    QuadSample(const CoveredBlend &blend, const double *coverage) noexcept {
        const __m128d first = _mm_loadu_pd(coverage);
        const __m128d second = _mm_loadu_pd(coverage + 2);
        const auto narrow = [](__m128d low, __m128d high) {
            return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
        };
        const auto mix = [&](int c) {
            const __m128d base = _mm_set1_pd(blend.color2[c]);
            const __m128d difference = _mm_set1_pd(blend.difference[c]);
            return narrow(_mm_add_pd(base, _mm_mul_pd(first, difference)),
                          _mm_add_pd(base, _mm_mul_pd(second, difference)));
        };
        f = narrow(first, second);
        red = mix(0);
        green = mix(1);
        blue = mix(2);
    }
};

// Where red, green and blue sit in a pixel whose alpha is at ALPHA_LANE (0 or 3).
template <int ALPHA_LANE>
constexpr int RED_LANE = ALPHA_LANE == 0 ? 1 : 0;

// BlendNormal8Lanes at four pixels.
template <int ALPHA_LANE>
void BlendNormal8Quad(const unsigned char *in, unsigned char *out, const QuadSample &ring,
                      bool default_environment) noexcept {
    constexpr int red_lane = RED_LANE<ALPHA_LANE>;
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    const __m128i byte = _mm_set1_epi32(0xFF);
    const auto channel = [&](int lane) {
        return _mm_cvtepi32_ps(_mm_and_si128(_mm_srl_epi32(words, _mm_cvtsi32_si128(8 * lane)), byte));
    };
    const auto unit = [in](uint32_t k) { return RingUnit8(in[k * 4 + ALPHA_LANE]); };
    __m128 over;
    __m128 w;
    NormalWeights(_mm_setr_ps(unit(0), unit(1), unit(2), unit(3)), ring.f, default_environment, over, w);
    const __m128 keep = _mm_sub_ps(_mm_set1_ps(1.0f), w);
    const __m128 full = _mm_set1_ps(255.0f);
    // Each value truncated as StoreChannel takes it, its low eight bits at its place.
    const auto place = [&](__m128 value, int lane) {
        return _mm_sll_epi32(_mm_and_si128(_mm_cvttps_epi32(value), byte), _mm_cvtsi32_si128(8 * lane));
    };
    const auto mixed = [&](int lane, __m128 ring_channel) {
        return place(_mm_add_ps(_mm_mul_ps(keep, channel(lane)), _mm_mul_ps(_mm_mul_ps(w, ring_channel), full)), lane);
    };
    __m128i result = place(_mm_mul_ps(over, full), ALPHA_LANE);
    result = _mm_or_si128(result, mixed(red_lane, ring.red));
    result = _mm_or_si128(result, mixed(red_lane + 1, ring.green));
    result = _mm_or_si128(result, mixed(red_lane + 2, ring.blue));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), result);
}

// BlendNormalFloatLanes at four pixels.
template <int ALPHA_LANE>
void BlendNormalFloatQuad(const float *in, float *out, const QuadSample &ring, bool default_environment) noexcept {
    constexpr int red_lane = RED_LANE<ALPHA_LANE>;
    __m128 lanes[4];
    for (uint32_t k = 0; k < 4; ++k) {
        lanes[k] = _mm_loadu_ps(in + k * 4);
    }
    _MM_TRANSPOSE4_PS(lanes[0], lanes[1], lanes[2], lanes[3]);  // lanes[c]: channel c of the four
    __m128 over;
    __m128 w;
    NormalWeights(lanes[ALPHA_LANE], ring.f, default_environment, over, w);
    const __m128 keep = _mm_sub_ps(_mm_set1_ps(1.0f), w);
    const auto mixed = [&](int lane, __m128 ring_channel) {
        lanes[lane] = _mm_add_ps(_mm_mul_ps(keep, lanes[lane]), _mm_mul_ps(w, ring_channel));
    };
    mixed(red_lane, ring.red);
    mixed(red_lane + 1, ring.green);
    mixed(red_lane + 2, ring.blue);
    lanes[ALPHA_LANE] = over;
    _MM_TRANSPOSE4_PS(lanes[0], lanes[1], lanes[2], lanes[3]);
    for (uint32_t k = 0; k < 4; ++k) {
        _mm_storeu_ps(out + k * 4, lanes[k]);
    }
}

// Pixels the ring may reach, from column x on, none of them past column 0
// but x itself: their coverage worked out eight at a time from the
// thread's generator, which then steps past them. With kept, each pixel's
// coverage is also written there in turn; returns where the next goes.
template <typename Depth, typename Layout>
double *ShadeCoveredStretch(const RingRenderInfo &info, RingThreadState &thread, int32_t x, int32_t y,
                            const typename Layout::Element *in, typename Layout::Element *out, uint32_t count,
                            double *kept) noexcept {
    using Pixel = typename Depth::PixelType;
    constexpr size_t stride = Layout::STRIDE;
    const CoveredBlend blend(info);
    const bool default_environment = InDefaultEnvironment();
    if (count != 0 && x == 0) {
        const Pixel source = Layout::Load(in);
        Pixel shaded = source;
        const RingSample first = RingCoverage(info, 0, y);  // reseeds the row
        Depth::Blend(blend.blend_mode, first, source, shaded);
        Layout::Store(shaded, out);
        if (kept != nullptr) {
            *kept++ = first.f;
        }
        in += stride;
        out += stride;
        ++x;
        --count;
    }
    double coverage[RING_RUN_PIXELS];
    for (uint32_t k = 0; k < count; k += RING_RUN_PIXELS) {
        const uint32_t group = count - k < RING_RUN_PIXELS ? count - k : RING_RUN_PIXELS;
        const uint32_t state = RingCoverageRun(info, x + static_cast<int32_t>(k), y, thread.scatter_state, group,
                                               coverage);
        if (kept != nullptr) {
            kept = std::copy(coverage, coverage + group, kept);
        }
        uint32_t j = 0;
        if constexpr (sizeof(Pixel) == 4 || std::is_same_v<Pixel, PF_PixelFloat>) {
            if (blend.blend_mode == BLEND_NORMAL) {
                for (; j + QUAD_PIXELS <= group; j += QUAD_PIXELS) {
                    const size_t at = (k + j) * stride;
                    const QuadSample ring(blend, coverage + j);
                    if constexpr (sizeof(Pixel) == 4) {
                        BlendNormal8Quad<Layout::ALPHA_LANE>(reinterpret_cast<const unsigned char *>(in + at),
                                                             reinterpret_cast<unsigned char *>(out + at), ring,
                                                             default_environment);
                    } else {
                        BlendNormalFloatQuad<Layout::ALPHA_LANE>(reinterpret_cast<const float *>(in + at),
                                                                 reinterpret_cast<float *>(out + at), ring,
                                                                 default_environment);
                    }
                }
            }
        }
        for (; j < group; ++j) {
            const size_t at = (k + j) * stride;
            if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
                if (blend.blend_mode == BLEND_NORMAL) {
                    const RingSample ring = blend.SampleAt(coverage[j]);
                    BlendNormal8Lanes<Layout::ALPHA_LANE>(
                        reinterpret_cast<const unsigned char *>(in + at), reinterpret_cast<unsigned char *>(out + at),
                        static_cast<float>(ring.f), ColorLanes<Layout::ALPHA_LANE>(ring.red, ring.green, ring.blue));
                    continue;
                }
            }
            if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
                if (blend.blend_mode == BLEND_NORMAL) {
                    const RingSample ring = blend.SampleAt(coverage[j]);
                    BlendNormalFloatLanes<Layout::ALPHA_LANE>(
                        reinterpret_cast<const float *>(in + at), reinterpret_cast<float *>(out + at),
                        static_cast<float>(ring.f), ColorLanes<Layout::ALPHA_LANE>(ring.red, ring.green, ring.blue));
                    continue;
                }
            }
            const Pixel source = Layout::Load(in + at);
            Pixel shaded = source;
            Depth::Blend(blend.blend_mode, blend.SampleAt(coverage[j]), source, shaded);
            Layout::Store(shaded, out + at);
        }
        thread.scatter_state = state;
    }
    return kept;
}

bool KnownBlendMode(int32_t blend_mode) noexcept {
    return blend_mode >= BLEND_NONE && blend_mode <= BLEND_STENCIL_MULTIPLY_ALPHA;
}

// Returns how many coverages went to kept.
template <typename Depth, typename Layout>
size_t ShadeRow(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const typename Layout::Element *in,
                typename Layout::Element *out, RowWrites writes = RowWrites::CACHED, double *kept = nullptr) noexcept {
    constexpr size_t stride = Layout::STRIDE;
    constexpr int64_t past_last = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    const int64_t end = std::min(int64_t{x} + int64_t{count}, past_last);
    if (end <= x) {
        return 0;
    }
    double *const kept_first = kept;
    RingThreadState &thread = CurrentRingThreadState();
    RingPlanCache &cache = thread.plan_cache;
    // An unknown mode writes nothing, but the row's noise moves on all the
    // same; the thread's plan, not followed along the row, is made afresh.
    if (!KnownBlendMode(info.blend_mode)) {
        SkipNoise(info, x, end, y);
        cache.record = nullptr;
        return 0;
    }
    // A stretch that goes on where the thread left the row keeps its plan and span.
    if (x == 0 || !ContinuesRingRow(cache, info, x, y)) {
        RenewRingPlan(thread, info, x, y);
    }
    const RingPlan &plan = cache.plan;
    const RingRowSpan &span = cache.span;
    for (int64_t column = x; column < end;) {
        // Up to the next edge of the span or its hole, or column 0, where the row reseeds.
        const int64_t stop = NextRingRowSpanEdge(span, column, column < 0 ? std::min<int64_t>(end, 0) : end);
        const auto offset = static_cast<size_t>(column - x) * stride;
        const auto stretch = static_cast<uint32_t>(stop - column);
        const auto at = static_cast<int32_t>(column);
        if (InRingRowSpan(span, at)) {
            kept = ShadeCoveredStretch<Depth, Layout>(info, thread, at, y, in + offset, out + offset, stretch, kept);
        } else {
            SkipNoise(info, column, stop, y);
            ShadeUncoveredStretch<Depth, Layout>(info, plan, in + offset, out + offset, stretch, writes);
        }
        column = stop;
    }
    if (writes == RowWrites::STREAMED) {
        _mm_sfence();
    }
    // A pixel function going on along the row sets its run afresh from here.
    cache.next_column = static_cast<uint32_t>(end);
    cache.run_end = std::numeric_limits<int32_t>::min();
    return kept == nullptr ? 0 : static_cast<size_t>(kept - kept_first);
}

}  // namespace

void ShadeRow8(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel *in,
               PF_Pixel *out) noexcept {
    using Depth = ring_depth::Depth8;
    ShadeRow<Depth, ModuleLayout<Depth>>(info, x, y, count, in, out);
}

void ShadeRow16(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel16 *in,
                PF_Pixel16 *out) noexcept {
    using Depth = ring_depth::Depth16;
    ShadeRow<Depth, ModuleLayout<Depth>>(info, x, y, count, in, out);
}

void ShadeRowFloat(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_PixelFloat *in,
                   PF_PixelFloat *out) noexcept {
    using Depth = ring_depth::DepthFloat;
    ShadeRow<Depth, ModuleLayout<Depth>>(info, x, y, count, in, out);
}

void ShadeRowRgba8(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const uint8_t *in,
                   uint8_t *out, RowWrites writes) noexcept {
    ShadeRow<ring_depth::Depth8, RgbaBytes>(info, x, y, count, in, out, writes);
}

void ShadeRowRgbaFloat(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const float *in,
                       float *out, RowWrites writes) noexcept {
    ShadeRow<ring_depth::DepthFloat, RgbaFloats>(info, x, y, count, in, out, writes);
}

void KeepRgba8Colors(const uint8_t *in, uint8_t *out, size_t count, RowWrites writes) noexcept {
    KeepStretch8<RgbaBytes>(in, out, count, writes);
    if (writes == RowWrites::STREAMED) {
        _mm_sfence();
    }
}

size_t ShadeRowRgba8Keeping(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const uint8_t *in,
                            uint8_t *out, double *coverage, RowWrites writes) noexcept {
    return ShadeRow<ring_depth::Depth8, RgbaBytes>(info, x, y, count, in, out, writes, coverage);
}
