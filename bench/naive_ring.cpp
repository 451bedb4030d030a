#include "bench/naive_ring.h"

#include <algorithm>
#include <cmath>

namespace tidalhalo::bench {

namespace {
thread_local uint32_t naive_random_state = 1;
}

PF_Err CopyPixel8(void *, int32_t, int32_t, const PF_Pixel *in, PF_Pixel *out) noexcept {
    *out = *in;
    return PF_Err_NONE;
}

PF_Err NaiveRingPixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept {
    const NaiveRing &ring = *static_cast<const NaiveRing *>(refcon);
    const double dx = x - ring.center_x;
    const double dy = y - ring.center_y;
    const double d = std::sqrt(dx * dx + dy * dy);
    double f = d >= ring.radius ? 1.0 - (d - ring.radius) / ring.feather
                                : (d - (ring.radius - ring.inner_width)) / ring.inner_width;
    if (ring.scatter > 0.0) {
        naive_random_state = naive_random_state * 214013u + 2531011u;
        f += static_cast<double>(static_cast<int32_t>((naive_random_state >> 16) & 511u) - 256) * ring.scatter;
    }
    f = std::clamp(f, 0.0, 1.0);
    if (ring.smooth && f > 0.0 && f < 1.0) {
        f = (1.0 - std::cos(3.141592653589793 * f)) * 0.5;
    }
    const float coverage = static_cast<float>(f);
    const float alpha = static_cast<float>(in->alpha) / 255.0f;
    const float out_alpha = 1.0f - (1.0f - alpha) * (1.0f - coverage);
    const float w = out_alpha > 0.0f ? coverage / out_alpha : 0.0f;
    out->alpha = static_cast<uint8_t>(out_alpha * 255.0f);
    out->red = static_cast<uint8_t>((1.0f - w) * static_cast<float>(in->red) + w * ring.red * 255.0f);
    out->green = static_cast<uint8_t>((1.0f - w) * static_cast<float>(in->green) + w * ring.green * 255.0f);
    out->blue = static_cast<uint8_t>((1.0f - w) * static_cast<float>(in->blue) + w * ring.blue * 255.0f);
    return PF_Err_NONE;
}

}  // namespace tidalhalo::bench
