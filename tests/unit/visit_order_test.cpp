// The host promises no order of pixels in an iteration. Whatever order the
// calls come in (rows interleaved on one thread, a row begun past its first
// column, rows split between threads, no order at all), the optimised pixel
// functions give what the plain formulas give for the same calls in the
// same order on the same thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "params/ring_params.h"
#include "render/pixel_functions.h"
#include "render/pixel_reference.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"
#include "render/thread_state.h"

namespace {

constexpr int32_t WIDTH = 40;
constexpr int32_t HEIGHT = 24;

using Visit = std::pair<int32_t, int32_t>;  // (x, y)
using Order = std::vector<Visit>;

// A ring through the middle of the frame, with scatter and smoothing, so that
// covered and uncovered pixels and the generator all matter.
RingRenderInfo Record(int32_t blend_mode) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = 1.0;
    info.center_x = 19.5;
    info.center_y = 11.0;
    info.radius = 8.0;
    info.expand = 0.6;
    info.inner_offset = 1.0 - 1.0 / 0.6;
    info.feather = 4.0;
    info.opacity = 0.9;
    info.scatter = 0.0004;
    info.scatter_seed = 1234;
    info.smooth = 1;
    info.blend_mode = blend_mode;
    info.color1_float = {1.0f, 1.0f, 0.8f, 0.1f};
    info.color2_float = {1.0f, 0.1f, 0.3f, 0.9f};
    return info;
}

Order RowsFromTheLeft(int32_t first_row, int32_t last_row, int32_t first_x, int32_t end_x) {
    Order order;
    for (int32_t y = first_row; y < last_row; ++y) {
        for (int32_t x = first_x; x < end_x; ++x) {
            order.emplace_back(x, y);
        }
    }
    return order;
}

// Column by column: every row is interleaved with all the others.
Order Interleaved() {
    Order order;
    for (int32_t x = 0; x < WIDTH; ++x) {
        for (int32_t y = 0; y < HEIGHT; ++y) {
            order.emplace_back(x, y);
        }
    }
    return order;
}

// Each row begun at column 13, its first columns visited last.
Order BegunPastTheFirstColumn() {
    Order order;
    for (int32_t y = 0; y < HEIGHT; ++y) {
        for (int32_t i = 0; i < WIDTH; ++i) {
            order.emplace_back((i + 13) % WIDTH, y);
        }
    }
    return order;
}

// Right to left, then every pixel again in a shuffled order.
Order NoOrder() {
    Order order;
    for (int32_t y = HEIGHT - 1; y >= 0; --y) {
        for (int32_t x = WIDTH - 1; x >= 0; --x) {
            order.emplace_back(x, y);
        }
    }
    Order shuffled = RowsFromTheLeft(0, HEIGHT, 0, WIDTH);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    order.insert(order.end(), shuffled.begin(), shuffled.end());
    return order;
}

template <typename Pixel>
std::vector<Pixel> Source() {
    std::vector<Pixel> pixels(WIDTH * HEIGHT);
    std::mt19937 random(11);
    for (Pixel &p : pixels) {
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
            p = {static_cast<float>(random() % 1001) / 1000.0f, static_cast<float>(random() % 1001) / 800.0f,
                 static_cast<float>(random() % 1001) / 1000.0f, static_cast<float>(random() % 1001) / 1000.0f};
        } else {
            using Channel = decltype(p.alpha);
            const uint32_t full = sizeof(Channel) == 1 ? 255 : 32768;
            p = {static_cast<Channel>(random() % (full + 1)), static_cast<Channel>(random() % (full + 1)),
                 static_cast<Channel>(random() % (full + 1)), static_cast<Channel>(random() % (full + 1))};
        }
    }
    return pixels;
}

// Runs the visits on the calling thread from a known generator state.
template <typename Pixel, typename Shade>
void ShadeInOrder(RingRenderInfo &info, const Order &order, const std::vector<Pixel> &source, std::vector<Pixel> &out,
         Shade shade) {
    ScatterSeed(99);
    for (const auto &[x, y] : order) {
        const std::size_t at = static_cast<std::size_t>(y * WIDTH + x);
        shade(&info, x, y, &source[at], &out[at]);
    }
}

// Each thread shades its own visits twice, optimised and plain, from the
// same generator state; the threads run at once.
template <typename Pixel, typename Fast, typename Plain>
void ExpectSameResults(int32_t blend_mode, const std::vector<Order> &per_thread, Fast fast, Plain plain) {
    RingRenderInfo info = Record(blend_mode);
    const std::vector<Pixel> source = Source<Pixel>();
    std::vector<Pixel> shaded(source.size()), expected(source.size());
    std::vector<std::thread> threads;
    for (const Order &order : per_thread) {
        threads.emplace_back([&, order] {
            ShadeInOrder(info, order, source, shaded, fast);
            ShadeInOrder(info, order, source, expected, plain);
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    ASSERT_EQ(std::memcmp(shaded.data(), expected.data(), shaded.size() * sizeof(Pixel)), 0)
        << "blend mode " << blend_mode;
}

void ExpectSameResultsEverywhere(const std::vector<Order> &per_thread) {
    for (int32_t mode = BLEND_NONE; mode <= BLEND_STENCIL_MULTIPLY_ALPHA; ++mode) {
        ExpectSameResults<PF_Pixel>(mode, per_thread, ShadePixel8, ReferenceShadePixel8);
        ExpectSameResults<PF_Pixel16>(mode, per_thread, ShadePixel16, ReferenceShadePixel16);
        ExpectSameResults<PF_PixelFloat>(mode, per_thread, ShadePixelFloat, ReferenceShadePixelFloat);
    }
}

TEST(VisitOrder, RowsInterleavedOnOneThread) { ExpectSameResultsEverywhere({Interleaved()}); }

TEST(VisitOrder, RowsBegunPastTheirFirstColumn) { ExpectSameResultsEverywhere({BegunPastTheFirstColumn()}); }

TEST(VisitOrder, NoOrderAtAll) { ExpectSameResultsEverywhere({NoOrder()}); }

// Every row split: the left part on one thread, the rest on another, and a
// third thread taking whole rows of the lower half.
TEST(VisitOrder, RowsSplitBetweenThreads) {
    ExpectSameResultsEverywhere({RowsFromTheLeft(0, HEIGHT / 2, 0, 17), RowsFromTheLeft(0, HEIGHT / 2, 17, WIDTH),
                                 RowsFromTheLeft(HEIGHT / 2, HEIGHT, 0, WIDTH)});
}

// The next frame's record written over the last one's memory (as a host
// reusing it would) while a thread goes on along the same row: the render
// of the new frame marks it before the iteration starts.
TEST(VisitOrder, RecordRewrittenInPlaceMidRow) {
    RingRenderInfo info = Record(BLEND_NORMAL);
    const std::vector<PF_Pixel> source = Source<PF_Pixel>();
    std::vector<PF_Pixel> shaded(source.size()), expected(source.size());
    const Order left = RowsFromTheLeft(11, 12, 0, 20);
    const Order right = RowsFromTheLeft(11, 12, 20, WIDTH);
    ShadeInOrder(info, left, source, shaded, ShadePixel8);
    info.center_x = 30.0;  // the next frame's ring, at the same address
    info.radius = 5.0;
    BeginRingFrame(info);
    ShadeInOrder(info, right, source, shaded, ShadePixel8);
    ShadeInOrder(info, right, source, expected, ReferenceShadePixel8);
    for (const auto &[x, y] : right) {
        const std::size_t at = static_cast<std::size_t>(y * WIDTH + x);
        EXPECT_EQ(std::memcmp(&shaded[at], &expected[at], sizeof(PF_Pixel)), 0) << "x = " << x;
    }
}

}  // namespace
