// The OpenFX bundle against the module, 3840 x 2160 frames in 8-bit and
// float: the bundle through our OpenFX test host (its multithread suite
// offering one or two CPUs), the module through our host (its multithreaded
// iteration on as many threads), same ring, same run. Run:
// build/native/bench/tidalhalo_ofx_bench.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench/bench_source.h"
#include "params/ring_params.h"
#include "sim/frame_renderer.h"
#include "tests/openfx/ofx_pictures.h"

namespace {

using tidalhalo::ofxtest::HostImage;
using tidalhalo::ofxtest::HostOptions;
using tidalhalo::ofxtest::RingSetting;
using tidalhalo::ofxtest::TestHost;
using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::PixelDepth;

constexpr int32_t BENCH_WIDTH = 3840;
constexpr int32_t BENCH_HEIGHT = 2160;
constexpr unsigned BENCH_THREADS[] = {1, 2};

struct Features {
    const char *name;
    bool smooth;
    double scatter;
};

constexpr Features BENCH_FEATURES[] = {{"smooth", true, 0.0}, {"scatter", true, 10.0}};

struct Depth {
    const char *name;
    PixelDepth depth;
    const char *ofx_depth;
};

const Depth BENCH_DEPTHS[] = {{"8", PixelDepth::Eight, kOfxBitDepthByte}, {"32", PixelDepth::Float, kOfxBitDepthFloat}};

void Count(benchmark::State &state) {
    state.counters["Mpixel"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * BENCH_WIDTH * BENCH_HEIGHT / 1e6, benchmark::Counter::kIsRate);
}

void ModuleFrames(benchmark::State &state, const Depth &depth, const Features &features, unsigned threads) {
    FrameRenderer renderer(TIDALHALO_MODULE_PATH, tidalhalo::sim::Strictness::Off);
    renderer.SetPoint(RING_CENTER, BENCH_WIDTH / 2.0, BENCH_HEIGHT / 2.0);
    renderer.SetNumber(RING_RADIUS, 500.0);
    renderer.SetNumber(RING_FEATHER, 50.0);
    renderer.SetNumber(RING_EXPAND, 50.0);
    renderer.SetNumber(RING_OPACITY, 100.0);
    renderer.SetNumber(RING_SCATTER, features.scatter);
    renderer.SetNumber(RING_SMOOTH, features.smooth ? 1 : 0);
    renderer.SetNumber(RING_BLEND_MODE, BLEND_NORMAL);
    renderer.Settings().threads = threads;
    const Image source = tidalhalo::bench::MakeSourceFrame(depth.depth, BENCH_WIDTH, BENCH_HEIGHT);
    Image destination(depth.depth, BENCH_WIDTH, BENCH_HEIGHT);
    for (auto _ : state) {
        renderer.Render(source.View(), destination.View());
        benchmark::ClobberMemory();
    }
    Count(state);
}

// The module's source frame, its top row the image's top row, channels in
// OpenFX's order.
HostImage SourceFrame(const Depth &depth) {
    const Image frame = tidalhalo::bench::MakeSourceFrame(depth.depth, BENCH_WIDTH, BENCH_HEIGHT);
    HostImage image = HostImage::Make(depth.ofx_depth, OfxRectI{0, 0, BENCH_WIDTH, BENCH_HEIGHT}, 0, false);
    for (int32_t row = 0; row < BENCH_HEIGHT; ++row) {
        for (int32_t x = 0; x < BENCH_WIDTH; ++x) {
            unsigned char *pixel = image.Pixel(x, BENCH_HEIGHT - 1 - row);
            if (depth.depth == PixelDepth::Eight) {
                const PF_Pixel p = *frame.PixelAt<PF_Pixel>(x, row);
                const unsigned char rgba[4] = {p.red, p.green, p.blue, p.alpha};
                std::memcpy(pixel, rgba, 4);
            } else {
                const PF_PixelFloat p = *frame.PixelAt<PF_PixelFloat>(x, row);
                const float rgba[4] = {p.red, p.green, p.blue, p.alpha};
                std::memcpy(pixel, rgba, 16);
            }
        }
    }
    return image;
}

void OfxFrames(benchmark::State &state, const Depth &depth, const Features &features, unsigned threads) {
    HostOptions options;
    options.cpus = threads;
    TestHost host(TIDALHALO_OFX_PLUGIN, options, tidalhalo::ofxtest::Strictness::Off);
    host.Load();
    host.Describe();
    host.DescribeInContext();
    const OfxRectI bounds{0, 0, BENCH_WIDTH, BENCH_HEIGHT};
    tidalhalo::ofxtest::Effect *instance = host.CreateInstance(OfxRectD{0, 0, BENCH_WIDTH, BENCH_HEIGHT});
    const RingSetting ring{BENCH_WIDTH / 2.0, BENCH_HEIGHT / 2.0, 500.0, 50.0, 50.0, 100.0, features.scatter,
                           {1, 1, 1}, {0, 127.0 / 255.0, 1}, features.smooth};
    tidalhalo::ofxtest::ApplySetting(host, *instance, ring, BLEND_NORMAL - BLEND_NONE);
    HostImage source = SourceFrame(depth);
    HostImage destination = HostImage::Make(depth.ofx_depth, bounds, 0, false);
    for (auto _ : state) {
        if (host.Render(*instance, {0.0, 1.0, 1.0, bounds}, &source, &destination) != kOfxStatOK) {
            state.SkipWithError("the bundle did not render");
            break;
        }
        benchmark::ClobberMemory();
    }
    Count(state);
}

void Register(const std::string &name, auto function) {
    benchmark::RegisterBenchmark(name.c_str(), function)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

int main(int argc, char **argv) {
    for (const unsigned threads : BENCH_THREADS) {
        for (const Depth &depth : BENCH_DEPTHS) {
            for (const Features &features : BENCH_FEATURES) {
                const std::string suffix = std::string(depth.name) + "/normal/" + features.name + "/threads:" +
                                           std::to_string(threads);
                Register("module/" + suffix,
                         [=](benchmark::State &state) { ModuleFrames(state, depth, features, threads); });
                Register("ofx/" + suffix, [=](benchmark::State &state) { OfxFrames(state, depth, features, threads); });
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
