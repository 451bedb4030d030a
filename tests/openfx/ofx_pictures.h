// Pictures and settings shared by the bundle's frame tests: noise images in
// host memory and the parameter values a test renders with.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/openfx/ofx_test_host.h"

namespace tidalhalo::ofxtest {

// Noise with every alpha, in the image's depth: 16-bit samples v, 8-bit
// v >> 8, float v / 65535.0f, so the three depths show the same picture.
inline std::vector<uint16_t> NoiseSamples(int width, int height, uint32_t seed) {
    std::vector<uint16_t> samples(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    uint32_t state = seed * 2654435761u + 1u;
    for (uint16_t &sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<uint16_t>(state >> 16);
    }
    return samples;
}

// Samples are in picture order (top row first, RGBA); the image's bottom
// row is the picture's last.
inline void FillImage(HostImage &image, const std::vector<uint16_t> &samples, int width) {
    const int height = image.bounds.y2 - image.bounds.y1;
    for (int row = 0; row < height; ++row) {
        const int y = image.bounds.y2 - 1 - row;
        for (int column = 0; column < width; ++column) {
            const int x = image.bounds.x1 + column;
            const uint16_t *s = &samples[(static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                                          static_cast<std::size_t>(column)) * 4];
            unsigned char *pixel = image.Pixel(x, y);
            for (int c = 0; c < 4; ++c) {
                if (image.depth == kOfxBitDepthByte) {
                    pixel[c] = static_cast<unsigned char>(s[c] >> 8);
                } else if (image.depth == kOfxBitDepthShort) {
                    std::memcpy(pixel + 2 * c, &s[c], 2);
                } else {
                    const float value = s[c] / 65535.0f;
                    std::memcpy(pixel + 4 * c, &value, 4);
                }
            }
        }
    }
}

// The bytes of the window's pixels, rows from the top.
inline std::vector<unsigned char> WindowBytes(const HostImage &image, const OfxRectI &window) {
    std::vector<unsigned char> bytes;
    for (int y = window.y2 - 1; y >= window.y1; --y) {
        for (int x = window.x1; x < window.x2; ++x) {
            const unsigned char *pixel = image.Pixel(x, y);
            bytes.insert(bytes.end(), pixel, pixel + image.PixelBytes());
        }
    }
    return bytes;
}

struct RingSetting {
    double center_x, center_y;  // canonical
    double radius, feather, expand, opacity, scatter;
    double color1[3];
    double color2[3];
    bool smooth;
};

inline void ApplySetting(TestHost &host, Effect &instance, const RingSetting &s, int blend_index) {
    host.SetParam(instance, "center", {s.center_x, s.center_y});
    host.SetParam(instance, "radius", {s.radius});
    host.SetParam(instance, "feather", {s.feather});
    host.SetParam(instance, "expand", {s.expand});
    host.SetParam(instance, "opacity", {s.opacity});
    host.SetParam(instance, "scatter", {s.scatter});
    host.SetParam(instance, "color1", {s.color1[0], s.color1[1], s.color1[2]});
    host.SetParam(instance, "color2", {s.color2[0], s.color2[1], s.color2[2]});
    host.SetParam(instance, "smooth", {s.smooth ? 1.0 : 0.0});
    host.SetParam(instance, "blend", {static_cast<double>(blend_index)});
}

inline const char *const kDepths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};

}  // namespace tidalhalo::ofxtest
