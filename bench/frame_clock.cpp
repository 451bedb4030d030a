// Times 3840 x 2160 frames of one module file, without Google Benchmark, so
// that it also builds for Windows and times the .aex under Wine beside the
// native module:
//   build/windows/bench/frame_clock.exe build/windows/Kv_Tidalhalo.aex
#include <chrono>
#include <cstdio>
#include <exception>

#include "bench/bench_source.h"
#include "params/ring_params.h"
#include "sim/frame_renderer.h"

namespace {

using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::PixelDepth;

constexpr int32_t CLOCK_WIDTH = 3840;
constexpr int32_t CLOCK_HEIGHT = 2160;
constexpr int CLOCK_FRAMES = 8;

double MillisecondsPerFrame(FrameRenderer &renderer, PixelDepth depth) {
    const Image source = tidalhalo::bench::MakeSourceFrame(depth, CLOCK_WIDTH, CLOCK_HEIGHT);
    Image destination(depth, CLOCK_WIDTH, CLOCK_HEIGHT);
    renderer.Render(source.View(), destination.View());  // warm up
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < CLOCK_FRAMES; ++i) {
        renderer.Render(source.View(), destination.View());
    }
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / CLOCK_FRAMES;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: frame_clock MODULE\n");
        return 2;
    }
    try {
        FrameRenderer renderer(argv[1], tidalhalo::sim::Strictness::Off);
        renderer.SetPoint(RING_CENTER, CLOCK_WIDTH / 2.0, CLOCK_HEIGHT / 2.0);
        renderer.SetNumber(RING_RADIUS, 500.0);
        renderer.SetNumber(RING_FEATHER, 50.0);
        renderer.SetNumber(RING_EXPAND, 50.0);
        renderer.SetNumber(RING_BLEND_MODE, BLEND_NORMAL);
        const struct {
            const char *name;
            PixelDepth depth;
        } depths[] = {{"8", PixelDepth::Eight}, {"16", PixelDepth::Sixteen}, {"32", PixelDepth::Float}};
        for (const unsigned threads : {1u, 2u}) {
            renderer.Settings().threads = threads;
            const struct {
                const char *name;
                int smooth;
                double scatter;
            } features[] = {{"plain", 0, 0.0}, {"smooth", 1, 0.0}, {"scatter", 1, 10.0}};
            for (const auto &feature : features) {
                renderer.SetNumber(RING_SMOOTH, feature.smooth);
                renderer.SetNumber(RING_SCATTER, feature.scatter);
                for (const auto &depth : depths) {
                    std::printf("frame/%s/normal/%s/threads:%u %.1f ms\n", depth.name, feature.name, threads,
                                MillisecondsPerFrame(renderer, depth.depth));
                }
            }
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "frame_clock: error: %s\n", error.what());
        return 1;
    }
    return 0;
}
