// Reading single option values. Each parser takes the option's name for
// its message and throws CliError when the text is not a value of the kind.
#pragma once

#include <cstdint>
#include <string>

#include "host/host_types.h"
#include "sim/sim_types.h"

namespace tidalhalo::cli {

// A finite decimal number; a trailing '%' is allowed when percent is true.
double ParseNumber(const std::string &option, const std::string &text, bool percent = false);

// A whole number within min..max.
int32_t ParseInteger(const std::string &option, const std::string &text, int32_t min, int32_t max);

// A positive ratio: "N/D", a whole number or a decimal ("0.9" is 9/10).
sim::Rational ParseRatio(const std::string &option, const std::string &text);

// "#RRGGBB" (the '#' may be left out), opaque.
PF_Pixel ParseColor(const std::string &option, const std::string &text);

// Shortest text that reads back as the same float (for ranges in messages).
std::string FormatNumber(double value);

}  // namespace tidalhalo::cli
