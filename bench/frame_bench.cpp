// One 1920 x 1080 frame per iteration, rendered by the module through our
// host: depth, blend mode, scatter and smoothing varied one at a time.
// Run: build/native/bench/tidalhalo_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include "params/ring_params.h"
#include "sim/frame_renderer.h"

namespace {

using tidalhalo::sim::FrameRenderer;
using tidalhalo::sim::Image;
using tidalhalo::sim::PixelDepth;

constexpr int32_t FRAME_WIDTH = 1920;
constexpr int32_t FRAME_HEIGHT = 1080;

void RenderFrames(benchmark::State &state, PixelDepth depth, int32_t mode, double scatter, bool smooth,
                  unsigned threads) {
    FrameRenderer renderer(TIDALHALO_MODULE_PATH, tidalhalo::sim::Strictness::Off);
    renderer.SetNumber(RING_RADIUS, 400);
    renderer.SetNumber(RING_FEATHER, 60);
    renderer.SetNumber(RING_SCATTER, scatter);
    renderer.SetNumber(RING_SMOOTH, smooth ? 1 : 0);
    renderer.SetNumber(RING_BLEND_MODE, mode);
    renderer.Settings().threads = threads;
    Image source(depth, FRAME_WIDTH, FRAME_HEIGHT);
    Image destination(depth, FRAME_WIDTH, FRAME_HEIGHT);
    for (auto _ : state) {
        renderer.Render(source.View(), destination.View());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_WIDTH * FRAME_HEIGHT);
}

BENCHMARK_CAPTURE(RenderFrames, 8bit_normal, PixelDepth::Eight, BLEND_NORMAL, 0.0, false, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, 8bit_normal_smooth, PixelDepth::Eight, BLEND_NORMAL, 0.0, true, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, 8bit_normal_scatter, PixelDepth::Eight, BLEND_NORMAL, 20.0, false, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, 8bit_add, PixelDepth::Eight, BLEND_ADD, 0.0, false, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, 8bit_stencil_alpha, PixelDepth::Eight, BLEND_STENCIL_MULTIPLY_ALPHA, 0.0, false, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, 16bit_normal, PixelDepth::Sixteen, BLEND_NORMAL, 0.0, false, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, float_normal, PixelDepth::Float, BLEND_NORMAL, 0.0, false, 1u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderFrames, 8bit_normal_all_cores, PixelDepth::Eight, BLEND_NORMAL, 0.0, false, 0u)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
