#include "render/pixel_reference.h"

#include "render/blend_modes.h"
#include "render/ring_coverage.h"

namespace {

template <uint32_t FULL>
float DivideByFull(uint32_t channel) noexcept {
    return static_cast<float>(channel) / static_cast<float>(FULL);
}

}  // namespace

PF_Err ReferenceShadePixel8(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out) noexcept {
    if (refcon != nullptr) {
        const auto &info = *static_cast<const RingRenderInfo *>(refcon);
        BlendInteger<PF_Pixel, uint8_t, 255>(info.blend_mode, RingCoverage(info, x, y), *in, *out,
                                             DivideByFull<255>);
    }
    return PF_Err_NONE;
}

PF_Err ReferenceShadePixel16(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in, PF_Pixel16 *out) noexcept {
    if (refcon != nullptr) {
        const auto &info = *static_cast<const RingRenderInfo *>(refcon);
        BlendInteger<PF_Pixel16, uint16_t, 32768>(info.blend_mode, RingCoverage(info, x, y), *in, *out,
                                                  DivideByFull<32768>);
    }
    return PF_Err_NONE;
}

PF_Err ReferenceShadePixelFloat(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in,
                                PF_PixelFloat *out) noexcept {
    if (refcon != nullptr) {
        const auto &info = *static_cast<const RingRenderInfo *>(refcon);
        BlendFloat(info.blend_mode, RingCoverage(info, x, y), *in, *out);
    }
    return PF_Err_NONE;
}
