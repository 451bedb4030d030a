// 2 * N doubles side by side in N SSE2 registers, with the operators of a
// single double. Every operation is IEEE 754 on each lane, rounded exactly
// as the same operation on one double, so an expression written once for
// double and once for this type gives the same bits lane by lane. With N
// above 1 the registers' chains of operations are independent, and the
// compiler interleaves them, so that one waits while another computes.
// SSE2 is part of every x86-64 processor.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

template <int N>
struct DoubleLanes {
    static constexpr int COUNT = 2 * N;
    __m128d v[static_cast<size_t>(N)];

    DoubleLanes() noexcept = default;
    // Implicit, so that constants in a shared expression apply to every lane.
    DoubleLanes(double all) noexcept {
        for (int j = 0; j < N; ++j) {
            v[j] = _mm_set1_pd(all);
        }
    }

    static DoubleLanes Of(const double *values) noexcept {
        DoubleLanes lanes;
        for (int j = 0; j < N; ++j) {
            lanes.v[j] = _mm_set_pd(values[2 * j + 1], values[2 * j]);
        }
        return lanes;
    }
    void Store(double *values) const noexcept {
        for (int j = 0; j < N; ++j) {
            _mm_storeu_pd(values + 2 * j, v[j]);
        }
    }
};

template <int N, typename Op>
inline DoubleLanes<N> EachRegister(DoubleLanes<N> a, DoubleLanes<N> b, Op op) noexcept {
    DoubleLanes<N> r;
    for (int j = 0; j < N; ++j) {
        r.v[j] = op(a.v[j], b.v[j]);
    }
    return r;
}

template <int N>
inline DoubleLanes<N> operator+(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_add_pd(p, q); });
}
template <int N>
inline DoubleLanes<N> operator-(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_sub_pd(p, q); });
}
template <int N>
inline DoubleLanes<N> operator*(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_mul_pd(p, q); });
}
template <int N>
inline DoubleLanes<N> operator/(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_div_pd(p, q); });
}
// Mixed with a plain double, which stands for every lane.
template <int N>
inline DoubleLanes<N> operator+(double a, DoubleLanes<N> b) noexcept { return DoubleLanes<N>(a) + b; }
template <int N>
inline DoubleLanes<N> operator+(DoubleLanes<N> a, double b) noexcept { return a + DoubleLanes<N>(b); }
template <int N>
inline DoubleLanes<N> operator-(double a, DoubleLanes<N> b) noexcept { return DoubleLanes<N>(a) - b; }
template <int N>
inline DoubleLanes<N> operator-(DoubleLanes<N> a, double b) noexcept { return a - DoubleLanes<N>(b); }
template <int N>
inline DoubleLanes<N> operator*(double a, DoubleLanes<N> b) noexcept { return DoubleLanes<N>(a) * b; }
template <int N>
inline DoubleLanes<N> operator*(DoubleLanes<N> a, double b) noexcept { return a * DoubleLanes<N>(b); }
template <int N>
inline DoubleLanes<N> operator/(DoubleLanes<N> a, double b) noexcept { return a / DoubleLanes<N>(b); }

template <int N>
inline DoubleLanes<N> operator-(DoubleLanes<N> a) noexcept {
    return EachRegister(a, DoubleLanes<N>(-0.0), [](__m128d p, __m128d sign) { return _mm_xor_pd(p, sign); });
}
template <int N>
inline DoubleLanes<N> Sqrt(DoubleLanes<N> a) noexcept {
    return EachRegister(a, a, [](__m128d p, __m128d) { return _mm_sqrt_pd(p); });
}
// |a| with the sign bit cleared.
template <int N>
inline DoubleLanes<N> Magnitude(DoubleLanes<N> a) noexcept {
    return EachRegister(a, DoubleLanes<N>(-0.0), [](__m128d p, __m128d sign) { return _mm_andnot_pd(sign, p); });
}

// Each lane's comparison as all ones or all zeros; false where either side
// is NaN, as with double's comparisons.
template <int N>
struct LaneMask {
    DoubleLanes<N> bits;
    // Bit k for lane k.
    int Lanes() const noexcept {
        int lanes = 0;
        for (int j = 0; j < N; ++j) {
            lanes |= _mm_movemask_pd(bits.v[j]) << (2 * j);
        }
        return lanes;
    }
};

template <int N>
inline LaneMask<N> operator&(LaneMask<N> a, LaneMask<N> b) noexcept {
    return {EachRegister(a.bits, b.bits, [](__m128d p, __m128d q) { return _mm_and_pd(p, q); })};
}
template <int N>
inline LaneMask<N> operator|(LaneMask<N> a, LaneMask<N> b) noexcept {
    return {EachRegister(a.bits, b.bits, [](__m128d p, __m128d q) { return _mm_or_pd(p, q); })};
}
template <int N>
inline LaneMask<N> GreaterEqual(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_cmpge_pd(p, q); })};
}
template <int N>
inline LaneMask<N> Greater(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_cmpgt_pd(p, q); })};
}
template <int N>
inline LaneMask<N> Less(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_cmplt_pd(p, q); })};
}
template <int N>
inline LaneMask<N> Equal(DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m128d p, __m128d q) { return _mm_cmpeq_pd(p, q); })};
}

// a where the mask is set, b elsewhere.
template <int N>
inline DoubleLanes<N> Select(LaneMask<N> mask, DoubleLanes<N> a, DoubleLanes<N> b) noexcept {
    DoubleLanes<N> r;
    for (int j = 0; j < N; ++j) {
        r.v[j] = _mm_or_pd(_mm_and_pd(mask.bits.v[j], a.v[j]), _mm_andnot_pd(mask.bits.v[j], b.v[j]));
    }
    return r;
}

// a where the mask is set, +0 elsewhere.
template <int N>
inline DoubleLanes<N> KeepWhere(LaneMask<N> mask, DoubleLanes<N> a) noexcept {
    return EachRegister(mask.bits, a, [](__m128d m, __m128d p) { return _mm_and_pd(m, p); });
}

// Each lane's bit pattern.
template <int N>
inline void StoreBits(DoubleLanes<N> a, uint64_t *bits) noexcept {
    for (int j = 0; j < N; ++j) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(bits + 2 * j), _mm_castpd_si128(a.v[j]));
    }
}

// Two neighbouring doubles of each of 2 * N places, the first of each pair
// to first's lanes and the second to second's, in the order of places.
template <int N>
inline void LoadPairs(const double *const *places, DoubleLanes<N> &first, DoubleLanes<N> &second) noexcept {
    for (int j = 0; j < N; ++j) {
        const __m128d even = _mm_loadu_pd(places[2 * j]);
        const __m128d odd = _mm_loadu_pd(places[2 * j + 1]);
        first.v[j] = _mm_unpacklo_pd(even, odd);
        second.v[j] = _mm_unpackhi_pd(even, odd);
    }
}
