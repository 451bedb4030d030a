// File names of frame sequences: the last run of '#' in a name stands for
// the frame number, padded with zeros to the run's length
// (halo_####.png, frame 7: halo_0007.png).
#pragma once

#include <cstdint>
#include <string>

namespace tidalhalo::cli {

bool HasFramePattern(const std::string &name) noexcept;

// The name for one frame; a name without '#' is returned as it is.
std::string FrameFileName(const std::string &pattern, int32_t frame);

}  // namespace tidalhalo::cli
