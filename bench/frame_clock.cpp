// Times 3840 x 2160 frames of one module file, without Google Benchmark, so
// that it also builds for Windows and times the .aex under Wine beside the
// native module:
//   build/windows/bench/frame_clock.exe build/windows/Kv_Tidalhalo.aex
// The features of one depth take turns frame by frame, and each reports its
// fastest frame: on a machine shared with other work, the difference of two
// features is then not swamped by the machine's drift between them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "bench/bench_source.h"
#include "params/ring_params.h"
#include "sim/frame_renderer.h"

namespace {

using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::PixelDepth;

constexpr int32_t CLOCK_WIDTH = 3840;
constexpr int32_t CLOCK_HEIGHT = 2160;
constexpr int CLOCK_ROUNDS = 8;

struct Feature {
    const char *name;
    int smooth;
    double scatter;
};

constexpr Feature CLOCK_FEATURES[] = {{"plain", 0, 0.0}, {"smooth", 1, 0.0}, {"scatter", 1, 10.0}};

std::unique_ptr<FrameRenderer> MakeRenderer(const char *module, const Feature &feature, unsigned threads) {
    auto renderer = std::make_unique<FrameRenderer>(module, tidalhalo::sim::Strictness::Off);
    renderer->SetPoint(RING_CENTER, CLOCK_WIDTH / 2.0, CLOCK_HEIGHT / 2.0);
    renderer->SetNumber(RING_RADIUS, 500.0);
    renderer->SetNumber(RING_FEATHER, 50.0);
    renderer->SetNumber(RING_EXPAND, 50.0);
    renderer->SetNumber(RING_BLEND_MODE, BLEND_NORMAL);
    renderer->SetNumber(RING_SMOOTH, feature.smooth);
    renderer->SetNumber(RING_SCATTER, feature.scatter);
    renderer->Settings().threads = threads;
    return renderer;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: frame_clock MODULE\n");
        return 2;
    }
    try {
        const struct {
            const char *name;
            PixelDepth depth;
        } depths[] = {{"8", PixelDepth::Eight}, {"16", PixelDepth::Sixteen}, {"32", PixelDepth::Float}};
        for (const unsigned threads : {1u, 2u}) {
            for (const auto &depth : depths) {
                const Image source = tidalhalo::bench::MakeSourceFrame(depth.depth, CLOCK_WIDTH, CLOCK_HEIGHT);
                Image destination(depth.depth, CLOCK_WIDTH, CLOCK_HEIGHT);
                std::vector<std::unique_ptr<FrameRenderer>> renderers;
                std::vector<double> fastest;
                for (const Feature &feature : CLOCK_FEATURES) {
                    renderers.push_back(MakeRenderer(argv[1], feature, threads));
                    renderers.back()->Render(source.View(), destination.View());  // warm up
                    fastest.push_back(1e300);
                }
                for (int round = 0; round < CLOCK_ROUNDS; ++round) {
                    for (size_t f = 0; f < renderers.size(); ++f) {
                        const auto start = std::chrono::steady_clock::now();
                        renderers[f]->Render(source.View(), destination.View());
                        const std::chrono::duration<double, std::milli> spent =
                            std::chrono::steady_clock::now() - start;
                        fastest[f] = std::min(fastest[f], spent.count());
                    }
                }
                for (size_t f = 0; f < renderers.size(); ++f) {
                    std::printf("frame/%s/normal/%s/threads:%u %.2f ms\n", depth.name, CLOCK_FEATURES[f].name,
                                threads, fastest[f]);
                }
            }
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "frame_clock: error: %s\n", error.what());
        return 1;
    }
    return 0;
}
