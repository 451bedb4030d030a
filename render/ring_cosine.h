// The effect's own double-precision cosine: correctly rounded (the double
// nearest to the true cosine) for every finite argument, built from IEEE
// double operations in a fixed order and integer arithmetic only, so every
// compiler and platform gives the same bits. The smoothing step calls it
// instead of the platform's cosine, whose last bits differ between runtimes.
#pragma once

// cos(x); NaN for NaN and for either infinity.
double CorrectlyRoundedCos(double x) noexcept;

// The two paths, for tests. The quick path works in double-double
// arithmetic and decides most arguments; where it cannot be sure of the
// rounding it leaves the result to the precise path, which reduces and
// evaluates in 192-bit fixed point.
bool QuickCos(double x, double &result) noexcept;
double PreciseCos(double x) noexcept;
