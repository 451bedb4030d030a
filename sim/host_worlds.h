// The pixel buffers (worlds) that the host hands to the module during a
// frame. A world either shows pixels that the caller owns, in place, or
// owns padded pixels of its own.
#pragma once

#include <deque>
#include <string>

#include "host/host_interface.h"
#include "sim/image.h"

namespace tidalhalo::sim {

struct HostWorld {
    PF_EffectWorld world{};
    PixelDepth depth = PixelDepth::Eight;
    Image owned;       // empty when the pixels belong to someone else
    std::string role;  // "input" or "output", for messages

    ImageView View() const noexcept;
};

class WorldRegistry {
public:
    // A world over pixels the caller keeps alive for the frame; origin
    // places its first pixel in layer coordinates.
    PF_EffectWorld *Wrap(const ImageView &pixels, int32_t origin_x, int32_t origin_y, PF_RationalScale par,
                         const std::string &role);
    // A world with its own zeroed pixels and padding_pixels extra per row.
    PF_EffectWorld *Make(PixelDepth depth, int32_t width, int32_t height, int32_t padding_pixels, int32_t origin_x,
                         int32_t origin_y, PF_RationalScale par, const std::string &role);

    // Null for a pointer the host never handed out this frame.
    const HostWorld *Find(const PF_EffectWorld *world) const noexcept;
    const HostWorld *Last(const std::string &role) const noexcept;
    void Clear() noexcept { worlds_.clear(); }

private:
    PF_EffectWorld *Describe(HostWorld &entry, int32_t origin_x, int32_t origin_y, PF_RationalScale par);

    std::deque<HostWorld> worlds_;  // a deque keeps the handed-out addresses stable
};

}  // namespace tidalhalo::sim
