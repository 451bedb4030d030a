#include "cli/pixel_convert.h"

namespace tidalhalo::cli {
namespace {

PF_Pixel To8(const PF_Pixel16 &p) noexcept {
    return {Host16ToEight(p.alpha), Host16ToEight(p.red), Host16ToEight(p.green),
            Host16ToEight(p.blue)};
}

PF_Pixel16 To16(const PF_Pixel &p) noexcept {
    return {EightToHost16(p.alpha), EightToHost16(p.red), EightToHost16(p.green),
            EightToHost16(p.blue)};
}

template <class From, class To, class Convert>
void ConvertRows(const sim::ImageView &src, const sim::ImageView &dst, Convert convert) noexcept {
    for (int32_t y = 0; y < src.height; ++y) {
        const From *in = src.PixelAt<From>(0, y);
        To *out = dst.PixelAt<To>(0, y);
        for (int32_t x = 0; x < src.width; ++x) {
            out[x] = convert(in[x]);
        }
    }
}

template <class Pixel>
Pixel Same(const Pixel &p) noexcept {
    return p;
}

}  // namespace

PF_PixelFloat ToFloatPixel(const PF_Pixel &p) noexcept {
    return {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
}

PF_PixelFloat ToFloatPixel(const PF_Pixel16 &p) noexcept {
    return {p.alpha / 32768.0f, p.red / 32768.0f, p.green / 32768.0f, p.blue / 32768.0f};
}

PF_Pixel ToPixel8(const PF_PixelFloat &p) noexcept {
    return {static_cast<uint8_t>(FloatToScaled(p.alpha, 255)),
            static_cast<uint8_t>(FloatToScaled(p.red, 255)),
            static_cast<uint8_t>(FloatToScaled(p.green, 255)),
            static_cast<uint8_t>(FloatToScaled(p.blue, 255))};
}

PF_Pixel16 ToPixel16(const PF_PixelFloat &p) noexcept {
    return {static_cast<uint16_t>(FloatToScaled(p.alpha, 32768)),
            static_cast<uint16_t>(FloatToScaled(p.red, 32768)),
            static_cast<uint16_t>(FloatToScaled(p.green, 32768)),
            static_cast<uint16_t>(FloatToScaled(p.blue, 32768))};
}

void ConvertImage(const sim::ImageView &src, const sim::ImageView &dst) noexcept {
    using sim::PixelDepth;
    switch (src.depth) {
    case PixelDepth::Eight:
        if (dst.depth == PixelDepth::Eight) {
            ConvertRows<PF_Pixel, PF_Pixel>(src, dst, Same<PF_Pixel>);
        } else if (dst.depth == PixelDepth::Sixteen) {
            ConvertRows<PF_Pixel, PF_Pixel16>(src, dst, To16);
        } else {
            ConvertRows<PF_Pixel, PF_PixelFloat>(
                src, dst, [](const PF_Pixel &p) { return ToFloatPixel(p); });
        }
        break;
    case PixelDepth::Sixteen:
        if (dst.depth == PixelDepth::Eight) {
            ConvertRows<PF_Pixel16, PF_Pixel>(src, dst, To8);
        } else if (dst.depth == PixelDepth::Sixteen) {
            ConvertRows<PF_Pixel16, PF_Pixel16>(src, dst, Same<PF_Pixel16>);
        } else {
            ConvertRows<PF_Pixel16, PF_PixelFloat>(
                src, dst, [](const PF_Pixel16 &p) { return ToFloatPixel(p); });
        }
        break;
    case PixelDepth::Float:
        if (dst.depth == PixelDepth::Eight) {
            ConvertRows<PF_PixelFloat, PF_Pixel>(src, dst, ToPixel8);
        } else if (dst.depth == PixelDepth::Sixteen) {
            ConvertRows<PF_PixelFloat, PF_Pixel16>(src, dst, ToPixel16);
        } else {
            ConvertRows<PF_PixelFloat, PF_PixelFloat>(src, dst, Same<PF_PixelFloat>);
        }
        break;
    }
}

sim::Image ConvertedImage(const sim::ImageView &src, sim::PixelDepth depth) {
    sim::Image out(depth, src.width, src.height);
    ConvertImage(src, out.View());
    return out;
}

}  // namespace tidalhalo::cli
