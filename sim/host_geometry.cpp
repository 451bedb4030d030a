#include "sim/host_geometry.h"

#include <algorithm>
#include <cstdio>

namespace tidalhalo::sim {

bool IsEmpty(const PF_LRect &rect) noexcept { return rect.left >= rect.right || rect.top >= rect.bottom; }

PF_LRect Intersect(const PF_LRect &a, const PF_LRect &b) noexcept {
    const PF_LRect common{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                          std::min(a.bottom, b.bottom)};
    return IsEmpty(common) ? PF_LRect{0, 0, 0, 0} : common;
}

std::string RectText(const PF_LRect &rect) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", static_cast<int>(rect.left), static_cast<int>(rect.top),
                  static_cast<int>(rect.right), static_cast<int>(rect.bottom));
    return text;
}

}  // namespace tidalhalo::sim
