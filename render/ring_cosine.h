// The effect's own double-precision cosine: correctly rounded (the double
// nearest to the true cosine) for every finite argument, built from IEEE
// double operations in a fixed order and integer arithmetic only, so every
// compiler and platform gives the same bits. The smoothing step calls it
// instead of the platform's cosine, whose last bits differ between runtimes.
//
// Two paths. The quick one, inline because the pixel functions call it once
// per pixel, covers 0..pi and a little more in double-double arithmetic and
// decides nearly every argument; where its rounding test cannot be sure, and
// for larger arguments, the precise path reduces and evaluates in 192-bit
// fixed point.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "render/bit_cast.h"

namespace cosine_arithmetic {

// Written for any type with double's operators (double, or two doubles side
// by side), so that each form does the same operations in the same order.
template <typename Real>
struct DoubleDoubleOf {
    Real hi;
    Real lo;
};

using DoubleDouble = DoubleDoubleOf<double>;

// a + b = hi + lo exactly.
template <typename Real>
inline DoubleDoubleOf<Real> TwoSum(Real a, Real b) noexcept {
    const Real s = a + b;
    const Real b_part = s - a;
    return {s, (a - (s - b_part)) + (b - b_part)};
}

// The same when |a| >= |b|.
template <typename Real>
inline DoubleDoubleOf<Real> FastTwoSum(Real a, Real b) noexcept {
    const Real s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo, each with at most 26 significant bits (Veltkamp's splitting).
template <typename Real>
constexpr DoubleDoubleOf<Real> Split(Real a) noexcept {
    const Real c = Real(134217729.0) * a;  // 2^27 + 1
    const Real hi = c - (c - a);
    return {hi, a - hi};
}

inline double Magnitude(double a) noexcept { return a < 0.0 ? -a : a; }

}  // namespace cosine_arithmetic

// cos and sin of i/128 in double-double, with sin_hi split in halves of 26
// bits for exact products.
struct CosTableEntry {
    double cos_hi, cos_lo, sin_hi, sin_lo, sin_split_hi, sin_split_lo;
};

inline constexpr int COS_TABLE_STEPS = 128;  // table points per unit of x
inline constexpr size_t COS_TABLE_SIZE = 403;

// The table as constant data, so that nothing is computed when the module
// loads: literals printed by tests/unit/cos_table_generator from
// MakeCosTable, which a unit test compares them with bit for bit.
#include "render/ring_cosine_table.h"

// The table made from the precise path.
std::array<CosTableEntry, COS_TABLE_SIZE> MakeCosTable() noexcept;

// The quick path's range, 0..pi and a little more: round(x*128) <= 402.
inline constexpr double COS_QUICK_LIMIT = 402.5 / COS_TABLE_STEPS;
// The quick path's error is below 2^-67.3*|cos x| + 2^-74.5 (see QuickCos).
inline constexpr double COS_QUICK_RELATIVE_ERROR = 0x1p-66;
inline constexpr double COS_QUICK_ABSOLUTE_ERROR = 0x1p-73;

// cos(x) for any double: the precise path alone, also for NaN and infinities.
double PreciseCos(double x) noexcept;

// x = a + z with a = i/128 and |z| <= 1/256, exactly, and
//   cos(a + z) = cos a - sin a * z - (sin a * (sin z - z) + cos a * (1 - cos z)).
// sin a * z is formed exactly from z's and sin a's halves and small
// corrections, and added to cos a in double-double; sin z - z and 1 - cos z
// are below 2^-26 and 2^-17 and their Taylor polynomials, whose first
// omitted terms are below 2^-79, are evaluated in double. Each term left in
// double carries an error below 2^-69 of cos a or 2^-77 absolutely. Near
// pi/2, where cos a and sin a * z cancel, the absolute part of the bound
// makes the rounding test hand the arguments closest to pi/2 on.
// Returns false, leaving result alone, when it cannot decide.
// The rounding test's two candidates: where they are equal, that value is
// cos x correctly rounded. ax lies in [0, COS_QUICK_LIMIT), shifted is
// ax * 128 + 1.5 * 2^52 and entry the table's entry for its low bits.
template <typename Real, typename Entry>
inline cosine_arithmetic::DoubleDoubleOf<Real> QuickCosCandidates(Real ax, Real shifted, const Entry &entry) noexcept {
    using namespace cosine_arithmetic;
    // Exact: i/128 lies within a factor 2 of x, or is 0.
    const Real z = ax - (shifted - 0x1.8p52) * (1.0 / COS_TABLE_STEPS);
    const Real z2 = z * z;
    const Real sin_z_rest = z * (z2 * (-1.0 / 6.0 + z2 * (1.0 / 120.0 - z2 * (1.0 / 5040.0))));
    const Real one_minus_cos_z = z2 * (0.5 - z2 * (1.0 / 24.0 - z2 * (1.0 / 720.0)));

    const DoubleDoubleOf<Real> z_split = Split(z);
    const Real product = z_split.hi * entry.sin_split_hi;  // exact: 26 bits by 26 bits
    const Real small = ((z_split.hi * entry.sin_split_lo + z_split.lo * entry.sin_hi) + entry.sin_lo * z) +
                       entry.sin_hi * sin_z_rest + entry.cos_hi * one_minus_cos_z;
    DoubleDoubleOf<Real> y = TwoSum(entry.cos_hi, -product);
    y = FastTwoSum(y.hi, y.lo + (entry.cos_lo - small));

    const Real error = Magnitude(y.hi) * COS_QUICK_RELATIVE_ERROR + COS_QUICK_ABSOLUTE_ERROR;
    return {y.hi + (y.lo + error), y.hi + (y.lo - error)};
}

inline bool QuickCos(double x, double &result) noexcept {
    const double ax = x < 0.0 ? -x : x;
    if (!(ax < COS_QUICK_LIMIT)) {
        return false;  // also NaN
    }
    // i = round(x*128) in the low bits of the sum, without a conversion.
    const double shifted = ax * COS_TABLE_STEPS + 0x1.8p52;
    const size_t i = static_cast<size_t>(BitCast<uint64_t>(shifted) & 0xFFFFu);
    const cosine_arithmetic::DoubleDouble candidates = QuickCosCandidates(ax, shifted, COS_TABLE[i]);
    if (candidates.hi != candidates.lo) {
        return false;
    }
    result = candidates.hi;
    return true;
}

// cos(x); NaN for NaN and for either infinity.
inline double CorrectlyRoundedCos(double x) noexcept {
    double result = 0.0;
    if (QuickCos(x, result)) {
        return result;
    }
    return PreciseCos(x);
}
