// A value's bits as another type of the same size. The same operation as
// std::bit_cast, through the compiler's builtin, because the C++ library of
// the WebAssembly build predates std::bit_cast.
#pragma once

template <typename To, typename From>
constexpr To BitCast(const From &from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "BitCast needs types of one size");
    return __builtin_bit_cast(To, from);
}
