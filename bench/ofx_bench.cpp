// The OpenFX bundle against the module, 3840 x 2160 frames in 8-bit and
// float: the bundle through our OpenFX test host (its multithread suite
// offering one or two CPUs), the module through our host (its multithreaded
// iteration on as many threads), same ring, same run. Beside them on as many
// threads, the bundle's yardsticks: the same 8-bit ring by a naive loop that
// computes each pixel inline, and a plain copy of the float frame's rows.
// With TIDALHALO_BENCH_OFX_BASELINE naming another bundle's .ofx file, each
// of the bundle's frames is also timed through that one right after. Ends
// with a summary of the ratios. Run: build/native/bench/tidalhalo_ofx_bench.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_source.h"
#include "bench/bench_summary.h"
#include "bench/naive_ring.h"
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
constexpr double BENCH_RADIUS = 500.0;
constexpr double BENCH_FEATHER = 50.0;
constexpr double BENCH_EXPAND = 50.0;
constexpr const char *BENCH_BASELINE_PREFIX = "baseline/";

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

// The source as a host hands it: the frame with its alpha sweep as straight
// colours (the frames without a suffix), the same colours premultiplied, and
// the frame at full alpha declared premultiplied, which must cost what it
// costs declared straight.
struct Source {
    const char *suffix;
    const char *premultiplication;
    bool premultiply;
    bool opaque;
};

constexpr Source BENCH_SOURCES[] = {{"", kOfxImageUnPreMultiplied, false, false},
                                    {"/premultiplied", kOfxImagePreMultiplied, true, false},
                                    {"/opaque-straight", kOfxImageUnPreMultiplied, false, true},
                                    {"/opaque", kOfxImagePreMultiplied, false, true}};

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
// OpenFX's order; premultiplied, or at full alpha, as the source asks.
HostImage SourceFrame(const Depth &depth, const Source &kind = BENCH_SOURCES[0]) {
    const Image frame = tidalhalo::bench::MakeSourceFrame(depth.depth, BENCH_WIDTH, BENCH_HEIGHT);
    HostImage image = HostImage::Make(depth.ofx_depth, OfxRectI{0, 0, BENCH_WIDTH, BENCH_HEIGHT}, 0, false);
    for (int32_t row = 0; row < BENCH_HEIGHT; ++row) {
        for (int32_t x = 0; x < BENCH_WIDTH; ++x) {
            unsigned char *pixel = image.Pixel(x, BENCH_HEIGHT - 1 - row);
            if (depth.depth == PixelDepth::Eight) {
                const PF_Pixel p = *frame.PixelAt<PF_Pixel>(x, row);
                const unsigned a = kind.opaque ? 255u : p.alpha;
                const auto times = [&](unsigned c) { return kind.premultiply ? (c * a + 127u) / 255u : c; };
                const unsigned char rgba[4] = {static_cast<unsigned char>(times(p.red)),
                                               static_cast<unsigned char>(times(p.green)),
                                               static_cast<unsigned char>(times(p.blue)), static_cast<unsigned char>(a)};
                std::memcpy(pixel, rgba, 4);
            } else {
                const PF_PixelFloat p = *frame.PixelAt<PF_PixelFloat>(x, row);
                const float a = kind.opaque ? 1.0f : p.alpha;
                const float k = kind.premultiply ? a : 1.0f;
                const float rgba[4] = {p.red * k, p.green * k, p.blue * k, a};
                std::memcpy(pixel, rgba, 16);
            }
        }
    }
    return image;
}

void OfxFrames(benchmark::State &state, const std::string &plugin, const Depth &depth, const Features &features,
               const Source &kind, unsigned threads) {
    HostOptions options;
    options.cpus = threads;
    TestHost host(plugin, options, tidalhalo::ofxtest::Strictness::Off);
    host.Load();
    host.Describe();
    host.DescribeInContext();
    const OfxRectI bounds{0, 0, BENCH_WIDTH, BENCH_HEIGHT};
    tidalhalo::ofxtest::Effect *instance =
        host.CreateInstance(OfxRectD{0, 0, BENCH_WIDTH, BENCH_HEIGHT}, 1.0, kind.premultiplication);
    const RingSetting ring{BENCH_WIDTH / 2.0, BENCH_HEIGHT / 2.0, BENCH_RADIUS, BENCH_FEATHER, BENCH_EXPAND, 100.0,
                           features.scatter, {1, 1, 1}, {0, 127.0 / 255.0, 1}, features.smooth};
    tidalhalo::ofxtest::ApplySetting(host, *instance, ring, BLEND_NORMAL - BLEND_NONE);
    HostImage source = SourceFrame(depth, kind);
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

// Rows 0..rows - 1 split into threads bands, the calling thread taking the first.
template <typename Band>
void InBands(unsigned threads, int32_t rows, Band band) {
    std::vector<std::thread> workers;
    const auto start = [&](unsigned i) { return static_cast<int32_t>(static_cast<int64_t>(rows) * i / threads); };
    for (unsigned i = 1; i < threads; ++i) {
        workers.emplace_back(band, start(i), start(i + 1));
    }
    band(start(0), start(1));
    for (std::thread &worker : workers) {
        worker.join();
    }
}

// The same ring and frame as the bundle's 8-bit one, by the naive loop.
void NaiveFrames(benchmark::State &state, const Features &features, unsigned threads) {
    tidalhalo::bench::NaiveRing ring;
    ring.center_x = BENCH_WIDTH / 2.0;
    ring.center_y = BENCH_HEIGHT / 2.0;
    ring.radius = BENCH_RADIUS;
    ring.feather = BENCH_FEATHER;
    ring.inner_width = BENCH_RADIUS * BENCH_EXPAND / 100.0;
    ring.scatter = features.scatter * 1e-6;
    ring.smooth = features.smooth;
    const HostImage source = SourceFrame(BENCH_DEPTHS[0]);
    HostImage destination = HostImage::Make(kOfxBitDepthByte, OfxRectI{0, 0, BENCH_WIDTH, BENCH_HEIGHT}, 0, false);
    const unsigned char *in = source.Pixel(0, 0);
    unsigned char *out = destination.Pixel(0, 0);
    for (auto _ : state) {
        InBands(threads, BENCH_HEIGHT, [&](int32_t first, int32_t end) {
            tidalhalo::bench::NaiveRingRows(ring, in, out, source.row_bytes, BENCH_WIDTH, first, end);
        });
        benchmark::ClobberMemory();
    }
    Count(state);
}

// The float frame's rows copied from the source image to the output.
void CopyFrames(benchmark::State &state, unsigned threads) {
    const HostImage source = SourceFrame(BENCH_DEPTHS[1]);
    HostImage destination = HostImage::Make(kOfxBitDepthFloat, OfxRectI{0, 0, BENCH_WIDTH, BENCH_HEIGHT}, 0, false);
    for (auto _ : state) {
        InBands(threads, BENCH_HEIGHT, [&](int32_t first, int32_t end) {
            for (int32_t y = first; y < end; ++y) {
                std::memcpy(destination.Pixel(0, y), source.Pixel(0, y), BENCH_WIDTH * 16);
            }
        });
        benchmark::ClobberMemory();
    }
    Count(state);
}

struct Target {
    const char *frame;
    const char *against;
    double limit;
};

constexpr Target BENCH_TARGETS[] = {
    {"ofx/8/normal/smooth", "naive/8/normal/smooth", 0.25},
    {"ofx/32/normal/smooth", "copy/32", 2.0},
};

void PrintOfxSummary(const std::map<std::string, double> &times, bool baseline) {
    const auto find = [&times](const std::string &name) {
        const auto found = times.find(name);
        return found == times.end() ? 0.0 : found->second;
    };
    char line[200];
    std::cout << "\nSummary (ratios of real time per frame in this run"
              << (baseline ? "; the baseline bundle's beside" : "") << ")\n";
    for (const unsigned threads : BENCH_THREADS) {
        const std::string suffix = "/threads:" + std::to_string(threads);
        for (const Target &target : BENCH_TARGETS) {
            const double time = find(target.frame + suffix);
            const double yardstick = find(target.against + suffix);
            const double before = find(BENCH_BASELINE_PREFIX + (target.frame + suffix));
            if (time == 0.0 || yardstick == 0.0) {
                continue;
            }
            std::snprintf(line, sizeof line, "%-32s %-30s <= %-5g %7.3f", (target.frame + suffix).c_str(),
                          (target.against + suffix).c_str(), target.limit, time / yardstick);
            std::cout << line;
            if (before != 0.0) {
                std::snprintf(line, sizeof line, "  baseline %7.3f", before / yardstick);
                std::cout << line;
            }
            std::cout << (time / yardstick <= target.limit ? "  met\n" : "  NOT MET\n");
        }
    }
    for (const auto &[name, time] : times) {
        if (!name.starts_with("ofx/")) {
            continue;
        }
        const double module = find("module/" + name.substr(4));
        const double before = find(BENCH_BASELINE_PREFIX + name);
        std::snprintf(line, sizeof line, "%-50s %8.2f ms", name.c_str(), time);
        std::cout << line;
        if (module != 0.0) {
            std::snprintf(line, sizeof line, "  module %8.2f ms  %6.3f", module, time / module);
            std::cout << line;
        }
        if (before != 0.0) {
            std::snprintf(line, sizeof line, "  baseline %8.2f ms  %6.3f", before, time / before);
            std::cout << line;
        }
        std::cout << "\n";
    }
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

}  // namespace

int main(int argc, char **argv) {
    const char *baseline_variable = std::getenv("TIDALHALO_BENCH_OFX_BASELINE");
    const std::string baseline = baseline_variable != nullptr ? baseline_variable : "";
    for (const unsigned threads : BENCH_THREADS) {
        const std::string thread_suffix = "/threads:" + std::to_string(threads);
        Register("copy/32" + thread_suffix, [=](benchmark::State &state) { CopyFrames(state, threads); });
        for (const Features &features : BENCH_FEATURES) {
            Register("naive/8/normal/" + std::string(features.name) + thread_suffix,
                     [=](benchmark::State &state) { NaiveFrames(state, features, threads); });
        }
        for (const Depth &depth : BENCH_DEPTHS) {
            for (const Features &features : BENCH_FEATURES) {
                const std::string suffix = std::string(depth.name) + "/normal/" + features.name + thread_suffix;
                Register("module/" + suffix,
                         [=](benchmark::State &state) { ModuleFrames(state, depth, features, threads); });
                // The sources other than the straight sweep, with smoothing alone.
                for (const Source &kind : BENCH_SOURCES) {
                    if (*kind.suffix != '\0' && features.scatter != 0.0) {
                        continue;
                    }
                    const std::string name = std::string(depth.name) + "/normal/" + features.name + kind.suffix +
                                             thread_suffix;
                    Register("ofx/" + name, [=](benchmark::State &state) {
                        OfxFrames(state, TIDALHALO_OFX_PLUGIN, depth, features, kind, threads);
                    });
                    if (!baseline.empty()) {
                        Register(BENCH_BASELINE_PREFIX + ("ofx/" + name), [=](benchmark::State &state) {
                            OfxFrames(state, baseline, depth, features, kind, threads);
                        });
                    }
                }
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tidalhalo::bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.DisplayIsConsole()) {
        PrintOfxSummary(reporter.Times(), !baseline.empty());
    }
    return 0;
}
