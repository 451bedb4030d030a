// DoubleLanes over AVX registers: 4 * N doubles side by side in N 256-bit
// registers, with the same operations, each IEEE 754 on every lane and so
// rounded as on one double. Only for the one source file compiled for
// AVX2, which is called on processors that have it; nothing here may be
// included anywhere else, and all of it has internal linkage, so that no
// copy of it, nor of a template it is used in, is shared with other code.
#pragma once

#if !defined(__AVX2__)
#error "render/wide_double_lanes.h is for the source compiled with AVX2 alone"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

template <int N>
struct WideDoubleLanes {
    static constexpr int COUNT = 4 * N;
    __m256d v[static_cast<size_t>(N)];

    WideDoubleLanes() noexcept = default;
    WideDoubleLanes(double all) noexcept {
        for (int j = 0; j < N; ++j) {
            v[j] = _mm256_set1_pd(all);
        }
    }

    static WideDoubleLanes Of(const double *values) noexcept {
        WideDoubleLanes lanes;
        for (int j = 0; j < N; ++j) {
            lanes.v[j] = _mm256_loadu_pd(values + 4 * j);
        }
        return lanes;
    }
    void Store(double *values) const noexcept {
        for (int j = 0; j < N; ++j) {
            _mm256_storeu_pd(values + 4 * j, v[j]);
        }
    }
};

template <int N, typename Op>
inline WideDoubleLanes<N> EachRegister(WideDoubleLanes<N> a, WideDoubleLanes<N> b, Op op) noexcept {
    WideDoubleLanes<N> r;
    for (int j = 0; j < N; ++j) {
        r.v[j] = op(a.v[j], b.v[j]);
    }
    return r;
}

template <int N>
inline WideDoubleLanes<N> operator+(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_add_pd(p, q); });
}
template <int N>
inline WideDoubleLanes<N> operator-(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_sub_pd(p, q); });
}
template <int N>
inline WideDoubleLanes<N> operator*(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_mul_pd(p, q); });
}
template <int N>
inline WideDoubleLanes<N> operator/(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_div_pd(p, q); });
}
template <int N>
inline WideDoubleLanes<N> operator+(double a, WideDoubleLanes<N> b) noexcept { return WideDoubleLanes<N>(a) + b; }
template <int N>
inline WideDoubleLanes<N> operator+(WideDoubleLanes<N> a, double b) noexcept { return a + WideDoubleLanes<N>(b); }
template <int N>
inline WideDoubleLanes<N> operator-(double a, WideDoubleLanes<N> b) noexcept { return WideDoubleLanes<N>(a) - b; }
template <int N>
inline WideDoubleLanes<N> operator-(WideDoubleLanes<N> a, double b) noexcept { return a - WideDoubleLanes<N>(b); }
template <int N>
inline WideDoubleLanes<N> operator*(double a, WideDoubleLanes<N> b) noexcept { return WideDoubleLanes<N>(a) * b; }
template <int N>
inline WideDoubleLanes<N> operator*(WideDoubleLanes<N> a, double b) noexcept { return a * WideDoubleLanes<N>(b); }
template <int N>
inline WideDoubleLanes<N> operator/(WideDoubleLanes<N> a, double b) noexcept { return a / WideDoubleLanes<N>(b); }

template <int N>
inline WideDoubleLanes<N> operator-(WideDoubleLanes<N> a) noexcept {
    return EachRegister(a, WideDoubleLanes<N>(-0.0), [](__m256d p, __m256d sign) { return _mm256_xor_pd(p, sign); });
}
template <int N>
inline WideDoubleLanes<N> Sqrt(WideDoubleLanes<N> a) noexcept {
    return EachRegister(a, a, [](__m256d p, __m256d) { return _mm256_sqrt_pd(p); });
}
template <int N>
inline WideDoubleLanes<N> Magnitude(WideDoubleLanes<N> a) noexcept {
    return EachRegister(a, WideDoubleLanes<N>(-0.0),
                        [](__m256d p, __m256d sign) { return _mm256_andnot_pd(sign, p); });
}

// Each lane's comparison as all ones or all zeros, false where either side
// is NaN (the ordered, quiet predicates), as with double's comparisons.
template <int N>
struct WideLaneMask {
    WideDoubleLanes<N> bits;
    int Lanes() const noexcept {
        int lanes = 0;
        for (int j = 0; j < N; ++j) {
            lanes |= _mm256_movemask_pd(bits.v[j]) << (4 * j);
        }
        return lanes;
    }
};

template <int N>
inline WideLaneMask<N> operator&(WideLaneMask<N> a, WideLaneMask<N> b) noexcept {
    return {EachRegister(a.bits, b.bits, [](__m256d p, __m256d q) { return _mm256_and_pd(p, q); })};
}
template <int N>
inline WideLaneMask<N> GreaterEqual(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_cmp_pd(p, q, _CMP_GE_OQ); })};
}
template <int N>
inline WideLaneMask<N> Greater(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_cmp_pd(p, q, _CMP_GT_OQ); })};
}
template <int N>
inline WideLaneMask<N> Less(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_cmp_pd(p, q, _CMP_LT_OQ); })};
}
template <int N>
inline WideLaneMask<N> Equal(WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    return {EachRegister(a, b, [](__m256d p, __m256d q) { return _mm256_cmp_pd(p, q, _CMP_EQ_OQ); })};
}

template <int N>
inline WideDoubleLanes<N> Select(WideLaneMask<N> mask, WideDoubleLanes<N> a, WideDoubleLanes<N> b) noexcept {
    WideDoubleLanes<N> r;
    for (int j = 0; j < N; ++j) {
        r.v[j] = _mm256_blendv_pd(b.v[j], a.v[j], mask.bits.v[j]);
    }
    return r;
}

template <int N>
inline WideDoubleLanes<N> KeepWhere(WideLaneMask<N> mask, WideDoubleLanes<N> a) noexcept {
    return EachRegister(mask.bits, a, [](__m256d m, __m256d p) { return _mm256_and_pd(m, p); });
}

// Each lane's bit pattern.
template <int N>
inline void StoreBits(WideDoubleLanes<N> a, uint64_t *bits) noexcept {
    for (int j = 0; j < N; ++j) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(bits + 4 * j), _mm256_castpd_si256(a.v[j]));
    }
}

// Two neighbouring doubles of each of 4 * N places, the first of each pair
// to first's lanes and the second to second's, in the order of places.
template <int N>
inline void LoadPairs(const double *const *places, WideDoubleLanes<N> &first, WideDoubleLanes<N> &second) noexcept {
    for (int j = 0; j < N; ++j) {
        const double *const *four = places + 4 * j;
        const __m256d even = _mm256_set_m128d(_mm_loadu_pd(four[2]), _mm_loadu_pd(four[0]));
        const __m256d odd = _mm256_set_m128d(_mm_loadu_pd(four[3]), _mm_loadu_pd(four[1]));
        first.v[j] = _mm256_unpacklo_pd(even, odd);
        second.v[j] = _mm256_unpackhi_pd(even, odd);
    }
}

}  // namespace
