#include "bench/bench_source.h"

namespace tidalhalo::bench {

using tidalhalo::sim::Image;
using tidalhalo::sim::PixelDepth;

namespace {

// A hash of the position: neighbouring pixels get unrelated values.
uint32_t Scramble(int32_t x, int32_t y, uint32_t channel) noexcept {
    uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u ^ channel * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Alpha sweeps across the frame from transparent to opaque, with noise.
uint32_t AlphaOf(int32_t x, int32_t y, int32_t width, uint32_t full) noexcept {
    const uint64_t ramp = static_cast<uint64_t>(x) * full / static_cast<uint64_t>(width > 1 ? width - 1 : 1);
    const uint32_t noise = Scramble(x, y, 4) % (full / 8 + 1);
    return static_cast<uint32_t>(ramp) > noise ? static_cast<uint32_t>(ramp) - noise : 0u;
}

}  // namespace

Image MakeSourceFrame(PixelDepth depth, int32_t width, int32_t height) {
    Image frame(depth, width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            switch (depth) {
            case PixelDepth::Eight: {
                PF_Pixel &p = *frame.PixelAt<PF_Pixel>(x, y);
                p.alpha = static_cast<uint8_t>(AlphaOf(x, y, width, 255));
                p.red = static_cast<uint8_t>(Scramble(x, y, 1));
                p.green = static_cast<uint8_t>(Scramble(x, y, 2));
                p.blue = static_cast<uint8_t>(Scramble(x, y, 3));
                break;
            }
            case PixelDepth::Sixteen: {
                PF_Pixel16 &p = *frame.PixelAt<PF_Pixel16>(x, y);
                p.alpha = static_cast<uint16_t>(AlphaOf(x, y, width, 32768));
                p.red = static_cast<uint16_t>(Scramble(x, y, 1) % 32769u);
                p.green = static_cast<uint16_t>(Scramble(x, y, 2) % 32769u);
                p.blue = static_cast<uint16_t>(Scramble(x, y, 3) % 32769u);
                break;
            }
            case PixelDepth::Float: {
                PF_PixelFloat &p = *frame.PixelAt<PF_PixelFloat>(x, y);
                p.alpha = static_cast<float>(AlphaOf(x, y, width, 65536)) / 65536.0f;
                p.red = static_cast<float>(Scramble(x, y, 1) % 65537u) / 65536.0f;
                p.green = static_cast<float>(Scramble(x, y, 2) % 65537u) / 65536.0f;
                p.blue = static_cast<float>(Scramble(x, y, 3) % 65537u) / 65536.0f;
                break;
            }
            }
        }
    }
    return frame;
}

}  // namespace tidalhalo::bench
