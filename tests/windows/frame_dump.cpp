// Renders a fixed set of frames through a module's export and writes their
// pixels (for the 4K frame, a hash of each row) to a file, so that the Windows module under Wine and the native
// module can be compared byte for byte. With a reference file it also
// compares and names the first frame and pixel that differ.
//
//   frame_dump MODULE OUTPUT [REFERENCE]
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "params/ring_params.h"
#include "sim/frame_renderer.h"
#include "sim/image.h"

namespace {

using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::PixelDepth;

constexpr int32_t WIDTH = 101;
constexpr int32_t HEIGHT = 67;
constexpr int32_t WIDTH_4K = 3840;
constexpr int32_t HEIGHT_4K = 2160;

// A source with every channel varying, transparent and opaque alpha, and
// (in float) values outside 0..1, which float pixels keep.
Image Source(PixelDepth depth, int32_t width = WIDTH, int32_t height = HEIGHT) {
    Image image(depth, width, height, 3);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t a = (x * 5 + y * 3) % 256;
            const int32_t alpha = x < 10 ? 0 : (x > 90 ? 255 : a);
            const int32_t r = (x * 7 + y * 13) % 256;
            const int32_t g = (x * 3 + y * 29 + 80) % 256;
            const int32_t b = (255 - x * 2 - y) & 255;
            if (depth == PixelDepth::Eight) {
                *image.PixelAt<PF_Pixel>(x, y) = {static_cast<uint8_t>(alpha), static_cast<uint8_t>(r),
                                                  static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
            } else if (depth == PixelDepth::Sixteen) {
                auto deep = [](int32_t v) { return static_cast<uint16_t>(v * 32768 / 255); };
                *image.PixelAt<PF_Pixel16>(x, y) = {deep(alpha), deep(r), deep(g), deep(b)};
            } else {
                auto wide = [](int32_t v) { return static_cast<float>(v) / 200.0f - 0.1f; };
                *image.PixelAt<PF_PixelFloat>(x, y) = {static_cast<float>(alpha) / 255.0f, wide(r), wide(g),
                                                       wide(b)};
            }
        }
    }
    return image;
}

struct Frame {
    std::string name;
    size_t unit_size;  // bytes of one pixel, or of one row's hash
    size_t columns;    // units in a row
    std::vector<uint8_t> pixels;
};

Frame Pixels(std::string name, const Image& image) {
    const size_t pixel_size = tidalhalo::sim::PixelSize(image.Depth());
    const size_t row = static_cast<size_t>(WIDTH) * pixel_size;
    Frame frame{std::move(name), pixel_size, static_cast<size_t>(WIDTH), {}};
    for (int32_t y = 0; y < HEIGHT; ++y) {
        const auto* start = reinterpret_cast<const uint8_t*>(image.View().Row(y));
        frame.pixels.insert(frame.pixels.end(), start, start + row);
    }
    return frame;
}

// A large frame kept as one 64-bit FNV-1a hash per row, which still names
// the first row that differs.
Frame RowHashes(std::string name, const Image& image, int32_t width, int32_t height) {
    const size_t row = static_cast<size_t>(width) * tidalhalo::sim::PixelSize(image.Depth());
    Frame frame{std::move(name), sizeof(uint64_t), 1, {}};
    for (int32_t y = 0; y < height; ++y) {
        const auto* start = reinterpret_cast<const uint8_t*>(image.View().Row(y));
        uint64_t hash = 0xCBF29CE484222325ull;
        for (size_t i = 0; i < row; ++i) {
            hash = (hash ^ start[i]) * 0x100000001B3ull;
        }
        for (int shift = 0; shift < 64; shift += 8) {
            frame.pixels.push_back(static_cast<uint8_t>(hash >> shift));
        }
    }
    return frame;
}

std::vector<Frame> RenderAll(const std::string& module) {
    FrameRenderer renderer(module);
    renderer.Settings().threads = 2;
    renderer.SetPoint(RING_CENTER, 47.25, 31.5);
    renderer.SetNumber(RING_RADIUS, 30.0);
    renderer.SetNumber(RING_FEATHER, 8.5);
    renderer.SetNumber(RING_EXPAND, 40.0);
    renderer.SetNumber(RING_OPACITY, 85.0);
    renderer.SetColor(RING_COLOR1, {255, 250, 200, 40});
    renderer.SetColor(RING_COLOR2, {200, 10, 120, 255});

    const struct {
        const char* name;
        PixelDepth depth;
    } depths[] = {{"8-bit", PixelDepth::Eight}, {"16-bit", PixelDepth::Sixteen}, {"float", PixelDepth::Float}};
    const struct {
        const char* name;
        double scatter;
        double smooth;
    } looks[] = {{"scatter+smooth", 12.0, 1.0}, {"plain", 0.0, 0.0}};

    std::vector<Frame> frames;
    for (const auto& look : looks) {
        renderer.SetNumber(RING_SCATTER, look.scatter);
        renderer.SetNumber(RING_SMOOTH, look.smooth);
        for (const auto& depth : depths) {
            const Image source = Source(depth.depth);
            for (int32_t mode = BLEND_NONE; mode <= BLEND_STENCIL_MULTIPLY_ALPHA; ++mode) {
                renderer.SetNumber(RING_BLEND_MODE, mode);
                Image destination(depth.depth, WIDTH, HEIGHT, 1);
                renderer.Render(source.View(), destination.View());
                frames.push_back(
                    Pixels(std::string(look.name) + " " + depth.name + " mode " + std::to_string(mode), destination));
            }
        }
    }

    // A 4K float frame with smoothing: millions of cosines, each of which
    // could round differently on another platform.
    renderer.SetPoint(RING_CENTER, 1900.5, 1050.25);
    renderer.SetNumber(RING_RADIUS, 700.0);
    renderer.SetNumber(RING_FEATHER, 420.0);
    renderer.SetNumber(RING_EXPAND, 70.0);
    renderer.SetNumber(RING_SCATTER, 0.0);
    renderer.SetNumber(RING_SMOOTH, 1.0);
    renderer.SetNumber(RING_BLEND_MODE, BLEND_NORMAL);
    const Image source = Source(PixelDepth::Float, WIDTH_4K, HEIGHT_4K);
    Image destination(PixelDepth::Float, WIDTH_4K, HEIGHT_4K);
    renderer.Render(source.View(), destination.View());
    frames.push_back(RowHashes("smooth float 3840x2160, row hashes", destination, WIDTH_4K, HEIGHT_4K));
    return frames;
}

int Compare(const std::vector<Frame>& frames, const std::string& reference_path) {
    std::ifstream in(reference_path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "frame_dump: cannot read %s\n", reference_path.c_str());
        return 2;
    }
    const std::vector<uint8_t> reference{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    size_t at = 0;
    for (const Frame& frame : frames) {
        const size_t size = frame.pixels.size();
        if (reference.size() - at < size) {
            std::fprintf(stderr, "frame_dump: reference ends before frame %s\n", frame.name.c_str());
            return 1;
        }
        if (std::memcmp(reference.data() + at, frame.pixels.data(), size) != 0) {
            size_t i = 0;
            while (reference[at + i] == frame.pixels[i]) ++i;
            const size_t unit = i / frame.unit_size;
            std::fprintf(stderr, "frame_dump: frame %s differs first at (%zu, %zu), byte %zu\n",
                         frame.name.c_str(), unit % frame.columns, unit / frame.columns, i);
            return 1;
        }
        at += size;
    }
    if (at != reference.size()) {
        std::fprintf(stderr, "frame_dump: reference holds more than the %zu frames\n", frames.size());
        return 1;
    }
    std::printf("frame_dump: %zu frames equal to %s\n", frames.size(), reference_path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: frame_dump MODULE OUTPUT [REFERENCE]\n");
        return 2;
    }
    try {
        const std::vector<Frame> frames = RenderAll(argv[1]);
        std::ofstream out(argv[2], std::ios::binary);
        for (const Frame& frame : frames)
            out.write(reinterpret_cast<const char*>(frame.pixels.data()),
                      static_cast<std::streamsize>(frame.pixels.size()));
        if (!out) {
            std::fprintf(stderr, "frame_dump: cannot write %s\n", argv[2]);
            return 2;
        }
        std::printf("frame_dump: %zu frames from %s\n", frames.size(), argv[1]);
        return argc == 4 ? Compare(frames, argv[3]) : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "frame_dump: %s\n", e.what());
        return 1;
    }
}
