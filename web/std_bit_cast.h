// The C++ library that comes with the WebAssembly compiler predates
// std::bit_cast, which the shading library uses to read a double's bits.
// This build includes this header first, giving it the compiler's own
// builtin, which is the same operation; a library that has it keeps its own.
#pragma once

#include <bit>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From &from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "bit_cast needs types of one size");
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
