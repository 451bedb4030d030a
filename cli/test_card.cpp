#include "cli/test_card.h"

#include <algorithm>
#include <cmath>

#include "cli/pixel_convert.h"

namespace tidalhalo::cli {
namespace {

constexpr int32_t kHalfWidth = kTestCardWidth / 2;
constexpr int32_t kHalfHeight = kTestCardHeight / 2;
constexpr int32_t kCheckerSize = 60;
// Alpha reaches 0 this far right of the centre; the rest stays transparent.
constexpr float kFadeWidth = 720.0f;

PF_PixelFloat Hsv(float hue, float saturation, float value) noexcept {
    const float h = hue * 6.0f;
    const int sector = std::clamp(static_cast<int>(h), 0, 5);
    const float f = h - static_cast<float>(sector);
    const float p = value * (1.0f - saturation);
    const float q = value * (1.0f - saturation * f);
    const float t = value * (1.0f - saturation * (1.0f - f));
    switch (sector) {
    case 0: return {1.0f, value, t, p};
    case 1: return {1.0f, q, value, p};
    case 2: return {1.0f, p, value, t};
    case 3: return {1.0f, p, q, value};
    case 4: return {1.0f, t, p, value};
    default: return {1.0f, value, p, q};
    }
}

PF_PixelFloat CardPixel(int32_t x, int32_t y) noexcept {
    if (y < kHalfHeight && x < kHalfWidth) {
        const float brightness = 1.0f - 0.5f * static_cast<float>(y) / kHalfHeight;
        return Hsv(static_cast<float>(x) / kHalfWidth, 1.0f, brightness);
    }
    if (y < kHalfHeight) {
        const bool light = ((x / kCheckerSize) + (y / kCheckerSize)) % 2 == 0;
        const float grey = light ? 0.8f : 0.2f;
        return {1.0f, grey, grey, grey};
    }
    if (x < kHalfWidth) {
        const float grey = static_cast<float>(x) / (kHalfWidth - 1);
        return {1.0f, grey, grey, grey};
    }
    const float down = static_cast<float>(y - kHalfHeight) / (kHalfHeight - 1);
    const float alpha = std::max(0.0f, 1.0f - static_cast<float>(x - kHalfWidth) / kFadeWidth);
    return {alpha, 1.0f - down, 0.35f, down};
}

}  // namespace

sim::Image MakeTestCard(sim::PixelDepth depth) {
    sim::Image card(depth, kTestCardWidth, kTestCardHeight);
    const sim::ImageView view = card.View();
    for (int32_t y = 0; y < kTestCardHeight; ++y) {
        for (int32_t x = 0; x < kTestCardWidth; ++x) {
            const PF_PixelFloat p = CardPixel(x, y);
            switch (depth) {
            case sim::PixelDepth::Eight:
                view.PixelAt<PF_Pixel>(0, y)[x] = ToPixel8(p);
                break;
            case sim::PixelDepth::Sixteen:
                view.PixelAt<PF_Pixel16>(0, y)[x] = ToPixel16(p);
                break;
            case sim::PixelDepth::Float:
                view.PixelAt<PF_PixelFloat>(0, y)[x] = p;
                break;
            }
        }
    }
    return card;
}

}  // namespace tidalhalo::cli
