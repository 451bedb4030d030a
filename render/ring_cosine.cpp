#include "render/ring_cosine.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

// The precise path: integer arithmetic. x * 2/pi is reduced modulo 4 with
// 320 bits of 2/pi from where the argument's exponent starts mattering, so
// the reduced r = x - k*pi/2 keeps 190 significant bits even for the
// arguments closest to a multiple of pi/2; cos r or sin r then comes from 22
// Taylor terms in 192-bit fixed point, each step truncating below 2^-186,
// and one correctly rounded conversion to double.

namespace {

using namespace cosine_arithmetic;

// 2^e, exactly, for |e| <= 62.
constexpr double PowerOfTwo(int e) noexcept {
    return e >= 0 ? static_cast<double>(uint64_t{1} << e) : 1.0 / static_cast<double>(uint64_t{1} << -e);
}

constexpr double ScaleByPowerOfTwo(double v, int e) noexcept {
    while (e > 60) {
        v *= PowerOfTwo(60);
        e -= 60;
    }
    while (e < -60) {
        v *= PowerOfTwo(-60);
        e += 60;
    }
    return v * PowerOfTwo(e);
}

// Integers as arrays of 32-bit limbs, least significant first.

template <size_t N>
using Limbs = std::array<uint32_t, N>;

// Bits pos..pos+31 of the integer; bits outside it read as 0.
template <size_t N>
uint32_t Bits32(const Limbs<N> &v, int64_t pos) noexcept {
    auto limb = [&v](int64_t k) -> uint64_t {
        return k >= 0 && k < static_cast<int64_t>(N) ? v[static_cast<size_t>(k)] : 0;
    };
    const int64_t k = pos >= 0 ? pos / 32 : -((31 - pos) / 32);
    const int64_t offset = pos - 32 * k;
    uint64_t bits = limb(k) >> offset;
    if (offset != 0) {
        bits |= limb(k + 1) << (32 - offset);
    }
    return static_cast<uint32_t>(bits);
}

template <size_t N>
uint32_t Bit(const Limbs<N> &v, int64_t pos) noexcept {
    return Bits32(v, pos) & 1u;
}

template <size_t N>
int64_t BitLength(const Limbs<N> &v) noexcept {
    for (size_t k = N; k-- > 0;) {
        if (v[k] != 0) {
            return static_cast<int64_t>(32 * k) + std::bit_width(v[k]);
        }
    }
    return 0;
}

// The integer with every bit at pos and above (or, with below, under pos) cleared.
template <size_t N>
Limbs<N> ClearBits(Limbs<N> v, int64_t pos, bool below) noexcept {
    for (size_t k = 0; k < N; ++k) {
        const int64_t first = static_cast<int64_t>(32 * k);
        if (pos <= first) {
            v[k] = below ? v[k] : 0;
        } else if (pos < first + 32) {
            const uint32_t low_mask = (1u << (pos - first)) - 1u;
            v[k] &= below ? ~low_mask : low_mask;
        } else if (below) {
            v[k] = 0;
        }
    }
    return v;
}

// Fixed point: 7 limbs, the top one the integer part, 192 fraction bits.

constexpr size_t FIXED_LIMBS = 7;
constexpr int FIXED_FRACTION_BITS = 192;
using Fixed = Limbs<FIXED_LIMBS>;

constexpr Fixed FIXED_ONE = {0, 0, 0, 0, 0, 0, 1};

// pi/2, truncated after 192 fraction bits.
constexpr Fixed FIXED_PI_OVER_2 = {0x14CF98E8, 0x52049C11, 0x01B839A2, 0x898CC517, 0x42D18469, 0x921FB544, 1};

// The bits of 2/pi after the binary point, 32 at a time, most significant
// first: enough for the largest double's exponent and the 320 bits after it.
constexpr std::array<uint32_t, 44> TWO_OVER_PI_BITS = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561, 0xB7246E3A,
    0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484, 0xE99C7026, 0xB45F7E41,
    0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F, 0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF,
    0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B, 0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08,
    0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D, 0xA9E39161, 0x5EE61B08, 0x6599855F, 0x14A06840};

// a - b for a >= b.
Fixed Subtract(const Fixed &a, const Fixed &b) noexcept {
    Fixed d{};
    uint64_t borrow = 0;
    for (size_t k = 0; k < FIXED_LIMBS; ++k) {
        const uint64_t diff = uint64_t{a[k]} - b[k] - borrow;
        d[k] = static_cast<uint32_t>(diff);
        borrow = (diff >> 32) & 1u;
    }
    return d;
}

// a * b truncated to 192 fraction bits (error below 2^-187); the product
// must stay below 2^32.
Fixed Multiply(const Fixed &a, const Fixed &b) noexcept {
    // Limb i times limb j lands on fraction limb i + j - 6; column c holds
    // limb c - 1, and the limbs below column 0 are dropped.
    std::array<uint64_t, FIXED_LIMBS + 1> columns{};
    for (size_t i = 0; i < FIXED_LIMBS; ++i) {
        for (size_t j = 0; j < FIXED_LIMBS; ++j) {
            if (i + j < FIXED_LIMBS - 2) {
                continue;
            }
            const uint64_t product = uint64_t{a[i]} * b[j];
            const size_t column = i + j - (FIXED_LIMBS - 2);
            columns[column] += product & 0xFFFFFFFFu;
            if (column + 1 < columns.size()) {
                columns[column + 1] += product >> 32;
            }
        }
    }
    Fixed p{};
    uint64_t carry = 0;
    for (size_t column = 0; column < columns.size(); ++column) {
        const uint64_t sum = columns[column] + carry;
        if (column > 0) {
            p[column - 1] = static_cast<uint32_t>(sum);
        }
        carry = sum >> 32;
    }
    return p;
}

// a / divisor, truncated.
constexpr Fixed DivideSmall(const Fixed &a, uint32_t divisor) noexcept {
    Fixed q{};
    uint64_t remainder = 0;
    for (size_t k = FIXED_LIMBS; k-- > 0;) {
        const uint64_t current = (remainder << 32) | a[k];
        q[k] = static_cast<uint32_t>(current / divisor);
        remainder = current % divisor;
    }
    return q;
}

Fixed ShiftRight(const Fixed &a, int64_t bits) noexcept {
    Fixed s{};
    for (size_t k = 0; k < FIXED_LIMBS; ++k) {
        s[k] = Bits32(a, static_cast<int64_t>(32 * k) + bits);
    }
    return s;
}

// Taylor series, Horner's scheme from the last term: with s = r^2,
// cos r = 1 - s/(1*2) * (1 - s/(3*4) * (1 - ...)) and
// sin r / r = 1 - s/(2*3) * (1 - s/(4*5) * (1 - ...)). Every partial value
// lies in 0..1. For s <= 0.62 the first omitted term is below 2^-196.
constexpr uint32_t COS_SERIES_TERMS = 22;
using SeriesFactors = std::array<Fixed, COS_SERIES_TERMS + 1>;

// 1/((2n - 1) * 2n) or, for the sine, 1/(2n * (2n + 1)): multiplying by
// these is much faster than dividing.
constexpr SeriesFactors MakeSeriesFactors(uint32_t first) noexcept {
    SeriesFactors factors{};
    for (uint32_t n = 1; n <= COS_SERIES_TERMS; ++n) {
        factors[n] = DivideSmall(FIXED_ONE, (2 * n - 1 + first) * (2 * n + first));
    }
    return factors;
}

// Worked out by the compiler: nothing is computed when the module loads.
constexpr SeriesFactors COS_SERIES_FACTORS = MakeSeriesFactors(0);
constexpr SeriesFactors SIN_SERIES_FACTORS = MakeSeriesFactors(1);

Fixed Series(const Fixed &s, const SeriesFactors &factors) noexcept {
    Fixed h = FIXED_ONE;
    for (uint32_t n = COS_SERIES_TERMS; n >= 1; --n) {
        h = Subtract(FIXED_ONE, Multiply(Multiply(s, h), factors[n]));
    }
    return h;
}

// v * 2^exponent as a double, rounded to nearest (ties to even) or toward
// zero; v must hold at least 54 significant bits' worth of range, and the
// result must be a normal double.
double FixedToDouble(const Fixed &v, int64_t exponent, bool toward_zero) noexcept {
    const int64_t length = BitLength(v);
    if (length == 0) {
        return 0.0;
    }
    const int64_t low = length - 53;
    uint64_t mantissa = (uint64_t{Bits32(v, low + 32) & 0x1FFFFFu} << 32) | Bits32(v, low);
    int64_t scale = low - FIXED_FRACTION_BITS + exponent;
    if (!toward_zero && Bit(v, low - 1) != 0) {
        const bool sticky = BitLength(ClearBits(v, low - 1, false)) != 0;
        if (sticky || (mantissa & 1u) != 0) {
            ++mantissa;
            if (mantissa == (uint64_t{1} << 53)) {
                mantissa >>= 1;
                ++scale;
            }
        }
    }
    return ScaleByPowerOfTwo(static_cast<double>(mantissa), static_cast<int>(scale));
}

// v * 2^exponent as hi + lo with |lo| at most half an ulp of hi, to within
// 2^-105 of it.
DoubleDouble FixedToDoubleDouble(const Fixed &v, int64_t exponent) noexcept {
    const double hi = FixedToDouble(v, exponent, true);
    const Fixed rest = ClearBits(v, BitLength(v) - 53, false);
    return FastTwoSum(hi, FixedToDouble(rest, exponent, false));
}

// x = k * pi/2 + r for finite x >= 2^-27: the quadrant k modulo 4 and r as
// mantissa * 2^exponent with the mantissa in [pi/2, pi) and its sign apart.
struct PreciseReduction {
    uint32_t quadrant;
    bool negative;
    Fixed mantissa;
    int64_t exponent;
};

PreciseReduction ReducePrecisely(double x) noexcept {
    constexpr size_t WINDOW_LIMBS = 10;
    constexpr size_t PRODUCT_LIMBS = WINDOW_LIMBS + 2;
    const uint64_t bits = BitCast<uint64_t>(x);
    const uint64_t significand = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int64_t e = static_cast<int64_t>((bits >> 52) & 0x7FFu) - 1075;  // x = significand * 2^e

    // Limbs of 2/pi whose products with x are multiples of 4 do not matter.
    const int64_t first_limb = e >= 2 ? (e - 2) / 32 : 0;
    Limbs<WINDOW_LIMBS> window{};
    for (size_t k = 0; k < WINDOW_LIMBS; ++k) {
        window[WINDOW_LIMBS - 1 - k] = TWO_OVER_PI_BITS[static_cast<size_t>(first_limb) + k];
    }
    const std::array<uint64_t, 2> factor = {significand & 0xFFFFFFFFu, significand >> 32};
    Limbs<PRODUCT_LIMBS> product{};
    for (size_t i = 0; i < factor.size(); ++i) {
        uint64_t carry = 0;
        for (size_t j = 0; j < WINDOW_LIMBS; ++j) {
            const uint64_t sum = factor[i] * window[j] + product[i + j] + carry;
            product[i + j] = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        product[i + WINDOW_LIMBS] = static_cast<uint32_t>(carry);
    }
    // x * 2/pi = product * 2^-fraction_bits, modulo 4.
    const int64_t fraction_bits = 32 * (first_limb + static_cast<int64_t>(WINDOW_LIMBS)) - e;

    PreciseReduction reduction{};
    reduction.quadrant = Bit(product, fraction_bits) | (Bit(product, fraction_bits + 1) << 1);
    Limbs<PRODUCT_LIMBS> fraction = ClearBits(product, fraction_bits, false);
    if (Bit(product, fraction_bits - 1) != 0) {
        // The fraction is at least 1/2: round k up and take 1 - fraction.
        reduction.negative = true;
        reduction.quadrant = (reduction.quadrant + 1) & 3u;
        uint64_t carry = 1;
        for (uint32_t &limb : fraction) {
            const uint64_t sum = uint64_t{static_cast<uint32_t>(~limb)} + carry;
            limb = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        fraction = ClearBits(fraction, fraction_bits, false);
    }
    const int64_t length = BitLength(fraction);
    Fixed normalised{};  // the fraction's significant bits, in [1, 2)
    for (size_t k = 0; k < FIXED_LIMBS; ++k) {
        normalised[k] = Bits32(fraction, length - 1 - FIXED_FRACTION_BITS + static_cast<int64_t>(32 * k));
    }
    reduction.mantissa = Multiply(normalised, FIXED_PI_OVER_2);
    reduction.exponent = length - 1 - fraction_bits;
    return reduction;
}

// cos(x) for the reduced x as magnitude * 2^exponent, or, with quadrant_shift
// 3, sin(x) = cos(x - pi/2).
struct PreciseValue {
    Fixed magnitude;
    int64_t exponent;
    bool negative;
};

PreciseValue EvaluatePrecisely(const PreciseReduction &reduction, uint32_t quadrant_shift) noexcept {
    const uint32_t quadrant = (reduction.quadrant + quadrant_shift) & 3u;
    // s = r^2, at most (pi/4)^2.
    const Fixed s = ShiftRight(Multiply(reduction.mantissa, reduction.mantissa), -2 * reduction.exponent);
    if ((quadrant & 1u) == 0) {
        // cos(r) in quadrant 0, -cos(r) in quadrant 2.
        return {Series(s, COS_SERIES_FACTORS), 0, quadrant == 2};
    }
    // -sin(r) in quadrant 1, sin(r) in quadrant 3.
    return {Multiply(Series(s, SIN_SERIES_FACTORS), reduction.mantissa), reduction.exponent,
            (quadrant == 1) != reduction.negative};
}

// Below this the cosine rounds to 1: 1 - x^2/2 lies within half an ulp of 1.
constexpr double COS_ONE_BELOW = 0x1p-27;

}  // namespace

std::array<CosTableEntry, COS_TABLE_SIZE> MakeCosTable() noexcept {
    std::array<CosTableEntry, COS_TABLE_SIZE> table{};
    table[0] = {1.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (uint32_t i = 1; i < COS_TABLE_SIZE; ++i) {
        const PreciseReduction reduction = ReducePrecisely(static_cast<double>(i) / COS_TABLE_STEPS);
        const PreciseValue c = EvaluatePrecisely(reduction, 0);
        const PreciseValue n = EvaluatePrecisely(reduction, 3);
        DoubleDouble cos_a = FixedToDoubleDouble(c.magnitude, c.exponent);
        DoubleDouble sin_a = FixedToDoubleDouble(n.magnitude, n.exponent);
        if (c.negative) {
            cos_a = {-cos_a.hi, -cos_a.lo};
        }
        if (n.negative) {
            sin_a = {-sin_a.hi, -sin_a.lo};
        }
        const DoubleDouble sin_split = Split(sin_a.hi);
        table[i] = {cos_a.hi, cos_a.lo, sin_a.hi, sin_a.lo, sin_split.hi, sin_split.lo};
    }
    return table;
}

double PreciseCos(double x) noexcept {
    const double ax = x < 0.0 ? -x : x;
    if (!(ax <= 0x1.fffffffffffffp+1023)) {
        return x - x;  // NaN for NaN and infinities
    }
    if (ax < COS_ONE_BELOW) {
        return 1.0;
    }
    const PreciseValue value = EvaluatePrecisely(ReducePrecisely(ax), 0);
    const double magnitude = FixedToDouble(value.magnitude, value.exponent, false);
    return value.negative ? -magnitude : magnitude;
}
