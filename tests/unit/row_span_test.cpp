// Where the pixel functions skip: each row's span of columns the ring may
// reach against the pixel-by-pixel distance check it stands for, frames at
// the edges where skipping begins and ends against the plain formulas in
// every depth and mode, the generator's state after a row, and frames of
// two records shaded at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "params/ring_params.h"
#include "render/pixel_functions.h"
#include "render/pixel_reference.h"
#include "render/ring_coverage.h"
#include "render/ring_plan.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"
#include "render/thread_state.h"
#include "tests/unit/frame_shading.h"

namespace {

constexpr int32_t SPAN_WIDTH = 64;
constexpr int32_t SPAN_HEIGHT = 40;
constexpr int32_t COLUMN_MIN = std::numeric_limits<int32_t>::min();
constexpr int32_t COLUMN_MAX = std::numeric_limits<int32_t>::max();

struct EdgeCase {
    const char *name;
    double center_x;  // in columns, before x_scale
    double center_y;
    double radius;
    double feather;
    double expand;
    double scatter;
    double x_scale;
};

// Centres on whole pixels put pixels exactly on the ramp ends; the rest move
// the ends between pixels, beyond the frame and far beyond any column.
constexpr EdgeCase EDGE_CASES[] = {
    {"ring inside, ends on pixels", 30, 20, 10, 5, 0.5, 0, 1},
    {"rows touching the outer end at one pixel", 30, 20, 12, 3, 0.25, 0, 1},
    {"ring larger than the frame", 31.5, 19.25, 200, 30, 0.1, 0, 1},
    {"frame inside the ramps", 30, 20, 45, 60, 1.0, 0, 1},
    {"ring outside the frame", -300, -200, 50, 20, 0.5, 0, 1},
    {"ring right of the frame", 400, 20, 50, 20, 0.5, 0, 1},
    {"radius 0", 30, 20, 0, 12, 0.5, 0, 1},
    {"feather 0", 30.5, 20, 14, 0, 0.5, 0, 1},
    {"expand 0", 30, 20.5, 14, 6, 0, 0, 1},
    {"feather and expand 0", 30, 20, 14, 0, 0, 0.0005, 1},
    {"scatter within range", 29.3, 18.7, 11, 4, 0.6, 0.000512, 1},
    {"scatter reaching far pixels", 30, 20, 6, 3, 0.5, 0.02, 1},
    {"scatter reaching every pixel", 30, 20, 6, 3, 0.5, 0.5, 1},
    {"wide pixels", 15, 20, 16, 4, 0.5, 0.0002, 2},
    {"narrow pixels", 61, 20, 9, 4, 0.5, 0, 0.4},
    {"tiny scale", 30, 20, 9, 4, 0.5, 0, 1e-9},
    {"centre beyond every column", 3e12, 20, 9, 4, 0.5, 0, 1},
    {"centre far left, huge ring", -3e9, 20, 3e9 + 25, 10, 0.5, 0, 1},
    {"no scale", 30, 20, 9, 4, 0.5, 0.0001, 0},
    {"negative scale", 30, 20, 9, 4, 0.5, 0, -1},
};

RingRenderInfo EdgeRecord(const EdgeCase &c, int32_t blend_mode, uint8_t smooth) {
    RingRenderInfo info = NewRingRenderInfo();
    info.x_scale = c.x_scale;
    info.center_x = c.center_x * c.x_scale;
    info.center_y = c.center_y;
    info.radius = c.radius;
    info.feather = c.feather;
    info.expand = c.expand;
    if (c.expand > 0.0) {
        info.inner_offset = 1.0 - 1.0 / c.expand;
    }
    info.opacity = 0.9;
    info.scatter = c.scatter;
    info.scatter_seed = 4321;
    info.discard_count = 3;
    info.row_offset = -7;
    info.smooth = smooth;
    info.blend_mode = blend_mode;
    info.color1_float = {1.0f, 0.9f, 0.6f, 0.1f};
    info.color2_float = {1.0f, 0.2f, 0.3f, 0.8f};
    return info;
}

bool UncoveredByDistance(const RingRenderInfo &info, const RingPlan &plan, int32_t x, int32_t y) {
    const double d2 = RingDistanceSquared(info, x, y);
    return d2 < plan.inner_sq || d2 > plan.outer_sq;
}

// Every column the span leaves out must be one the distance check passes
// over, and with a positive scale the span must be exactly the columns the
// check keeps: near the frame, around each end of the span and of its hole,
// and at both ends of the column range.
TEST(RowSpan, EqualsTheDistanceCheck) {
    for (const EdgeCase &c : EDGE_CASES) {
        const RingRenderInfo info = EdgeRecord(c, BLEND_NORMAL, 0);
        const RingPlan plan = MakeRingPlan(info);
        for (int32_t y = -3; y < SPAN_HEIGHT + 3; ++y) {
            const RingRowSpan span = MakeRingRowSpan(info, plan, y);
            std::vector<int64_t> columns;
            for (int64_t x = -100; x < SPAN_WIDTH + 100; ++x) {
                columns.push_back(x);
            }
            for (const int64_t end : {span.first, span.first + static_cast<int64_t>(span.count), span.hole_first,
                                      span.hole_first + static_cast<int64_t>(span.hole_count)}) {
                for (int64_t x = end - 3; x <= end + 3; ++x) {
                    columns.push_back(x);
                }
            }
            for (int64_t x = 0; x < 3; ++x) {
                columns.push_back(COLUMN_MIN + x);
                columns.push_back(COLUMN_MAX - x);
            }
            for (const int64_t column : columns) {
                if (column < COLUMN_MIN || column > COLUMN_MAX) {
                    continue;
                }
                const auto x = static_cast<int32_t>(column);
                const bool uncovered = UncoveredByDistance(info, plan, x, y);
                if (plan.rows_have_spans) {
                    ASSERT_EQ(InRingRowSpan(span, x), !uncovered) << c.name << ", column " << x << ", row " << y;
                } else {
                    ASSERT_TRUE(InRingRowSpan(span, x)) << c.name << ", column " << x << ", row " << y;
                }
            }
        }
    }
}

template <typename Pixel>
std::vector<Pixel> SourceFrame() {
    std::vector<Pixel> pixels(SPAN_WIDTH * SPAN_HEIGHT);
    uint32_t state = 5;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (Pixel &p : pixels) {
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
            p = {static_cast<float>(next() % 1001) / 1000.0f, static_cast<float>(next() % 1001) / 700.0f,
                 static_cast<float>(next() % 1001) / 1000.0f, static_cast<float>(next() % 1001) / 1000.0f};
        } else {
            using Channel = decltype(p.alpha);
            p = {static_cast<Channel>(next()), static_cast<Channel>(next()), static_cast<Channel>(next()),
                 static_cast<Channel>(next())};
        }
    }
    return pixels;
}

template <typename Pixel, typename Fast, typename Plain>
void ExpectSameFrame(RingRenderInfo info, const char *name, Fast fast, Plain plain) {
    const std::vector<Pixel> source = SourceFrame<Pixel>();
    const std::vector<Pixel> expected = ShadeFrame(info, source, SPAN_WIDTH, SPAN_HEIGHT, plain);
    const uint32_t plain_state = CurrentRingThreadState().scatter_state;
    const std::vector<Pixel> shaded = ShadeFrame(info, source, SPAN_WIDTH, SPAN_HEIGHT, fast);
    EXPECT_EQ(CurrentRingThreadState().scatter_state, plain_state) << name << ", mode " << info.blend_mode;
    for (size_t i = 0; i < source.size(); ++i) {
        ASSERT_EQ(std::memcmp(&shaded[i], &expected[i], sizeof(Pixel)), 0)
            << name << ", mode " << info.blend_mode << ", smooth " << int{info.smooth} << ", pixel ("
            << i % SPAN_WIDTH << ", " << i / SPAN_WIDTH << ")";
    }
}

TEST(RowSpan, EdgeFramesEqualPlainFormulasInEveryDepthAndMode) {
    for (const EdgeCase &c : EDGE_CASES) {
        for (int32_t mode = 0; mode <= 6; ++mode) {
            for (const uint8_t smooth : {uint8_t{0}, uint8_t{1}}) {
                const RingRenderInfo info = EdgeRecord(c, mode, smooth);
                ExpectSameFrame<PF_Pixel>(info, c.name, ShadePixel8, ReferenceShadePixel8);
                ExpectSameFrame<PF_Pixel16>(info, c.name, ShadePixel16, ReferenceShadePixel16);
                ExpectSameFrame<PF_PixelFloat>(info, c.name, ShadePixelFloat, ReferenceShadePixelFloat);
            }
        }
    }
}

// After each row, skipped pixels and all, the generator holds what the
// plain formulas leave in it, so the next row's first pixels and a row
// continued elsewhere draw the same values.
TEST(RowSpan, GeneratorAfterEachRowEqualsThePlainFormulas) {
    for (const EdgeCase &c : EDGE_CASES) {
        RingRenderInfo info = EdgeRecord(c, BLEND_ADD, 1);
        if (!(info.scatter > 0.0)) {
            continue;
        }
        const PF_Pixel in{200, 10, 20, 30};
        for (int32_t y = 0; y < SPAN_HEIGHT; ++y) {
            uint32_t after[2] = {};
            for (int pass = 0; pass < 2; ++pass) {
                PF_Pixel out{};
                ScatterSeed(1);
                for (int32_t x = 0; x < SPAN_WIDTH; ++x) {
                    (pass == 0 ? ShadePixel8 : ReferenceShadePixel8)(&info, x, y, &in, &out);
                }
                after[pass] = CurrentRingThreadState().scatter_state;
            }
            ASSERT_EQ(after[0], after[1]) << c.name << ", row " << y;
        }
    }
}

// Rows walked through negative columns past column 0, where the generator
// reseeds, and rows that end at the last column with the next row starting
// at the first: each pixel and the generator after it equal the plain
// formulas.
TEST(RowSpan, RowsAcrossColumnZeroAndTheColumnRangeEndsEqualPlainFormulas) {
    struct Walk {
        const char *name;
        double center_x;
        int32_t first;  // each row's columns, first to last inclusive
        int32_t last;
    };
    constexpr Walk WALKS[] = {
        {"through column 0", 2.5, -40, 40},
        {"ring on column 0", 0, -12, 12},
        {"to the last column", COLUMN_MAX - 9.5, COLUMN_MAX - 40, COLUMN_MAX},
        {"from the first column", COLUMN_MIN + 9.5, COLUMN_MIN, COLUMN_MIN + 40},
    };
    const PF_Pixel in{200, 10, 20, 30};
    for (const Walk &walk : WALKS) {
        for (const double scatter : {0.0, 0.0004, 0.02}) {
            EdgeCase c{walk.name, walk.center_x, 20, 8, 3, 0.5, scatter, 1};
            RingRenderInfo info = EdgeRecord(c, BLEND_NORMAL, 1);
            uint32_t states[2] = {1, 1};
            for (int32_t y = 10; y < 31; ++y) {
                for (int64_t column = walk.first; column <= walk.last; ++column) {
                    const auto x = static_cast<int32_t>(column);
                    PF_Pixel out[2] = {};
                    for (int pass = 0; pass < 2; ++pass) {
                        ScatterSeed(states[pass]);
                        (pass == 0 ? ShadePixel8 : ReferenceShadePixel8)(&info, x, y, &in, &out[pass]);
                        states[pass] = CurrentRingThreadState().scatter_state;
                    }
                    ASSERT_EQ(std::memcmp(&out[0], &out[1], sizeof(PF_Pixel)), 0)
                        << walk.name << ", scatter " << scatter << ", pixel (" << x << ", " << y << ")";
                    ASSERT_EQ(states[0], states[1]) << walk.name << ", scatter " << scatter << ", pixel (" << x
                                                    << ", " << y << ")";
                }
            }
        }
    }
}

#if defined(_WIN32)
// The thread's last error belongs to the host: shading pixels, once the
// thread's state is found, leaves it as the host set it.
TEST(RowSpan, ShadingLeavesTheHostsLastErrorAlone) {
    RingRenderInfo info = EdgeRecord(EDGE_CASES[10], BLEND_NORMAL, 1);
    const PF_Pixel in{200, 10, 20, 30};
    PF_Pixel out{};
    ShadePixel8(&info, 0, 0, &in, &out);
    constexpr DWORD HOST_ERROR = 12345;
    SetLastError(HOST_ERROR);
    for (int32_t y = 0; y < SPAN_HEIGHT; ++y) {
        for (int32_t x = 0; x < SPAN_WIDTH; ++x) {
            ShadePixel8(&info, x, y, &in, &out);
        }
    }
    EXPECT_EQ(GetLastError(), HOST_ERROR);
}
#endif

// Two records, each with its frames started over and over on its own
// thread, as two hosts' render threads or two filter instances would: each
// frame equals the frame shaded alone.
TEST(RowSpan, TwoRecordsShadedAtOnceGiveTheirOwnFrames) {
    const EdgeCase &first_case = EDGE_CASES[0];
    const EdgeCase &second_case = EDGE_CASES[10];
    const std::vector<PF_Pixel> source = SourceFrame<PF_Pixel>();
    RingRenderInfo alone_first = EdgeRecord(first_case, BLEND_NORMAL, 1);
    RingRenderInfo alone_second = EdgeRecord(second_case, BLEND_NORMAL, 1);
    const std::vector<PF_Pixel> expected_first =
        ShadeFrame(alone_first, source, SPAN_WIDTH, SPAN_HEIGHT, ReferenceShadePixel8);
    const std::vector<PF_Pixel> expected_second =
        ShadeFrame(alone_second, source, SPAN_WIDTH, SPAN_HEIGHT, ReferenceShadePixel8);

    constexpr int FRAMES = 40;
    const auto render = [&source](const EdgeCase &c, const std::vector<PF_Pixel> &expected, int *mismatches) {
        RingRenderInfo info = EdgeRecord(c, BLEND_NORMAL, 1);
        for (int frame = 0; frame < FRAMES; ++frame) {
            BeginRingFrame(info);
            const std::vector<PF_Pixel> shaded = ShadeFrame(info, source, SPAN_WIDTH, SPAN_HEIGHT, ShadePixel8);
            if (std::memcmp(shaded.data(), expected.data(), shaded.size() * sizeof(PF_Pixel)) != 0) {
                ++*mismatches;
            }
        }
    };
    int mismatches_first = 0;
    int mismatches_second = 0;
    std::thread first(render, std::cref(first_case), std::cref(expected_first), &mismatches_first);
    std::thread second(render, std::cref(second_case), std::cref(expected_second), &mismatches_second);
    first.join();
    second.join();
    EXPECT_EQ(mismatches_first, 0);
    EXPECT_EQ(mismatches_second, 0);
}

}  // namespace
