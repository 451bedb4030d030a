// Shared set-up of the protocol tests: our host over the built module at
// the strictest contract level, and layers to render from.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "params/ring_params.h"
#include "sim/frame_renderer.h"
#include "sim/sim_host.h"

namespace tidalhalo::sim::testing {

inline const char *ModulePath() { return TIDALHALO_MODULE_PATH; }

// A layer whose pixels all differ, with padded rows.
inline Image GradientLayer(PixelDepth depth, int32_t width, int32_t height) {
    Image image(depth, width, height, 5);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const auto a = static_cast<unsigned>(128 + (x * 7 + y * 3) % 128);
            const auto r = static_cast<unsigned>((x * 13) % 256);
            const auto g = static_cast<unsigned>((y * 17) % 256);
            const auto b = static_cast<unsigned>((x * y) % 256);
            switch (depth) {
            case PixelDepth::Eight:
                *image.PixelAt<PF_Pixel>(x, y) = PF_Pixel{static_cast<uint8_t>(a), static_cast<uint8_t>(r),
                                                          static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
                break;
            case PixelDepth::Sixteen:
                *image.PixelAt<PF_Pixel16>(x, y) =
                    PF_Pixel16{static_cast<uint16_t>(a * 128), static_cast<uint16_t>(r * 128),
                               static_cast<uint16_t>(g * 128), static_cast<uint16_t>(b * 128)};
                break;
            case PixelDepth::Float:
                *image.PixelAt<PF_PixelFloat>(x, y) = PF_PixelFloat{static_cast<float>(a) / 255.0f, static_cast<float>(r) / 255.0f,
                                                                static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f};
                break;
            }
        }
    }
    return image;
}

// Our host over the module, set up (GlobalSetup, ParamsSetup) and holding a
// 64 × 48 8-bit layer, checked at the strictest level.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = std::make_unique<SimHost>(ModulePath(), Strictness::Fail);
        ASSERT_EQ(host->GlobalSetup(), PF_Err_NONE);
        ASSERT_EQ(host->ParamsSetup(), PF_Err_NONE);
        UseLayer(PixelDepth::Eight);
        host->Log().Clear();
    }

    void UseLayer(PixelDepth depth, int32_t width = 64, int32_t height = 48) {
        layer = GradientLayer(depth, width, height);
        host->SetLayer(layer.View());
    }

    // The calls of one command as "op(args)".
    std::vector<std::string> CallsOf(PF_Cmd cmd, const std::string &op = {}) const {
        return host->Log().Of(cmd, op);
    }

    bool Called(PF_Cmd cmd, const std::string &call) const {
        for (const std::string &made : CallsOf(cmd)) {
            if (made == call) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<SimHost> host;
    Image layer;
};

}  // namespace tidalhalo::sim::testing
