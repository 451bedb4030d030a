// The bundle's conversions against the plain rules: every 8-bit colour
// against every alpha, 16-bit colours and alphas in steps that reach both
// ends, and floats with the values a hostile host may send, each form
// (fast four lanes, reciprocal table) held to the plain division.
#include <cfloat>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "openfx/ofx_premultiplied.h"
#include "tests/openfx/premultiplied_model.h"

namespace tidalhalo::ofxtest {
namespace {

TEST(OfxPremultipliedPixels, EveryEightBitPixelBothWays) {
    std::vector<uint8_t> pixels;
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t c = 0; c < 256; ++c) {
            pixels.insert(pixels.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(255 - c),
                                         static_cast<uint8_t>(c * 7), static_cast<uint8_t>(a)});
        }
    }
    // Whole registers and the pixels left over after them.
    const std::size_t n = pixels.size() / 4, split = n - 3;
    std::vector<uint8_t> straight(pixels.size()), back(pixels.size());
    UnpremultiplyPixels(pixels.data(), straight.data(), split);
    UnpremultiplyPixels(pixels.data() + 4 * split, straight.data() + 4 * split, n - split);
    PremultiplyPixels(pixels.data(), back.data(), split);
    PremultiplyPixels(pixels.data() + 4 * split, back.data() + 4 * split, n - split);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t a = pixels[i | 3];
        const bool alpha = (i & 3) == 3;
        ASSERT_EQ(straight[i], alpha ? a : Straight(pixels[i], a, 255)) << "channel " << pixels[i] << " alpha " << a;
        ASSERT_EQ(back[i], alpha ? a : Premultiplied(pixels[i], a, 255)) << "channel " << pixels[i] << " alpha " << a;
    }
    EXPECT_FALSE(AllOpaquePixels(pixels.data(), pixels.size() / 4));
    for (std::size_t count = 1; count <= 9; ++count) {
        EXPECT_TRUE(AllOpaquePixels(pixels.data() + 255 * 256 * 4, count));
        EXPECT_FALSE(AllOpaquePixels(pixels.data() + 255 * 256 * 4 - 4, count + 1));
        EXPECT_FALSE(AllOpaquePixels(pixels.data() + 255 * 256 * 4 - 4 * count, count + 3));
    }
}

TEST(OfxPremultipliedPixels, SixteenBitPixelsBothWays) {
    std::vector<uint16_t> pixels;
    for (uint32_t a = 0; a < 65536; a += a < 300 ? 1 : 257) {
        for (uint32_t c = 0; c < 65536; c += 1021) {
            pixels.insert(pixels.end(), {static_cast<uint16_t>(c), static_cast<uint16_t>(65535 - c),
                                         static_cast<uint16_t>(a), static_cast<uint16_t>(a)});
        }
    }
    pixels.insert(pixels.end(), {65535, 65535, 1, 65535});
    std::vector<uint16_t> straight(pixels.size()), back(pixels.size());
    UnpremultiplyPixels(pixels.data(), straight.data(), pixels.size() / 4);
    PremultiplyPixels(pixels.data(), back.data(), pixels.size() / 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t a = pixels[i | 3];
        const bool alpha = (i & 3) == 3;
        ASSERT_EQ(straight[i], alpha ? a : Straight(pixels[i], a, 65535)) << i;
        ASSERT_EQ(back[i], alpha ? a : Premultiplied(pixels[i], a, 65535)) << i;
    }
    EXPECT_TRUE(AllOpaquePixels(pixels.data() + pixels.size() - 4, 1));
    EXPECT_FALSE(AllOpaquePixels(pixels.data() + pixels.size() - 8, 2));
}

TEST(OfxPremultipliedPixels, FloatsWithHostileValues) {
    const float values[] = {0.0f, -0.0f, 0.5f, 1.0f, 0.999f, 1.5f, -0.25f, 3.0f, FLT_MAX, -FLT_MAX,
                            1e-40f, 1e-30f, FLT_MIN, INFINITY, -INFINITY, NAN};
    std::vector<float> pixels;
    for (const float a : values) {
        for (const float c : values) pixels.insert(pixels.end(), {c, -c, c * 0.5f, a});
    }
    std::vector<float> straight(pixels.size()), back(pixels.size());
    UnpremultiplyPixels(pixels.data(), straight.data(), pixels.size() / 4);
    PremultiplyPixels(pixels.data(), back.data(), pixels.size() / 4);
    const auto same = [](float x, float y) {
        return std::memcmp(&x, &y, 4) == 0 || (std::isnan(x) && std::isnan(y));
    };
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const float a = pixels[i | 3];
        const float expected = (i & 3) == 3 ? StraightAlpha(a) : Straight(pixels[i], StraightAlpha(a));
        ASSERT_TRUE(same(straight[i], expected)) << pixels[i] << " over " << a << ": " << straight[i];
        ASSERT_TRUE(same(back[i], (i & 3) == 3 ? a : pixels[i] * a)) << pixels[i] << " times " << a;
        if (std::isfinite(pixels[i]) && (i & 3) != 3) {
            ASSERT_TRUE(std::isfinite(straight[i])) << pixels[i] << " over " << a;
        }
    }
    // Opaque runs of every length, with one alpha a step below 1 anywhere in them.
    std::vector<float> opaque;
    for (int k = 0; k < 11; ++k) opaque.insert(opaque.end(), {NAN, -3.0f, INFINITY, 1.0f});
    for (std::size_t count = 1; count <= 11; ++count) {
        EXPECT_TRUE(AllOpaquePixels(opaque.data(), count));
        for (std::size_t k = 0; k < count; ++k) {
            std::vector<float> nearly = opaque;
            nearly[4 * k + 3] = 0.99999994f;
            EXPECT_FALSE(AllOpaquePixels(nearly.data(), count)) << count << " " << k;
        }
    }
}

}  // namespace
}  // namespace tidalhalo::ofxtest
