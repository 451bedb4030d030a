// Rectangles as the host reasons about them.
#pragma once

#include <string>

#include "host/host_types.h"

namespace tidalhalo::sim {

// Empty when left >= right or top >= bottom.
bool IsEmpty(const PF_LRect &rect) noexcept;
// The common part of a and b; (0, 0, 0, 0) when they do not meet.
PF_LRect Intersect(const PF_LRect &a, const PF_LRect &b) noexcept;
// "(left, top, right, bottom)".
std::string RectText(const PF_LRect &rect);

}  // namespace tidalhalo::sim
