// Two doubles side by side in one SSE2 register, with the operators of a
// single double. Every operation is IEEE 754 on each lane, rounded exactly
// as the same operation on one double, so an expression written once for
// double and once for this type gives the same bits lane by lane. SSE2 is
// part of every x86-64 processor.
#pragma once

#include <emmintrin.h>

#include <cstdint>

struct DoublePair {
    __m128d v;

    // Implicit, so that constants in a shared expression apply to both lanes.
    DoublePair(double both) noexcept : v(_mm_set1_pd(both)) {}
    explicit DoublePair(__m128d lanes) noexcept : v(lanes) {}

    static DoublePair Of(double lane0, double lane1) noexcept { return DoublePair(_mm_set_pd(lane1, lane0)); }
    double Lane0() const noexcept { return _mm_cvtsd_f64(v); }
    double Lane1() const noexcept { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
};

inline DoublePair operator+(DoublePair a, DoublePair b) noexcept { return DoublePair(_mm_add_pd(a.v, b.v)); }
inline DoublePair operator-(DoublePair a, DoublePair b) noexcept { return DoublePair(_mm_sub_pd(a.v, b.v)); }
inline DoublePair operator*(DoublePair a, DoublePair b) noexcept { return DoublePair(_mm_mul_pd(a.v, b.v)); }
inline DoublePair operator/(DoublePair a, DoublePair b) noexcept { return DoublePair(_mm_div_pd(a.v, b.v)); }
inline DoublePair operator-(DoublePair a) noexcept { return DoublePair(_mm_xor_pd(a.v, _mm_set1_pd(-0.0))); }
inline DoublePair Sqrt(DoublePair a) noexcept { return DoublePair(_mm_sqrt_pd(a.v)); }

// Each lane's comparison as all ones or all zeros; false where either side
// is NaN, as with double's comparisons.
struct LaneMask {
    __m128d bits;
    // Bit 0 for lane 0, bit 1 for lane 1.
    int Lanes() const noexcept { return _mm_movemask_pd(bits); }
};

inline LaneMask operator&(LaneMask a, LaneMask b) noexcept { return {_mm_and_pd(a.bits, b.bits)}; }
inline LaneMask operator|(LaneMask a, LaneMask b) noexcept { return {_mm_or_pd(a.bits, b.bits)}; }
inline LaneMask GreaterEqual(DoublePair a, DoublePair b) noexcept { return {_mm_cmpge_pd(a.v, b.v)}; }
inline LaneMask Greater(DoublePair a, DoublePair b) noexcept { return {_mm_cmpgt_pd(a.v, b.v)}; }
inline LaneMask Less(DoublePair a, DoublePair b) noexcept { return {_mm_cmplt_pd(a.v, b.v)}; }
inline LaneMask Equal(DoublePair a, DoublePair b) noexcept { return {_mm_cmpeq_pd(a.v, b.v)}; }

// a where the mask is set, b elsewhere.
inline DoublePair Select(LaneMask mask, DoublePair a, DoublePair b) noexcept {
    return DoublePair(_mm_or_pd(_mm_and_pd(mask.bits, a.v), _mm_andnot_pd(mask.bits, b.v)));
}

// |a| with the sign bit cleared.
inline DoublePair Magnitude(DoublePair a) noexcept { return DoublePair(_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)); }

// The low 64 bits of each lane's pattern.
inline uint64_t Bits0(DoublePair a) noexcept { return static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_castpd_si128(a.v))); }
inline uint64_t Bits1(DoublePair a) noexcept {
    return static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_castpd_si128(_mm_unpackhi_pd(a.v, a.v))));
}
