// Frames of 3840 x 2160 rendered by the built module through our host: the
// pre-render and the render commands, the host's multithreaded iteration.
// Beside them, in the same run, the floor (the host copying the source
// frame) and the yardstick (a plain per-pixel ring through the same
// iteration). Run: build/native/bench/tidalhalo_bench; the README has the
// full command. With TIDALHALO_BENCH_BASELINE naming another module file,
// each frame is also timed through that module right after, so that a
// change is measured against the module before it in one run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "bench/bench_source.h"
#include "bench/bench_summary.h"
#include "bench/heap_meter.h"
#include "bench/naive_ring.h"
#include "params/ring_params.h"
#include "sim/frame_renderer.h"
#include "sim/pixel_iterate.h"

namespace {

using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::ImageView;
using tidalhalo::sim::PixelDepth;

constexpr int32_t BENCH_WIDTH = 3840;
constexpr int32_t BENCH_HEIGHT = 2160;
constexpr double BENCH_RADIUS = 500.0;
constexpr double BENCH_FEATHER = 50.0;
constexpr double BENCH_EXPAND = 50.0;
constexpr double BENCH_SCATTER = 10.0;
// Wide enough that every pixel of the frame lies on one ramp or the other.
constexpr double BENCH_WIDE_FEATHER = 2000.0;

struct Features {
    const char *name;
    bool smooth;
    double scatter;
    double feather;
    double expand;
};

constexpr Features BENCH_FEATURES[] = {
    {"plain", false, 0.0, BENCH_FEATHER, BENCH_EXPAND},
    {"smooth", true, 0.0, BENCH_FEATHER, BENCH_EXPAND},
    {"scatter", true, BENCH_SCATTER, BENCH_FEATHER, BENCH_EXPAND},
    {"wide", true, 0.0, BENCH_WIDE_FEATHER, 100.0},
};

struct Depth {
    const char *name;
    PixelDepth depth;
};

constexpr Depth BENCH_DEPTHS[] = {{"8", PixelDepth::Eight}, {"16", PixelDepth::Sixteen}, {"32", PixelDepth::Float}};

struct Blend {
    const char *name;
    int32_t mode;
};

constexpr Blend BENCH_BLENDS[] = {{"none", BLEND_NONE},
                                  {"normal", BLEND_NORMAL},
                                  {"add", BLEND_ADD},
                                  {"stencil", BLEND_STENCIL_MULTIPLY},
                                  {"stencil-alpha", BLEND_STENCIL_MULTIPLY_ALPHA}};

constexpr unsigned BENCH_THREADS[] = {1, 2};

// The baseline's runs carry this prefix.
constexpr const char *BENCH_BASELINE_PREFIX = "baseline/";

double FrameBytes(PixelDepth depth) {
    return static_cast<double>(BENCH_WIDTH) * BENCH_HEIGHT * static_cast<double>(tidalhalo::sim::PixelSize(depth));
}

// Per-frame time is real time: the work runs on the iteration's threads.
void Report(benchmark::State &state, PixelDepth depth, std::size_t heap_before) {
    const double pixels = static_cast<double>(BENCH_WIDTH) * BENCH_HEIGHT;
    state.counters["Mpixel"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
    const double peak = static_cast<double>(tidalhalo::bench::HeapBytesPeak() - heap_before);
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak/2frames"] = peak / (2.0 * FrameBytes(depth));
}

void RenderFrames(benchmark::State &state, const std::string &module, PixelDepth depth, int32_t mode,
                  Features features, unsigned threads) {
    FrameRenderer renderer(module, tidalhalo::sim::Strictness::Off);
    renderer.SetPoint(RING_CENTER, BENCH_WIDTH / 2.0, BENCH_HEIGHT / 2.0);
    renderer.SetNumber(RING_RADIUS, BENCH_RADIUS);
    renderer.SetNumber(RING_FEATHER, features.feather);
    renderer.SetNumber(RING_EXPAND, features.expand);
    renderer.SetNumber(RING_OPACITY, 100.0);
    renderer.SetNumber(RING_SCATTER, features.scatter);
    renderer.SetNumber(RING_SMOOTH, features.smooth ? 1 : 0);
    renderer.SetNumber(RING_BLEND_MODE, mode);
    renderer.Settings().threads = threads;
    tidalhalo::bench::ResetHeapPeak();
    const std::size_t heap_before = tidalhalo::bench::HeapBytesNow();
    const Image source = tidalhalo::bench::MakeSourceFrame(depth, BENCH_WIDTH, BENCH_HEIGHT);
    Image destination(depth, BENCH_WIDTH, BENCH_HEIGHT);
    for (auto _ : state) {
        renderer.Render(source.View(), destination.View());
        benchmark::ClobberMemory();
    }
    Report(state, depth, heap_before);
}

void CopyFrames(benchmark::State &state, PixelDepth depth, unsigned threads) {
    tidalhalo::bench::ResetHeapPeak();
    const std::size_t heap_before = tidalhalo::bench::HeapBytesNow();
    const Image source = tidalhalo::bench::MakeSourceFrame(depth, BENCH_WIDTH, BENCH_HEIGHT);
    Image destination(depth, BENCH_WIDTH, BENCH_HEIGHT);
    const ImageView from = source.View();
    const ImageView to = destination.View();
    const auto row_bytes = static_cast<std::size_t>(BENCH_WIDTH) * tidalhalo::sim::PixelSize(depth);
    for (auto _ : state) {
        tidalhalo::sim::ForEachRow(0, BENCH_HEIGHT, threads, [&](int32_t y) -> PF_Err {
            std::memcpy(to.Row(y), from.Row(y), row_bytes);
            return PF_Err_NONE;
        });
        benchmark::ClobberMemory();
    }
    Report(state, depth, heap_before);
}

// 8-bit frames through the host's iteration with pixel, one call per pixel.
void IterateFrames(benchmark::State &state, PF_IteratePixel8Func pixel, void *refcon, unsigned threads) {
    tidalhalo::bench::ResetHeapPeak();
    const std::size_t heap_before = tidalhalo::bench::HeapBytesNow();
    const Image source = tidalhalo::bench::MakeSourceFrame(PixelDepth::Eight, BENCH_WIDTH, BENCH_HEIGHT);
    Image destination(PixelDepth::Eight, BENCH_WIDTH, BENCH_HEIGHT);
    const PF_LRect whole{0, 0, BENCH_WIDTH, BENCH_HEIGHT};
    for (auto _ : state) {
        // Hidden from the optimiser, so every pixel is a call through a pointer.
        PF_IteratePixel8Func hidden = pixel;
        benchmark::DoNotOptimize(hidden);
        tidalhalo::sim::IteratePixels<PF_Pixel>(source.View(), destination.View(), whole, refcon, hidden, threads);
        benchmark::ClobberMemory();
    }
    Report(state, PixelDepth::Eight, heap_before);
}

// A pixel function that only copies: what a per-pixel call costs before the
// function does anything.
void CallFrames(benchmark::State &state, unsigned threads) {
    IterateFrames(state, tidalhalo::bench::CopyPixel8, nullptr, threads);
}

void NaiveFrames(benchmark::State &state, Features features, unsigned threads) {
    tidalhalo::bench::NaiveRing ring;
    ring.center_x = BENCH_WIDTH / 2.0;
    ring.center_y = BENCH_HEIGHT / 2.0;
    ring.radius = BENCH_RADIUS;
    ring.feather = features.feather;
    ring.inner_width = BENCH_RADIUS * features.expand / 100.0;
    ring.scatter = features.scatter * 1e-6;
    ring.smooth = features.smooth;
    IterateFrames(state, tidalhalo::bench::NaiveRingPixel8, &ring, threads);
}

// The fastest repetition, the one least disturbed by other work on the machine.
double Fastest(const std::vector<double> &times) {
    double fastest = times.empty() ? 0.0 : times.front();
    for (const double t : times) {
        fastest = t < fastest ? t : fastest;
    }
    return fastest;
}

void Register(const std::string &name, auto function) {
    benchmark::RegisterBenchmark(name.c_str(), function)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", Fastest);
}

void RegisterFrame(const std::string &baseline, const Depth &depth, const Blend &blend, const Features &features,
                   unsigned threads) {
    const std::string name = "frame/" + std::string(depth.name) + "/" + blend.name + "/" + features.name +
                             "/threads:" + std::to_string(threads);
    Register(name, [=](benchmark::State &state) {
        RenderFrames(state, TIDALHALO_MODULE_PATH, depth.depth, blend.mode, features, threads);
    });
    if (!baseline.empty()) {
        Register(BENCH_BASELINE_PREFIX + name, [=](benchmark::State &state) {
            RenderFrames(state, baseline, depth.depth, blend.mode, features, threads);
        });
    }
}

// Each 8-bit normal frame right after its yardstick, so that a ratio's two
// times come from the same minutes of a machine whose speed drifts; then
// the rest of the frames.
void RegisterAll(const std::string &baseline) {
    const Depth &eight = BENCH_DEPTHS[0];
    const Blend &normal = BENCH_BLENDS[1];
    for (const unsigned threads : BENCH_THREADS) {
        const std::string suffix = "/threads:" + std::to_string(threads);
        for (const Depth &depth : BENCH_DEPTHS) {
            Register("copy/" + std::string(depth.name) + suffix,
                     [=](benchmark::State &state) { CopyFrames(state, depth.depth, threads); });
        }
        Register("calls/8" + suffix, [=](benchmark::State &state) { CallFrames(state, threads); });
        for (const Features &features : BENCH_FEATURES) {
            if (features.scatter > 0.0 || features.smooth) {
                Register("naive/8/normal/" + std::string(features.name) + suffix,
                         [=](benchmark::State &state) { NaiveFrames(state, features, threads); });
            }
            RegisterFrame(baseline, eight, normal, features, threads);
        }
        for (const Depth &depth : BENCH_DEPTHS) {
            for (const Blend &blend : BENCH_BLENDS) {
                for (const Features &features : BENCH_FEATURES) {
                    const bool wide = features.feather == BENCH_WIDE_FEATHER;
                    if (wide || (&depth == &eight && &blend == &normal)) {
                        continue;  // the worst case only where the yardstick runs
                    }
                    RegisterFrame(baseline, depth, blend, features, threads);
                }
            }
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    const char *baseline = std::getenv("TIDALHALO_BENCH_BASELINE");
    RegisterAll(baseline != nullptr ? baseline : "");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tidalhalo::bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // After a console table on standard output; after JSON or CSV on standard
    // error, so that the file stays readable by its tools.
    std::ostream &out = reporter.DisplayIsConsole() ? std::cout : std::cerr;
    tidalhalo::bench::PrintSummary(out, reporter.Times(), baseline != nullptr ? BENCH_BASELINE_PREFIX : "");
    benchmark::Shutdown();
    return 0;
}
