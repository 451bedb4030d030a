// Records and source pixels for the tests that compare the optimised
// shading with the plain formulas or with each other: records that put
// pixels exactly on the ramp ends, records no host would send, and source
// pixels of every kind.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "host/host_types.h"
#include "params/ring_params.h"
#include "render/ring_render_info.h"

inline constexpr double INF = std::numeric_limits<double>::infinity();
inline constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A small deterministic generator for the test's own choices.
struct Picker {
    uint64_t state;
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    template <typename T, size_t N>
    T From(const T (&values)[N]) {
        return values[Next() % N];
    }
};

// Centre (20, 16) on whole pixels, radius 10, feather 5, expand 0.5: pixels
// at distance 5 (ramp start), 10 (radius) and 15 (ramp end) exist, straight
// and on 3-4-5 diagonals.
inline RingRenderInfo EdgeRecord() {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1.0;
    info.center_x = 20.0;
    info.center_y = 16.0;
    info.radius = 10.0;
    info.expand = 0.5;
    info.inner_offset = -1.0;
    info.feather = 5.0;
    info.opacity = 1.0;
    info.color1_float = {1.0f, 1.0f, 0.5f, 0.0f};
    info.color2_float = {1.0f, 0.0f, 0.0f, 1.0f};
    info.blend_mode = BLEND_NORMAL;
    return info;
}

inline RingRenderInfo OddRecord(Picker &pick) {
    static const double radii[] = {10.0, 0.0, 0.5, -3.0, NaN, INF, 1e300, 7.3};
    static const double feathers[] = {5.0, 0.0, -1.0, NaN, INF, 1e-300, 1e300, 0.25};
    static const double expands[] = {0.5, 1.0, 0.0, -0.5, NaN, INF, 1e-300, 0.01};
    static const double offsets[] = {-1.0, 0.0, 5.0, -1e10, NaN, -INF, -0.999};
    static const double opacities[] = {1.0, 0.85, 0.0, -0.0, -0.5, NaN, INF, 3.0};
    static const double scatters[] = {0.0, 0.0005, 0.000512, 0.01, 0.5, -0.1, NaN, INF, 1e-300};
    static const double scales[] = {1.0, 2.0, 0.9090909361839294, 0.0, NaN, -1.0};
    static const float colors[] = {0.0f, 1.0f, 0.5f, -0.0f, -2.0f, 3e38f, std::numeric_limits<float>::infinity(),
                                   std::numeric_limits<float>::quiet_NaN(), 0x1p101f};
    static const int32_t counts[] = {0, 1, 5, -3, 1 << 30, std::numeric_limits<int32_t>::min()};
    RingRenderInfo info = EdgeRecord();
    const auto fraction = [&pick] { return static_cast<double>(pick.Next()) / 2147483648.0; };
    if (pick.Next() % 3 == 0) {  // what a host sends, anywhere in range
        info.radius = 30.0 * fraction();
        info.feather = 10.0 * fraction();
        info.expand = fraction();
        info.inner_offset = 1.0 - 1.0 / info.expand;
        info.center_x = 44.0 * fraction();  // within a 44 x 36 frame
        info.center_y = 36.0 * fraction();
    } else if (pick.Next() % 4 != 0) {
        info.radius = pick.From(radii);
        info.feather = pick.From(feathers);
        info.expand = pick.From(expands);
        info.inner_offset = pick.Next() % 2 ? 1.0 - 1.0 / info.expand : pick.From(offsets);
        info.x_scale = pick.From(scales);
        info.center_x = info.center_x * (std::isfinite(info.x_scale) ? info.x_scale : 1.0);
    }
    info.opacity = pick.From(opacities);
    info.scatter = pick.Next() % 2 ? pick.From(scatters) : 0.000512 * fraction();
    info.scatter_seed = static_cast<int32_t>(pick.Next());
    info.discard_count = pick.From(counts);
    info.row_offset = pick.From(counts);
    info.smooth = static_cast<uint8_t>(pick.Next() % 2);
    info.blend_mode = static_cast<int32_t>(pick.Next() % 7);
    info.color1_float = {pick.From(colors), pick.From(colors), pick.From(colors), pick.From(colors)};
    info.color2_float = {pick.From(colors), pick.From(colors), pick.From(colors), pick.From(colors)};
    return info;
}

// count source pixels of every kind the depth can hold.
template <typename Pixel>
std::vector<Pixel> SourcePixels(Picker &pick, size_t count) {
    std::vector<Pixel> pixels(count);
    for (Pixel &p : pixels) {
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
            static const float values[] = {0.0f, 1.0f, 0.25f, -0.0f, -1.0f, 2.5f, 1e-40f,
                                           std::numeric_limits<float>::infinity(),
                                           std::numeric_limits<float>::quiet_NaN()};
            p = {pick.Next() % 3 ? static_cast<float>(pick.Next() % 1000) / 999.0f : pick.From(values),
                 static_cast<float>(pick.Next() % 1000) / 700.0f, pick.From(values),
                 static_cast<float>(pick.Next() % 1000) / 999.0f};
        } else {
            using Channel = decltype(p.alpha);
            p = {static_cast<Channel>(pick.Next()), static_cast<Channel>(pick.Next()),
                 static_cast<Channel>(pick.Next()), static_cast<Channel>(pick.Next())};
        }
    }
    return pixels;
}

// Byte for byte, except that a NaN may come out with another sign or
// payload: which of two NaN operands an operation passes on is the
// compiler's choice of operand order, not part of the arithmetic.
template <typename Pixel>
bool SamePixel(const Pixel &a, const Pixel &b) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        const float as[] = {a.alpha, a.red, a.green, a.blue};
        const float bs[] = {b.alpha, b.red, b.green, b.blue};
        for (int k = 0; k < 4; ++k) {
            if (std::memcmp(&as[k], &bs[k], sizeof(float)) != 0 && !(std::isnan(as[k]) && std::isnan(bs[k]))) {
                return false;
            }
        }
        return true;
    } else {
        return std::memcmp(&a, &b, sizeof(Pixel)) == 0;
    }
}
