// What the layout test compares: offsets, sizes and alignments of the host's
// blocks, the shapes of its callbacks and the values of its constants, each
// as host/ declares it beside the figure the host's interface states.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "host/host_interface.h"

namespace tidalhalo::layout {

struct LayoutCheck {
    const char *what;
    std::size_t declared;
    std::size_t expected;
    bool first_of_its_line;  // a member's line holds its offset and its size
};

struct ShapeCheck {
    const char *what;
    std::string declared;
    const char *expected;
};

struct NumberCheck {
    const char *what;
    long long declared;
    long long expected;
};

struct StringCheck {
    const char *what;
    const char *declared;
    const char *expected;
};

// How the Windows x64 convention passes a value: i1, i2, i4, i8 for
// integers (and enumerations) by width, p for pointers, f4 and f8 for
// floating point, v for nothing. Signedness does not matter to it.
template <class T>
std::string ValueCode() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_void_v<U>) {
        return "v";
    } else if constexpr (std::is_pointer_v<U>) {
        return "p";
    } else if constexpr (std::is_floating_point_v<U>) {
        return "f" + std::to_string(sizeof(U));
    } else {
        static_assert(std::is_integral_v<U> || std::is_enum_v<U>, "a callback passes an aggregate by value");
        return "i" + std::to_string(sizeof(U));
    }
}

template <class... Args>
std::string ArgumentCodes() {
    std::string codes;
    ((codes += (codes.empty() ? "" : ",") + ValueCode<Args>()), ...);
    return codes;
}

template <class F>
struct Shape;

template <class R, class... Args>
struct Shape<R (*)(Args...)> {
    static std::string Text() { return ValueCode<R>() + "(" + ArgumentCodes<Args...>() + ")"; }
};

template <class R, class... Args>
struct Shape<R (*)(Args..., ...)> {
    static std::string Text() {
        const std::string fixed = ArgumentCodes<Args...>();
        return ValueCode<R>() + "(" + fixed + (fixed.empty() ? "..." : ",...") + ")";
    }
};

// "return(arguments)" of a callback type, e.g. "i4(p,i4,p)".
template <class F>
std::string ShapeOf() {
    return Shape<F>::Text();
}

extern const std::size_t EXPECTED_TABLE_LINES;
const std::vector<LayoutCheck> &LayoutChecks();
const std::vector<ShapeCheck> &ShapeChecks();
const std::vector<NumberCheck> &NumberChecks();
const std::vector<StringCheck> &StringChecks();

}  // namespace tidalhalo::layout
