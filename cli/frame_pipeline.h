// A frame range with every core busy: while one frame renders, the next
// ones' inputs are read and the ones before are encoded, a few at once on
// threads of their own, and written in frame order. The frames in flight
// are a few whatever the range's length, and each frame's file is what
// rendering the frames one by one would give.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sim/image.h"

namespace tidalhalo::cli {

struct FrameStages {
    // The source of a frame, on a reading thread; a source that does not
    // change may be returned for every frame.
    std::function<std::shared_ptr<const sim::Image>(int32_t frame)> load;
    // The finished frame, on the calling thread, in frame order.
    std::function<sim::Image(int32_t frame, const sim::Image &source)> render;
    // The file's bytes (or nothing, for commit to write), on an encoding thread.
    std::function<std::vector<uint8_t>(int32_t frame, const sim::Image &image)> encode;
    // Writes the frame's file, on the writing thread, in frame order.
    std::function<void(int32_t frame, const sim::Image &image, const std::vector<uint8_t> &encoded)> commit;
};

// Runs frames first to last (counted in 64 bits, so the last may be the
// largest 32-bit number). A failure stops the range as it would stop one
// frame after the other: every earlier frame is written, no later one,
// and the failure is rethrown.
void RunFrames(int64_t first, int64_t last, const FrameStages &stages);

}  // namespace tidalhalo::cli
