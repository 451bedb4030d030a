// Reading the tool's output files independently of the tool, and writing
// input files of every PNG kind for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidalhalo::test {

// A picture as stored: RGBA samples in file order and file units (0..255,
// 0..65535, or EXR floats as written, premultiplied).
struct Picture {
    int width = 0;
    int height = 0;
    int bits = 0;  // 8, 16, or 32 for EXR
    std::vector<double> samples;

    double At(int x, int y, int channel) const {
        return samples[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4 +
                       static_cast<std::size_t>(channel)];
    }
    double Alpha(int x, int y) const { return At(x, y, 3); }
};

enum Channel { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

// By extension: .png or .exr. Fails the calling test through an exception
// if the file is not a readable picture.
Picture ReadPicture(const std::string &path);

// A PNG of any colour type (0 grey, 2 RGB, 4 grey+alpha, 6 RGBA) and bit
// depth 8 or 16, from samples in file order.
void WritePngFile(const std::string &path, int width, int height, int color_type, int bits,
                  const std::vector<uint16_t> &samples);

// An EXR with R, G, B, A as 32-bit float, from RGBA samples.
void WriteExrFile(const std::string &path, int width, int height, const std::vector<float> &rgba);

}  // namespace tidalhalo::test
