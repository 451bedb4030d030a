// The environment a frame is shaded in: the arithmetic is defined in
// round-to-nearest with every exception masked and no flushing of tiny
// values, whatever the host's thread was set to.
#pragma once

#include <xmmintrin.h>

// On x86-64 every float and double operation of the shading runs in SSE, so
// its control and status register is the whole environment. It is set and
// given back directly: mingw-w64's fesetenv(FE_DFL_ENV) leaves SSE's
// rounding mode as the host set it and its fesetenv does not give SSE's
// exception flags back, so on Windows a host's rounding mode changed the
// frame and the frame's own flags reached the host.
class DefaultFloatingPoint {
public:
    // Round to nearest, all six exceptions masked, flags clear, no
    // flush-to-zero and no denormals-are-zero.
    static constexpr unsigned DEFAULT_CONTROL = 0x1F80;

    DefaultFloatingPoint() noexcept : host_(_mm_getcsr()) { _mm_setcsr(DEFAULT_CONTROL); }
    ~DefaultFloatingPoint() { _mm_setcsr(host_); }
    DefaultFloatingPoint(const DefaultFloatingPoint &) = delete;
    DefaultFloatingPoint &operator=(const DefaultFloatingPoint &) = delete;

private:
    unsigned host_;
};
