// Premultiplied and opaque sources, as most OpenFX hosts hand them: the
// bundle's frame must be premultiply(straight frame(unpremultiply(source)))
// by the written rules, worked out here by plain arithmetic, in every depth
// and blend mode, at render scales 1 and 1/2, in tiles; the clip
// preferences must declare what the pixels are; and hostile pixels must
// neither crash nor turn a finite pixel into NaN.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/openfx/ofx_pictures.h"
#include "tests/openfx/premultiplied_model.h"

namespace tidalhalo::ofxtest {
namespace {

constexpr int kWidth = 300;  // wider than the bundle's stretches, so some are wholly opaque
constexpr int kHeight = 24;
const OfxRectD kRod{0, 0, kWidth, kHeight};
const RingSetting kRing{120, 12, 70, 12, 60, 85, 30, {1.0, 0.6, 0.2}, {0.1, 0.3, 0.9}, true};

// Converts every pixel of the image in place, one way or the other.
void Convert(HostImage &image, bool to_straight) {
    for (int y = image.bounds.y1; y < image.bounds.y2; ++y) {
        for (int x = image.bounds.x1; x < image.bounds.x2; ++x) {
            unsigned char *pixel = image.Pixel(x, y);
            if (image.depth == kOfxBitDepthFloat) {
                float v[4];
                std::memcpy(v, pixel, 16);
                const float a = to_straight ? StraightAlpha(v[3]) : v[3];
                for (int c = 0; c < 3; ++c) v[c] = to_straight ? Straight(v[c], a) : v[c] * a;
                v[3] = a;
                std::memcpy(pixel, v, 16);
            } else if (image.depth == kOfxBitDepthShort) {
                uint16_t v[4];
                std::memcpy(v, pixel, 8);
                for (int c = 0; c < 3; ++c)
                    v[c] = static_cast<uint16_t>(to_straight ? Straight(v[c], v[3], 65535) : Premultiplied(v[c], v[3], 65535));
                std::memcpy(pixel, v, 8);
            } else {
                for (int c = 0; c < 3; ++c)
                    pixel[c] = static_cast<unsigned char>(to_straight ? Straight(pixel[c], pixel[3], 255)
                                                                      : Premultiplied(pixel[c], pixel[3], 255));
            }
        }
    }
}

// Alpha rising from 0 to full across the picture, colours within it.
std::vector<uint16_t> RampPicture(int width, int height) {
    std::vector<uint16_t> samples = NoiseSamples(width, height, 11);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint16_t *p = &samples[static_cast<std::size_t>(y * width + x) * 4];
            const uint32_t a = static_cast<uint32_t>(x) * 65535u / static_cast<uint32_t>(width - 1);
            for (int c = 0; c < 3; ++c) p[c] = static_cast<uint16_t>(p[c] * a / 65535u);
            p[3] = static_cast<uint16_t>(a);
        }
    }
    return samples;
}

// Rows wholly opaque, wholly transparent (some with colour left in them)
// and patches of both.
std::vector<uint16_t> PatchPicture(int width, int height) {
    std::vector<uint16_t> samples = NoiseSamples(width, height, 5);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint16_t *p = &samples[static_cast<std::size_t>(y * width + x) * 4];
            const bool opaque = y % 4 == 0 || (y % 4 == 1 && (x / 20) % 2 == 0);
            p[3] = opaque ? 65535 : 0;
            if (!opaque && y % 4 != 3) p[0] = p[1] = p[2] = 0;
        }
    }
    return samples;
}

struct Rig {
    Rig() : host(TIDALHALO_OFX_PLUGIN) {
        EXPECT_EQ(host.Load(), kOfxStatOK);
        EXPECT_EQ(host.Describe(), kOfxStatOK);
        EXPECT_EQ(host.DescribeInContext(), kOfxStatOK);
        straight = host.CreateInstance(kRod, 1.0, kOfxImageUnPreMultiplied);
        premultiplied = host.CreateInstance(kRod, 1.0, kOfxImagePreMultiplied);
        opaque = host.CreateInstance(kRod, 1.0, kOfxImageOpaque);
    }
    HostImage Render(Effect &instance, HostImage &source, double scale, const std::vector<OfxRectI> &tiles) {
        HostImage output = HostImage::Make(source.depth, source.bounds, 8, false, 0xA5);
        for (const OfxRectI &tile : tiles) {
            EXPECT_EQ(host.Render(instance, {0.0, scale, scale, tile}, &source, &output), kOfxStatOK);
        }
        return output;
    }
    TestHost host;
    Effect *straight = nullptr;
    Effect *premultiplied = nullptr;
    Effect *opaque = nullptr;
};

std::vector<OfxRectI> Tiles(const OfxRectI &b) {
    const int mx = (b.x1 + b.x2) / 2 + 3, my = (b.y1 + b.y2) / 3;
    return {{b.x1, b.y1, mx, my}, {mx, b.y1, b.x2, my}, {b.x1, my, b.x1 + 7, b.y2}, {b.x1 + 7, my, b.x2, b.y2}};
}

// NaN equals NaN, so hostile pictures can be compared with the model.
bool SamePixels(const HostImage &a, const HostImage &b, std::string &where) {
    for (int y = a.bounds.y1; y < a.bounds.y2; ++y) {
        for (int x = a.bounds.x1; x < a.bounds.x2; ++x) {
            const unsigned char *p = a.Pixel(x, y);
            const unsigned char *q = b.Pixel(x, y);
            bool same = std::memcmp(p, q, static_cast<std::size_t>(a.PixelBytes())) == 0;
            if (!same && a.depth == kOfxBitDepthFloat) {
                float u[4], v[4];
                std::memcpy(u, p, 16);
                std::memcpy(v, q, 16);
                same = true;
                for (int c = 0; c < 4; ++c) same = same && (u[c] == v[c] || (std::isnan(u[c]) && std::isnan(v[c])));
            }
            if (!same) {
                where = "pixel " + std::to_string(x) + "," + std::to_string(y);
                return false;
            }
        }
    }
    return true;
}

TEST(OfxPremultiplied, FramesArePremultipliedStraightFramesOfTheStraightPicture) {
    Rig rig;
    for (const char *depth : kDepths) {
        for (const double scale : {1.0, 0.5}) {
            const int width = static_cast<int>(kWidth * scale), height = static_cast<int>(kHeight * scale);
            const OfxRectI bounds{0, 0, width, height};
            for (const bool ramp : {true, false}) {
                HostImage source = HostImage::Make(depth, bounds, 4, true);
                FillImage(source, ramp ? RampPicture(width, height) : PatchPicture(width, height), width);
                HostImage straight_source = source;
                Convert(straight_source, true);
                for (int blend = 0; blend < 5; ++blend) {
                    SCOPED_TRACE(std::string(depth) + " scale " + std::to_string(scale) +
                                 (ramp ? " ramp" : " patches") + " blend " + std::to_string(blend));
                    for (Effect *instance : {rig.straight, rig.premultiplied, rig.opaque}) {
                        ApplySetting(rig.host, *instance, kRing, blend);
                    }
                    HostImage expected = rig.Render(*rig.straight, straight_source, scale, {bounds});
                    Convert(expected, false);
                    std::string where;
                    EXPECT_TRUE(SamePixels(rig.Render(*rig.premultiplied, source, scale, Tiles(bounds)), expected, where))
                        << "premultiplied source, first difference at " << where;

                    // An opaque source is shaded as it stands and premultiplied after.
                    HostImage opaque_expected = rig.Render(*rig.straight, source, scale, {bounds});
                    Convert(opaque_expected, false);
                    EXPECT_TRUE(SamePixels(rig.Render(*rig.opaque, source, scale, Tiles(bounds)), opaque_expected, where))
                        << "opaque source, first difference at " << where;
                }
            }
        }
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

// Mode none over any picture, or with no source image at all, leaves no
// colour where its alpha is 0: a premultiplying host would add that colour
// to whatever lies below.
TEST(OfxPremultiplied, NoColourWhereTheAlphaIsZero) {
    Rig rig;
    ApplySetting(rig.host, *rig.premultiplied, kRing, 0);
    const OfxRectI bounds{0, 0, kWidth, kHeight};
    HostImage source = HostImage::Make(kOfxBitDepthFloat, bounds, 0, false);
    FillImage(source, RampPicture(kWidth, kHeight), kWidth);
    for (const bool with_source : {true, false}) {
        HostImage output = HostImage::Make(kOfxBitDepthFloat, bounds, 0, false, 0xA5);
        EXPECT_EQ(rig.host.Render(*rig.premultiplied, {0.0, 1.0, 1.0, bounds}, with_source ? &source : nullptr, &output),
                  kOfxStatOK);
        std::size_t transparent = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                float v[4];
                std::memcpy(v, output.Pixel(x, y), 16);
                EXPECT_LE(v[0], v[3]);
                EXPECT_LE(v[1], v[3]);
                EXPECT_LE(v[2], v[3]);
                if (v[3] == 0.0f) {
                    ++transparent;
                    EXPECT_EQ(v[0] + v[1] + v[2], 0.0f) << x << "," << y;
                }
            }
        }
        EXPECT_GT(transparent, 0u);
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

// Colours above alpha, negative, infinite and NaN values, alphas out of
// range and tiny: the model's frame, and no NaN from a finite pixel.
TEST(OfxPremultiplied, HostilePixelsGiveTheModelsFrameAndNoNaNFromFinitePixels) {
    Rig rig;
    const float inf = INFINITY, nan = NAN;
    const float values[] = {0.0f, -0.0f, 0.25f, 1.0f, 3.0f, -2.0f, FLT_MAX, -FLT_MAX, 1e-40f, 1e-30f, inf, -inf, nan};
    const int count = static_cast<int>(std::size(values));
    const OfxRectI bounds{0, 0, count * count, 4};
    for (const char *depth : kDepths) {
        HostImage source = HostImage::Make(depth, bounds, 0, false);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < bounds.x2; ++x) {
                unsigned char *pixel = source.Pixel(x, y);
                const float colour = values[x % count], alpha = values[x / count];
                if (std::string(depth) == kOfxBitDepthFloat) {
                    const float v[4] = {colour, values[(x + y) % count], values[(x * 7 + y) % count], alpha};
                    std::memcpy(pixel, v, 16);
                } else {
                    // Every colour against every alpha, most of them above it.
                    const uint32_t max = std::string(depth) == kOfxBitDepthByte ? 255 : 65535;
                    const auto u = static_cast<uint32_t>(x), w = static_cast<uint32_t>(y);
                    const uint32_t v[4] = {(u * 37u + w * 11u) % (max + 1), max - u % 5u, u * 13u % (max + 1),
                                           (u / static_cast<uint32_t>(count) + w) % 3u == 0 ? 0u : (u * 5u) % (max + 1)};
                    for (int c = 0; c < 4; ++c) {
                        if (max == 255) pixel[c] = static_cast<unsigned char>(v[c]);
                        else { const uint16_t s = static_cast<uint16_t>(v[c]); std::memcpy(pixel + 2 * c, &s, 2); }
                    }
                }
            }
        }
        HostImage straight_source = source;
        Convert(straight_source, true);
        for (int blend = 0; blend < 5; ++blend) {
            SCOPED_TRACE(std::string(depth) + " blend " + std::to_string(blend));
            ApplySetting(rig.host, *rig.straight, kRing, blend);
            ApplySetting(rig.host, *rig.premultiplied, kRing, blend);
            HostImage expected = rig.Render(*rig.straight, straight_source, 1.0, {bounds});
            Convert(expected, false);
            const HostImage output = rig.Render(*rig.premultiplied, source, 1.0, Tiles(bounds));
            std::string where;
            EXPECT_TRUE(SamePixels(output, expected, where)) << "first difference at " << where;
            if (std::string(depth) != kOfxBitDepthFloat) continue;
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < bounds.x2; ++x) {
                    float in[4], out[4];
                    std::memcpy(in, source.Pixel(x, y), 16);
                    std::memcpy(out, output.Pixel(x, y), 16);
                    if (std::isfinite(in[0]) && std::isfinite(in[1]) && std::isfinite(in[2]) && std::isfinite(in[3])) {
                        for (int c = 0; c < 4; ++c) EXPECT_FALSE(std::isnan(out[c])) << "pixel " << x << "," << y;
                    }
                }
            }
        }
    }
    EXPECT_TRUE(rig.host.Breaches().empty()) << rig.host.Breaches()[0];
}

// The output is declared premultiplied for a premultiplied or opaque source
// and straight for a straight one, whatever the blend mode.
TEST(OfxPremultiplied, ClipPreferencesDeclareWhatThePixelsAre) {
    TestHost host(TIDALHALO_OFX_PLUGIN);
    ASSERT_EQ(host.Load(), kOfxStatOK);
    ASSERT_EQ(host.Describe(), kOfxStatOK);
    ASSERT_EQ(host.DescribeInContext(), kOfxStatOK);
    const std::pair<const char *, const char *> states[] = {{kOfxImagePreMultiplied, kOfxImagePreMultiplied},
                                                            {kOfxImageOpaque, kOfxImagePreMultiplied},
                                                            {kOfxImageUnPreMultiplied, kOfxImageUnPreMultiplied}};
    for (const auto &[source, declared] : states) {
        Effect *instance = host.CreateInstance(kRod, 1.0, source);
        ASSERT_NE(instance, nullptr);
        for (int blend = 0; blend < 5; ++blend) {
            host.SetParam(*instance, "blend", {static_cast<double>(blend)});
            PropertySet out;
            out.what = "clip preferences";
            out.Define(kOfxImageEffectPropPreMultiplication, 's', 1, true);
            out.properties[kOfxImageEffectPropPreMultiplication].strings = {kOfxImageUnPreMultiplied};
            EXPECT_EQ(host.ClipPreferences(*instance, out), kOfxStatOK);
            EXPECT_EQ(out.Find(kOfxImageEffectPropPreMultiplication)->strings, std::vector<std::string>{declared})
                << source << " blend " << blend;
        }
    }
    EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
}

}  // namespace
}  // namespace tidalhalo::ofxtest
