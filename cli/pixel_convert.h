// Conversions between file sample values and the host's channel values.
// The host's 16-bit full intensity is 32768, not 65535; its float channels
// are never clamped. Integer results are taken to the nearest value.
#pragma once

#include <cstdint>

#include "sim/image.h"

namespace tidalhalo::cli {

// A 16-bit file sample (full 65535) as a host 16-bit channel (full 32768).
constexpr uint16_t FileToHost16(uint16_t v) noexcept {
    return static_cast<uint16_t>((uint32_t{v} * 65536u + 65535u) / 131070u);
}

// A host 16-bit channel as a 16-bit file sample; values above full
// intensity are not host values and count as full.
constexpr uint16_t Host16ToFile(uint16_t h) noexcept {
    const uint32_t clamped = h > 32768u ? 32768u : h;
    return static_cast<uint16_t>((clamped * 131070u + 32768u) / 65536u);
}

constexpr uint16_t EightToHost16(uint8_t v) noexcept {
    return static_cast<uint16_t>((uint32_t{v} * 65536u + 255u) / 510u);
}

constexpr uint8_t Host16ToEight(uint16_t h) noexcept {
    const uint32_t clamped = h > 32768u ? 32768u : h;
    return static_cast<uint8_t>((clamped * 510u + 32768u) / 65536u);
}

constexpr uint8_t File16ToEight(uint16_t v) noexcept {
    return static_cast<uint8_t>((uint32_t{v} * 510u + 65535u) / 131070u);
}

// A float channel in 0..1 scaled to 0..full, rounded; outside values are
// clamped and a NaN becomes 0, so the conversion is always defined.
inline uint32_t FloatToScaled(float v, uint32_t full) noexcept {
    if (!(v > 0.0f)) {
        return 0;
    }
    if (v >= 1.0f) {
        return full;
    }
    return static_cast<uint32_t>(static_cast<double>(v) * full + 0.5);
}

// One pixel in the float layout from any host depth, and back.
PF_PixelFloat ToFloatPixel(const PF_Pixel &p) noexcept;
PF_PixelFloat ToFloatPixel(const PF_Pixel16 &p) noexcept;
PF_Pixel ToPixel8(const PF_PixelFloat &p) noexcept;
PF_Pixel16 ToPixel16(const PF_PixelFloat &p) noexcept;

// Copies src into dst of the same size, converting between depths.
void ConvertImage(const sim::ImageView &src, const sim::ImageView &dst) noexcept;

// src as a new image of the given depth (a plain copy if the depth matches).
sim::Image ConvertedImage(const sim::ImageView &src, sim::PixelDepth depth);

}  // namespace tidalhalo::cli
