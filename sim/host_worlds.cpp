#include "sim/host_worlds.h"

namespace tidalhalo::sim {

ImageView HostWorld::View() const noexcept {
    return ImageView{depth, world.data, world.rowbytes, world.width, world.height};
}

PF_EffectWorld *WorldRegistry::Wrap(const ImageView &pixels, int32_t origin_x, int32_t origin_y,
                                    PF_RationalScale par, const std::string &role) {
    HostWorld &entry = worlds_.emplace_back();
    entry.depth = pixels.depth;
    entry.role = role;
    entry.world.data = pixels.data;
    entry.world.rowbytes = static_cast<int32_t>(pixels.rowbytes);
    entry.world.width = pixels.width;
    entry.world.height = pixels.height;
    return Describe(entry, origin_x, origin_y, par);
}

PF_EffectWorld *WorldRegistry::Make(PixelDepth depth, int32_t width, int32_t height, int32_t padding_pixels,
                                    int32_t origin_x, int32_t origin_y, PF_RationalScale par,
                                    const std::string &role) {
    HostWorld &entry = worlds_.emplace_back();
    entry.depth = depth;
    entry.role = role;
    entry.owned = Image(depth, width, height, padding_pixels);
    const ImageView view = entry.owned.View();
    entry.world.data = view.data;
    entry.world.rowbytes = static_cast<int32_t>(view.rowbytes);
    entry.world.width = width;
    entry.world.height = height;
    return Describe(entry, origin_x, origin_y, par);
}

PF_EffectWorld *WorldRegistry::Describe(HostWorld &entry, int32_t origin_x, int32_t origin_y, PF_RationalScale par) {
    entry.world.world_flags = 0;
    entry.world.extent_hint = PF_LRect{0, 0, entry.world.width, entry.world.height};
    entry.world.pix_aspect_ratio = par;
    entry.world.origin_x = origin_x;
    entry.world.origin_y = origin_y;
    entry.world.platform_ref = nullptr;
    return &entry.world;
}

const HostWorld *WorldRegistry::Find(const PF_EffectWorld *world) const noexcept {
    for (const HostWorld &entry : worlds_) {
        if (&entry.world == world) {
            return &entry;
        }
    }
    return nullptr;
}

const HostWorld *WorldRegistry::Last(const std::string &role) const noexcept {
    for (auto it = worlds_.rbegin(); it != worlds_.rend(); ++it) {
        if (it->role == role) {
            return &*it;
        }
    }
    return nullptr;
}

}  // namespace tidalhalo::sim
