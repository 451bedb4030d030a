#include "bench/naive_ring.h"

#include <algorithm>
#include <cmath>

namespace tidalhalo::bench {

namespace {

thread_local uint32_t naive_random_state = 1;

// One pixel of the ring, random state passed in. Inline, so each caller
// computes it in its own loop.
inline void NaiveShade(const NaiveRing &ring, int32_t x, int32_t y, uint32_t &random_state, const PF_Pixel &in,
                       PF_Pixel &out) noexcept {
    const double dx = x - ring.center_x;
    const double dy = y - ring.center_y;
    const double d = std::sqrt(dx * dx + dy * dy);
    double f = d >= ring.radius ? 1.0 - (d - ring.radius) / ring.feather
                                : (d - (ring.radius - ring.inner_width)) / ring.inner_width;
    if (ring.scatter > 0.0) {
        random_state = random_state * 214013u + 2531011u;
        f += static_cast<double>(static_cast<int32_t>((random_state >> 16) & 511u) - 256) * ring.scatter;
    }
    f = std::clamp(f, 0.0, 1.0);
    if (ring.smooth && f > 0.0 && f < 1.0) {
        f = (1.0 - std::cos(3.141592653589793 * f)) * 0.5;
    }
    const float coverage = static_cast<float>(f);
    const float alpha = static_cast<float>(in.alpha) / 255.0f;
    const float out_alpha = 1.0f - (1.0f - alpha) * (1.0f - coverage);
    const float w = out_alpha > 0.0f ? coverage / out_alpha : 0.0f;
    out.alpha = static_cast<uint8_t>(out_alpha * 255.0f);
    out.red = static_cast<uint8_t>((1.0f - w) * static_cast<float>(in.red) + w * ring.red * 255.0f);
    out.green = static_cast<uint8_t>((1.0f - w) * static_cast<float>(in.green) + w * ring.green * 255.0f);
    out.blue = static_cast<uint8_t>((1.0f - w) * static_cast<float>(in.blue) + w * ring.blue * 255.0f);
}

}  // namespace

PF_Err CopyPixel8(void *, int32_t, int32_t, const PF_Pixel *in, PF_Pixel *out) noexcept {
    *out = *in;
    return PF_Err_NONE;
}

PF_Err NaiveRingPixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept {
    NaiveShade(*static_cast<const NaiveRing *>(refcon), x, y, naive_random_state, *in, *out);
    return PF_Err_NONE;
}

void NaiveRingRows(const NaiveRing &ring, const unsigned char *in, unsigned char *out, int64_t row_bytes,
                   int32_t width, int32_t first_row, int32_t end_row) noexcept {
    uint32_t random_state = 1;
    for (int32_t y = first_row; y < end_row; ++y) {
        const unsigned char *from = in + y * row_bytes;
        unsigned char *to = out + y * row_bytes;
        for (int32_t x = 0; x < width; ++x, from += 4, to += 4) {
            const PF_Pixel pixel{from[3], from[0], from[1], from[2]};
            PF_Pixel shaded;
            NaiveShade(ring, x, y, random_state, pixel, shaded);
            to[0] = shaded.red;
            to[1] = shaded.green;
            to[2] = shaded.blue;
            to[3] = shaded.alpha;
        }
    }
}

}  // namespace tidalhalo::bench
