// The built-in input picture, 1920x1080, arranged in quadrants that meet
// at the centre so that a ring around the default centre crosses all of
// them: a hue sweep (top left), a grey checker (top right), a grey ramp
// (bottom left) and a colour gradient whose alpha fades to a fully
// transparent band (bottom right).
#pragma once

#include "sim/image.h"

namespace tidalhalo::cli {

constexpr int32_t kTestCardWidth = 1920;
constexpr int32_t kTestCardHeight = 1080;

sim::Image MakeTestCard(sim::PixelDepth depth);

}  // namespace tidalhalo::cli
