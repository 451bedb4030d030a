// What the OpenFX layout test compares: offsets, sizes and alignments,
// member and typedef types, and constants, each as openfx/ declares it
// beside the interface's published figure for this platform.
#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

#include "openfx/ofx_api.h"

#if defined(_WIN32)
#define OFX_EXPECTED(linux_figure, windows_figure) (windows_figure)
#else
#define OFX_EXPECTED(linux_figure, windows_figure) (linux_figure)
#endif

namespace tidalhalo::ofxlayout {

struct LayoutCheck {
    const char *what;
    std::size_t declared;
    std::size_t expected;
};

struct TypeCheck {
    const char *what;
    bool same;
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

extern const std::size_t TABLE_STRUCTS;
extern const std::size_t TABLE_SUITES;
extern const std::size_t TABLE_TYPEDEFS;
extern const std::size_t TABLE_CONSTANTS;
extern const std::size_t TABLE_DECLARED_CONSTANTS;
const std::vector<LayoutCheck> &LayoutChecks();
const std::vector<TypeCheck> &TypeChecks();
const std::vector<NumberCheck> &NumberChecks();
const std::vector<StringCheck> &StringChecks();

}  // namespace tidalhalo::ofxlayout
