#include "sim/param_values.h"

#include <algorithm>
#include <stdexcept>

namespace tidalhalo::sim {

Track Track::Keyed(std::vector<Keyframe> keys) {
    if (keys.empty()) {
        throw std::invalid_argument("a keyframed track needs at least one keyframe");
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Keyframe &a, const Keyframe &b) { return a.frame < b.frame; });
    Track track;
    track.keys_ = std::move(keys);
    return track;
}

double Track::At(double frame) const noexcept {
    if (frame <= keys_.front().frame) {
        return keys_.front().value;
    }
    for (std::size_t i = 1; i < keys_.size(); ++i) {
        const Keyframe &a = keys_[i - 1];
        const Keyframe &b = keys_[i];
        if (frame < b.frame) {
            const double t = (frame - a.frame) / (b.frame - a.frame);
            return a.value + (b.value - a.value) * t;
        }
    }
    return keys_.back().value;
}

double Track::HeldAt(double frame) const noexcept {
    double value = keys_.front().value;
    for (const Keyframe &key : keys_) {
        if (key.frame <= frame) {
            value = key.value;
        }
    }
    return value;
}

}  // namespace tidalhalo::sim
