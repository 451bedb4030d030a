// Frames written one after another to a file and compared with the file
// another build wrote, so that a Windows build run under Wine is held to the
// Linux build's frames byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tidalhalo::test {

struct NamedFrame {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Writes the frames to output; with a reference file also compares them
// with it and names the first frame and byte that differ. Returns the
// program's exit status.
inline int WriteAndCompareFrames(const char *program, const std::vector<NamedFrame> &frames,
                                 const std::string &output, const char *reference_path) {
    std::vector<uint8_t> all;
    for (const NamedFrame &frame : frames) all.insert(all.end(), frame.bytes.begin(), frame.bytes.end());
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char *>(all.data()), static_cast<std::streamsize>(all.size()));
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", program, output.c_str());
        return 2;
    }
    if (reference_path == nullptr) return 0;
    std::ifstream in(reference_path, std::ios::binary);
    const std::vector<uint8_t> reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t offset = 0;
    for (const NamedFrame &frame : frames) {
        for (std::size_t i = 0; i < frame.bytes.size(); ++i, ++offset) {
            if (offset >= reference.size() || reference[offset] != frame.bytes[i]) {
                std::fprintf(stderr, "%s: %s differs at byte %zu\n", program, frame.name.c_str(), i);
                return 1;
            }
        }
    }
    if (offset != reference.size()) {
        std::fprintf(stderr, "%s: the reference holds %zu bytes, not %zu\n", program, reference.size(), offset);
        return 1;
    }
    std::printf("%s: %zu frames, %zu bytes, identical\n", program, frames.size(), offset);
    return 0;
}

}  // namespace tidalhalo::test
