#include "cli/frame_pattern.h"

namespace tidalhalo::cli {

bool HasFramePattern(const std::string &name) noexcept {
    return name.find('#') != std::string::npos;
}

std::string FrameFileName(const std::string &pattern, int32_t frame) {
    const std::size_t last = pattern.rfind('#');
    if (last == std::string::npos) {
        return pattern;
    }
    std::size_t first = last;
    while (first > 0 && pattern[first - 1] == '#') {
        --first;
    }
    const std::size_t width = last - first + 1;
    std::string number = std::to_string(frame);
    if (number.size() < width) {
        number.insert(0, width - number.size(), '0');
    }
    return pattern.substr(0, first) + number + pattern.substr(last + 1);
}

}  // namespace tidalhalo::cli
