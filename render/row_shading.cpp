#include "render/row_shading.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>

#include "render/coverage_ahead.h"
#include "render/ring_coverage.h"
#include "render/ring_plan.h"
#include "render/scatter_random.h"
#include "render/shading_depths.h"
#include "render/thread_state.h"

namespace {

using ring_depth::ShadeUncovered;

// Uncovered 8-bit pixels are looked at this many at a time, so that a run
// whose alphas are all from 128 up, which the round trip keeps, is a copy.
constexpr size_t ROW_KEEP_BLOCK = 8;
constexpr uint32_t ROW_HIGH_ALPHA_BIT = 0x80u;  // the alpha is a little-endian word's low byte

// Every alpha from 128 up comes through a / 255 and back as it went in.
constexpr bool KeepsHighAlpha() noexcept {
    for (uint32_t a = 128; a < 256; ++a) {
        if (RING_ZERO_COVERAGE_ALPHA8[a] != a) {
            return false;
        }
    }
    return true;
}
static_assert(KeepsHighAlpha());

// The generator stepped as count pixels would step it, in steps ScatterDiscard takes.
void DiscardNoise(uint64_t count) noexcept {
    constexpr auto most = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    while (count != 0) {
        const uint64_t step = count < most ? count : most;
        ScatterDiscard(static_cast<int32_t>(step));
        count -= step;
    }
}

template <typename Depth, typename Pixel = typename Depth::PixelType>
void KeepStretch(const Pixel *in, Pixel *out, size_t count) noexcept {
    size_t i = 0;
    if constexpr (sizeof(Pixel) == 4 && std::endian::native == std::endian::little) {
        for (; i + ROW_KEEP_BLOCK <= count; i += ROW_KEEP_BLOCK) {
            uint32_t words[ROW_KEEP_BLOCK];
            std::memcpy(words, in + i, sizeof words);
            uint32_t all = ~0u;
            for (const uint32_t word : words) {
                all &= word;
            }
            if ((all & ROW_HIGH_ALPHA_BIT) == 0) {
                for (uint32_t &word : words) {
                    word = (word & 0xFFFFFF00u) | RING_ZERO_COVERAGE_ALPHA8[word & 0xFFu];
                }
            }
            std::memcpy(out + i, words, sizeof words);
        }
    }
    for (; i < count; ++i) {
        const Pixel source = in[i];
        Depth::Keep(source, out[i], false);
    }
}

// Pixels the ring cannot reach, their generator values already drawn.
template <typename Depth, typename Pixel = typename Depth::PixelType>
void ShadeUncoveredStretch(const RingRenderInfo &info, const RingPlan &plan, const Pixel *in, Pixel *out,
                           size_t count) noexcept {
    switch (Depth::Uncovered(plan)) {
    case RingUncovered::KEEP_COLOR:
        KeepStretch<Depth>(in, out, count);
        break;
    case RingUncovered::CONSTANT:
        std::fill(out, out + count, Depth::Constant(plan));
        break;
    case RingUncovered::WRITE_NOTHING:
        break;
    default:
        for (size_t i = 0; i < count; ++i) {
            const Pixel source = in[i];
            ShadeUncovered<Depth>(info, plan, source, out[i]);
        }
        break;
    }
}

// Pixels the ring may reach, from column x on, none of them past column 0
// but x itself: their coverage worked out eight at a time from the
// thread's generator, which then steps past them.
template <typename Depth, typename Pixel = typename Depth::PixelType>
void ShadeCoveredStretch(const RingRenderInfo &info, RingThreadState &thread, int32_t x, int32_t y,
                         const Pixel *in, Pixel *out, uint32_t count) noexcept {
    const bool scatter = info.scatter > 0.0;
    if (count != 0 && x == 0) {
        const Pixel source = *in++;
        Depth::Blend(info.blend_mode, RingCoverage(info, 0, y), source, *out++);  // reseeds the row
        ++x;
        --count;
    }
    double coverage[RING_AHEAD_PIXELS];
    for (uint32_t k = 0; k < count; k += RING_AHEAD_PIXELS) {
        const uint32_t group = count - k < RING_AHEAD_PIXELS ? count - k : RING_AHEAD_PIXELS;
        RingCoverageAhead(info, x + static_cast<int32_t>(k), y, thread.scatter_state, group, coverage);
        for (uint32_t j = 0; j < group; ++j) {
            if (scatter) {
                ScatterNext(thread.scatter_state);
            }
            const Pixel source = in[k + j];
            Depth::Blend(info.blend_mode, RingSampleAt(info, coverage[j]), source, out[k + j]);
        }
    }
}

template <typename Depth, typename Pixel = typename Depth::PixelType>
void ShadeRow(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const Pixel *in,
              Pixel *out) noexcept {
    constexpr int64_t past_last = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    const int64_t end = std::min(int64_t{x} + int64_t{count}, past_last);
    if (end <= x) {
        return;
    }
    RingThreadState &thread = CurrentRingThreadState();
    RingPlanCache &cache = thread.plan_cache;
    // A stretch that goes on where the thread left the row keeps its plan and span.
    if (x == 0 || !ContinuesRingRow(cache, info, x, y)) {
        RenewRingPlan(thread, info, x, y);
    }
    const RingPlan &plan = cache.plan;
    const RingRowSpan &span = cache.span;
    for (int64_t column = x; column < end;) {
        // Up to the next edge of the span or its hole, or column 0, where the row reseeds.
        int64_t stop = end;
        const auto limit = [column, &stop](int64_t edge) {
            if (edge > column && edge < stop) {
                stop = edge;
            }
        };
        limit(0);
        if (span.count != 0) {
            limit(span.first);
            limit(span.first + static_cast<int64_t>(span.count));
        }
        if (span.hole_count != 0) {
            limit(span.hole_first);
            limit(span.hole_first + static_cast<int64_t>(span.hole_count));
        }
        const auto offset = static_cast<size_t>(column - x);
        const auto stretch = static_cast<uint32_t>(stop - column);
        const auto at = static_cast<int32_t>(column);
        if (InRingRowSpan(span, at)) {
            ShadeCoveredStretch<Depth>(info, thread, at, y, in + offset, out + offset, stretch);
        } else {
            if (plan.scatter) {
                if (at == 0) {
                    RingReseedRow(info, y);
                }
                DiscardNoise(stretch);
            }
            ShadeUncoveredStretch<Depth>(info, plan, in + offset, out + offset, stretch);
        }
        column = stop;
    }
    // A pixel function going on along the row sets its run afresh from here.
    cache.next_column = static_cast<uint32_t>(end);
    cache.run_end = std::numeric_limits<int32_t>::min();
}

}  // namespace

void ShadeRow8(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel *in,
               PF_Pixel *out) noexcept {
    ShadeRow<ring_depth::Depth8>(info, x, y, count, in, out);
}

void ShadeRow16(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel16 *in,
                PF_Pixel16 *out) noexcept {
    ShadeRow<ring_depth::Depth16>(info, x, y, count, in, out);
}

void ShadeRowFloat(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_PixelFloat *in,
                   PF_PixelFloat *out) noexcept {
    ShadeRow<ring_depth::DepthFloat>(info, x, y, count, in, out);
}
