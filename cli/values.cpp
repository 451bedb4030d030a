#include "cli/values.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "cli/cli_error.h"

namespace tidalhalo::cli {
namespace {

std::string Quoted(const std::string &text) {
    return "'" + text + "'";
}

}  // namespace

double ParseNumber(const std::string &option, const std::string &text, bool percent) {
    std::string digits = text;
    if (percent && !digits.empty() && digits.back() == '%') {
        digits.pop_back();
    }
    double value = 0.0;
    const char *end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
        throw CliError(option, Quoted(text) + " is not a number");
    }
    return value;
}

int32_t ParseInteger(const std::string &option, const std::string &text, int32_t min, int32_t max) {
    int64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        throw CliError(option, Quoted(text) + " is not a whole number");
    }
    if (value < min || value > max) {
        throw CliError(option, text + " is outside the valid range " + std::to_string(min) + " to " +
                                   std::to_string(max));
    }
    return static_cast<int32_t>(value);
}

sim::Rational ParseRatio(const std::string &option, const std::string &text) {
    const std::string bad = Quoted(text) + " is not a positive ratio such as 10/11 or 0.9";
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        int64_t num = 0, den = 0;
        const char *mid = text.data() + slash;
        const char *end = text.data() + text.size();
        const auto a = std::from_chars(text.data(), mid, num);
        const auto b = std::from_chars(mid + 1, end, den);
        if (a.ec != std::errc() || a.ptr != mid || b.ec != std::errc() || b.ptr != end || num <= 0 ||
            den <= 0 || num > INT32_MAX || den > INT32_MAX) {
            throw CliError(option, bad);
        }
        return {static_cast<int32_t>(num), static_cast<uint32_t>(den)};
    }
    // A decimal becomes an exact fraction: digits over a power of ten.
    int64_t num = 0;
    uint32_t den = 1;
    bool seen_point = false, seen_digit = false;
    for (const char c : text) {
        if (c == '.' && !seen_point) {
            seen_point = true;
        } else if (std::isdigit(static_cast<unsigned char>(c)) && num < 100000000 &&
                   (!seen_point || den < 1000000)) {
            num = num * 10 + (c - '0');
            den = seen_point ? den * 10 : den;
            seen_digit = true;
        } else {
            throw CliError(option, bad);
        }
    }
    if (!seen_digit || num == 0) {
        throw CliError(option, bad);
    }
    return {static_cast<int32_t>(num), den};
}

PF_Pixel ParseColor(const std::string &option, const std::string &text) {
    const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    uint32_t rgb = 0;
    const char *end = hex.data() + hex.size();
    const auto [stop, error] = std::from_chars(hex.data(), end, rgb, 16);
    if (hex.size() != 6 || error != std::errc() || stop != end) {
        throw CliError(option, Quoted(text) + " is not a colour written #RRGGBB");
    }
    return {255, static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)};
}

std::string FormatNumber(double value) {
    // Declared ranges are floats: shown in their shortest form, so 0.05f
    // reads 0.05, not 0.0500000007.
    char buffer[64];
    const float narrow = static_cast<float>(value);
    const auto result = static_cast<double>(narrow) == value
                            ? std::to_chars(buffer, buffer + sizeof buffer, narrow, std::chars_format::fixed)
                            : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc()) {
        return std::to_string(value);
    }
    return std::string(buffer, result.ptr);
}

}  // namespace tidalhalo::cli
