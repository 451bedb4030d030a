// The row shading against the pixel functions, byte for byte and generator
// state for generator state: rows of every length up to 70 and rows cut into
// stretches, starting at column 0 or anywhere else, over every depth, blend
// mode, smoothing and scatter, and records no host would send.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <vector>

#include "params/ring_params.h"
#include "render/pixel_functions.h"
#include "render/ring_coverage.h"
#include "render/ring_plan.h"
#include "render/ring_reach.h"
#include "render/row_shading.h"
#include "render/scatter_random.h"
#include "render/thread_state.h"
#include "tests/unit/ring_records.h"

namespace {

constexpr int32_t MAX_ROW_LENGTH = 70;
constexpr uint32_t START_STATE = 77;

// Module pixels in the order red, green, blue, alpha, and back.
template <typename Pixel, typename Channel>
std::vector<Channel> Rgba(const Pixel *pixels, uint32_t count) {
    std::vector<Channel> channels;
    for (uint32_t i = 0; i < count; ++i) {
        channels.insert(channels.end(), {pixels[i].red, pixels[i].green, pixels[i].blue, pixels[i].alpha});
    }
    return channels;
}

template <typename Pixel, typename Channel>
void FromRgba(const std::vector<Channel> &channels, Pixel *pixels) {
    for (size_t i = 0; i < channels.size() / 4; ++i) {
        pixels[i] = Pixel{channels[i * 4 + 3], channels[i * 4], channels[i * 4 + 1], channels[i * 4 + 2]};
    }
}

// A stretch through the routine for red, green, blue, alpha rows: the
// destination's pixels go in as they were, for the modes that write nothing.
template <typename Channel, typename Pixel, typename Row>
void ShadeAsRgba(Row row, const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const Pixel *in,
                 Pixel *out, RowWrites writes) {
    std::vector<Channel> to = Rgba<Pixel, Channel>(out, count);
    if (in == out) {
        row(info, x, y, count, to.data(), to.data(), writes);
    } else {
        const std::vector<Channel> from = Rgba<Pixel, Channel>(in, count);
        row(info, x, y, count, from.data(), to.data(), writes);
    }
    FromRgba(to, out);
}

// The depth's pixel function and row routines side by side.
template <typename Pixel>
struct Shading;
template <>
struct Shading<PF_Pixel> {
    static constexpr auto pixel = ShadePixel8;
    static void Row(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel *in,
                    PF_Pixel *out, bool rgba, RowWrites writes) {
        if (rgba) {
            ShadeAsRgba<uint8_t>(ShadeRowRgba8, info, x, y, count, in, out, writes);
        } else {
            ShadeRow8(info, x, y, count, in, out);
        }
    }
};
template <>
struct Shading<PF_Pixel16> {
    static constexpr auto pixel = ShadePixel16;
    static void Row(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_Pixel16 *in,
                    PF_Pixel16 *out, bool, RowWrites) {
        ShadeRow16(info, x, y, count, in, out);
    }
};
template <>
struct Shading<PF_PixelFloat> {
    static constexpr auto pixel = ShadePixelFloat;
    static void Row(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const PF_PixelFloat *in,
                    PF_PixelFloat *out, bool rgba, RowWrites writes) {
        if (rgba) {
            ShadeAsRgba<float>(ShadeRowRgbaFloat, info, x, y, count, in, out, writes);
        } else {
            ShadeRowFloat(info, x, y, count, in, out);
        }
    }
};

// Where a row is shaded: columns first .. first + width - 1 of the rows
// listed, each stretch of a row cut off after the lengths in cuts in turn
// (the rest in one stretch), from a known generator state.
struct Walk {
    int32_t first;
    int32_t width;
    std::vector<int32_t> rows;
    std::vector<uint32_t> cuts;
};

template <typename Pixel>
struct Shaded {
    std::vector<Pixel> pixels;
    std::vector<uint32_t> states;  // the generator after each row
};

// The destination is prefilled: unknown modes leave it as it was.
template <typename Pixel>
std::vector<Pixel> Prefilled(size_t count) {
    std::vector<Pixel> out(count);
    std::memset(out.data(), 0x5A, out.size() * sizeof(Pixel));
    return out;
}

// in_place starts the destination as a copy of the source, as ByRow's is.
template <typename Pixel>
Shaded<Pixel> ByPixel(RingRenderInfo &info, const std::vector<Pixel> &source, const Walk &walk, bool in_place) {
    Shaded<Pixel> shaded{in_place ? source : Prefilled<Pixel>(source.size()), {}};
    ScatterSeed(START_STATE);
    size_t at = 0;
    for (const int32_t y : walk.rows) {
        for (int32_t k = 0; k < walk.width; ++k, ++at) {
            Shading<Pixel>::pixel(&info, walk.first + k, y, &source[at], &shaded.pixels[at]);
        }
        shaded.states.push_back(CurrentRingThreadState().scatter_state);
    }
    return shaded;
}

// in_place shades a copy of the source over itself; rgba goes through the
// routine for red, green, blue, alpha rows where the depth has one, which
// writes as writes says.
template <typename Pixel>
Shaded<Pixel> ByRow(RingRenderInfo &info, const std::vector<Pixel> &source, const Walk &walk, bool in_place,
                    bool rgba, RowWrites writes) {
    Shaded<Pixel> shaded{Prefilled<Pixel>(source.size()), {}};
    if (in_place) {
        shaded.pixels = source;
    }
    ScatterSeed(START_STATE);
    size_t at = 0;
    for (const int32_t y : walk.rows) {
        auto left = static_cast<uint32_t>(walk.width);
        int64_t x = walk.first;  // past the last column once the row is done
        for (size_t c = 0; left != 0; ++c) {
            const uint32_t stretch = c < walk.cuts.size() && walk.cuts[c] < left ? walk.cuts[c] : left;
            const Pixel *in = in_place ? &shaded.pixels[at] : &source[at];
            Shading<Pixel>::Row(info, static_cast<int32_t>(x), y, stretch, in, &shaded.pixels[at], rgba, writes);
            x += stretch;
            at += stretch;
            left -= stretch;
        }
        shaded.states.push_back(CurrentRingThreadState().scatter_state);
    }
    return shaded;
}

template <typename Pixel>
void ExpectSameRows(RingRenderInfo info, Picker &pick, const Walk &walk) {
    std::vector<Pixel> source = SourcePixels<Pixel>(pick, walk.rows.size() * static_cast<size_t>(walk.width));
    // Alphas as in most video: ones that the blend's round trip keeps
    // (8-bit a / 255 and back, float 1 - (1 - a)), or nearly all opaque.
    const uint32_t alphas = pick.Next() % 3;
    for (size_t i = 0; i < source.size() && alphas != 0; ++i) {
        Pixel &p = source[i];
        if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
            p.alpha = alphas == 1 ? static_cast<uint8_t>(p.alpha | 0x80) : (i % 16 == 0 ? p.alpha : uint8_t{255});
        } else if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
            p.alpha = alphas == 1 ? p.alpha + 0.5f : (i % 16 == 0 ? p.alpha : 1.0f);
        }
    }
    const bool in_place = pick.Next() % 4 == 0;
    const Shaded<Pixel> expected = ByPixel(info, source, walk, in_place);
    const bool rgba = pick.Next() % 2 == 0;
    const RowWrites writes = pick.Next() % 2 == 0 ? RowWrites::STREAMED : RowWrites::CACHED;
    const Shaded<Pixel> shaded = ByRow(info, source, walk, in_place, rgba, writes);
    ASSERT_EQ(shaded.states, expected.states) << "the generator left elsewhere, mode " << info.blend_mode;
    for (size_t i = 0; i < source.size(); ++i) {
        const int32_t x = walk.first + static_cast<int32_t>(i % static_cast<size_t>(walk.width));
        ASSERT_TRUE(SamePixel(shaded.pixels[i], expected.pixels[i]))
            << "column " << x << " of row " << walk.rows[i / static_cast<size_t>(walk.width)] << ", width "
            << walk.width << (in_place ? " in place" : "") << (rgba ? " rgba" : "")
            << (writes == RowWrites::STREAMED ? " streamed" : "") << ", radius " << info.radius
            << " feather "
            << info.feather << " expand " << info.expand << " scatter " << info.scatter << " opacity "
            << info.opacity << " mode " << info.blend_mode << ": " << ::testing::PrintToString(shaded.pixels[i])
            << " instead of " << ::testing::PrintToString(expected.pixels[i]);
    }
}

void ExpectSameRowsAtEveryDepth(const RingRenderInfo &info, Picker &pick, const Walk &walk) {
    ExpectSameRows<PF_Pixel>(info, pick, walk);
    ExpectSameRows<PF_Pixel16>(info, pick, walk);
    ExpectSameRows<PF_PixelFloat>(info, pick, walk);
}

// Records with the ring placed oddly: off the frame, with no radius, no
// feather, no inner ramp or an inner ramp over the whole radius.
std::vector<RingRenderInfo> OddlyPlacedRings() {
    std::vector<RingRenderInfo> records;
    const auto add = [&records](auto change) {
        RingRenderInfo info = EdgeRecord();
        change(info);
        records.push_back(info);
    };
    add([](RingRenderInfo &) {});
    add([](RingRenderInfo &info) { info.center_x = -12.0; });
    add([](RingRenderInfo &info) { info.center_x = 80.0, info.center_y = -9.0; });
    add([](RingRenderInfo &info) { info.radius = 0.0; });
    add([](RingRenderInfo &info) { info.feather = 0.0; });
    add([](RingRenderInfo &info) { info.expand = 0.0, info.inner_offset = 0.0; });
    add([](RingRenderInfo &info) { info.expand = 1.0, info.inner_offset = 0.0; });
    add([](RingRenderInfo &info) { info.x_scale = 0.9090909361839294, info.center_x *= info.x_scale; });
    return records;
}

// Every length up to 70 from column 0, in one stretch, through rows across
// the ring and beside it.
TEST(RowShading, EqualsPixelFunctionsForEveryRowLength) {
    Picker pick{11};
    for (const RingRenderInfo &placed : OddlyPlacedRings()) {
        for (int32_t mode = 0; mode <= 6; ++mode) {
            for (const double scatter : {0.0, 0.000512}) {
                for (const uint8_t smooth : {uint8_t{0}, uint8_t{1}}) {
                    RingRenderInfo info = placed;
                    info.blend_mode = mode;
                    info.scatter = scatter;
                    info.smooth = smooth;
                    for (int32_t width = 1; width <= MAX_ROW_LENGTH; width += 1 + mode) {
                        ExpectSameRowsAtEveryDepth(info, pick, Walk{0, width, {0, 6, 11, 16, 21, 35}, {}});
                    }
                }
            }
        }
    }
}

TEST(RowShading, EqualsPixelFunctionsForAllLengthsInNormalMode) {
    Picker pick{12};
    RingRenderInfo info = EdgeRecord();
    info.scatter = 0.000512;
    info.smooth = 1;
    for (int32_t width = 1; width <= MAX_ROW_LENGTH; ++width) {
        ExpectSameRowsAtEveryDepth(info, pick, Walk{0, width, {5, 16, 27}, {}});
    }
}

// Tiles: rows that start left of column 0, where the row reseeds midway,
// or right of it, going on from the generator where the last row left it,
// with the noise anchored to other rows and columns; each row cut into
// stretches that start anywhere, in and out of the ring.
TEST(RowShading, EqualsPixelFunctionsInStretchesAndTiles) {
    Picker pick{13};
    for (int i = 0; i < 300; ++i) {
        RingRenderInfo info = i % 2 == 0 ? OddRecord(pick) : EdgeRecord();
        if (i % 2 != 0) {
            info.blend_mode = static_cast<int32_t>(pick.Next() % 7);
            info.scatter = pick.Next() % 2 == 0 ? 0.0 : 0.000512;
            info.smooth = static_cast<uint8_t>(pick.Next() % 2);
            info.row_offset = static_cast<int32_t>(pick.Next() % 100) - 50;
            info.discard_count = static_cast<int32_t>(pick.Next() % 100);
        }
        Walk walk{static_cast<int32_t>(pick.Next() % 60) - 30, 1 + static_cast<int32_t>(pick.Next() % MAX_ROW_LENGTH),
                  {}, {}};
        for (auto y = static_cast<int32_t>(pick.Next() % 4); y < 36; y += 1 + static_cast<int32_t>(pick.Next() % 5)) {
            walk.rows.push_back(y);
        }
        for (uint32_t c = pick.Next() % 6; c != 0; --c) {
            walk.cuts.push_back(pick.Next() % 24);  // an empty stretch now and then
        }
        ExpectSameRowsAtEveryDepth(info, pick, walk);
    }
}

// Columns at the ends of the 32-bit range, where a row has no column 0.
TEST(RowShading, EqualsPixelFunctionsAtTheEndsOfTheColumnRange) {
    Picker pick{14};
    RingRenderInfo info = EdgeRecord();
    info.scatter = 0.000512;
    info.smooth = 1;
    for (const int32_t first : {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max() - 40}) {
        ExpectSameRowsAtEveryDepth(info, pick, Walk{first, 41, {14, 16}, {7, 20}});
        info.center_x = static_cast<double>(first) + 20.0;  // the ring there
        ExpectSameRowsAtEveryDepth(info, pick, Walk{first, 41, {14, 16}, {7, 20}});
        info = EdgeRecord();
    }
}

// A pixel function going on along a row after the row routine, and the
// other way round, shades as the pixel functions alone would.
TEST(RowShading, PixelFunctionsGoOnWhereARowStretchEnds) {
    Picker pick{15};
    RingRenderInfo info = EdgeRecord();
    info.scatter = 0.000512;
    info.smooth = 1;
    const std::vector<PF_Pixel> source = SourcePixels<PF_Pixel>(pick, 44);
    std::vector<PF_Pixel> expected(44), mixed(44);
    ScatterSeed(START_STATE);
    for (size_t x = 0; x < 44; ++x) {
        ShadePixel8(&info, static_cast<int32_t>(x), 16, &source[x], &expected[x]);
    }
    ScatterSeed(START_STATE);
    ShadeRow8(info, 0, 16, 9, source.data(), mixed.data());
    for (size_t x = 9; x < 14; ++x) {
        ShadePixel8(&info, static_cast<int32_t>(x), 16, &source[x], &mixed[x]);
    }
    ShadeRow8(info, 14, 16, 30, source.data() + 14, mixed.data() + 14);
    EXPECT_EQ(std::memcmp(mixed.data(), expected.data(), sizeof(PF_Pixel) * 44), 0);
}

// The coverage kept on the way is RingCoverage's, in turn, for exactly the
// columns RingReachedSpans names, and the row as ShadeRowRgba8 shades it.
TEST(RowShading, KeepsTheCoverageOfTheReachedColumns) {
    Picker pick{16};
    constexpr int32_t width = 44;
    for (int i = 0; i < 200; ++i) {
        RingRenderInfo info = i % 2 == 0 ? OddRecord(pick) : EdgeRecord();
        info.blend_mode = BLEND_NORMAL;
        info.smooth = static_cast<uint8_t>(pick.Next() % 2);
        const auto y = static_cast<int32_t>(pick.Next() % 36);
        const std::vector<PF_Pixel> pixels = SourcePixels<PF_Pixel>(pick, width);
        const std::vector<uint8_t> source = Rgba<PF_Pixel, uint8_t>(pixels.data(), width);

        const RingRowSpans spans = RingReachedSpans(info, MakeRingPlan(info), y, width);
        std::vector<double> expected;
        ScatterSeed(START_STATE);
        for (int32_t x = 0; x < width; ++x) {
            const double f = RingCoverage(info, x, y).f;
            for (int32_t k = 0; k < spans.count; ++k) {
                if (x >= spans.begin[k] && x < spans.end[k]) {
                    expected.push_back(f);
                }
            }
        }
        std::vector<uint8_t> shaded(source.size()), kept_shaded(source.size());
        ScatterSeed(START_STATE);
        ShadeRowRgba8(info, 0, y, width, source.data(), shaded.data());
        std::vector<double> kept(width, -1.0);
        ScatterSeed(START_STATE);
        const size_t count = ShadeRowRgba8Keeping(info, 0, y, width, source.data(), kept_shaded.data(), kept.data());
        ASSERT_EQ(count, expected.size()) << "record " << i;
        for (size_t k = 0; k < count; ++k) {
            EXPECT_TRUE(std::memcmp(&kept[k], &expected[k], sizeof(double)) == 0 ||
                        (std::isnan(kept[k]) && std::isnan(expected[k])))
                << "record " << i << " reached pixel " << k << ": " << kept[k] << " instead of " << expected[k];
        }
        EXPECT_EQ(kept_shaded, shaded) << "record " << i;
    }
}

// Every alpha in rows the ring does not reach, which modes normal and add
// send through a / 255 and back, in the default rounding and in others,
// where the row routine must not take the default's shortcut.
TEST(RowShading, UncoveredPixelsAsThePixelFunctionsInEveryRounding) {
    RingRenderInfo info = EdgeRecord();
    info.center_x = 1e6;
    info.color2_float = PF_PixelFloat{1.0f, -0.5f, 0.25f, 2.0f};  // a negative ring colour: +0 + -0 rounds
    std::vector<PF_Pixel> source(520);
    std::vector<PF_PixelFloat> floats(source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        const auto v = static_cast<uint8_t>(i);
        source[i] = PF_Pixel{static_cast<uint8_t>(i < 256 ? v : 255 - v), v, static_cast<uint8_t>(v * 7), 200};
        floats[i] = PF_PixelFloat{i % 3 == 0 ? 1.0f : 0.75f, 0.0f, static_cast<float>(v) / 255.0f, 1e-40f};
    }
    for (const int rounding : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(rounding), 0);
        for (const int32_t mode : {BLEND_NORMAL, BLEND_ADD}) {
            info.blend_mode = mode;
            for (const bool rgba : {false, true}) {
                for (const RowWrites writes : {RowWrites::CACHED, RowWrites::STREAMED}) {
                    std::vector<PF_Pixel> expected(source.size()), shaded(source.size());
                    std::vector<PF_PixelFloat> expected_floats(floats.size()), shaded_floats(floats.size());
                    for (size_t i = 0; i < source.size(); ++i) {
                        ShadePixel8(&info, static_cast<int32_t>(i), 3, &source[i], &expected[i]);
                        ShadePixelFloat(&info, static_cast<int32_t>(i), 3, &floats[i], &expected_floats[i]);
                    }
                    const auto count = static_cast<uint32_t>(source.size());
                    Shading<PF_Pixel>::Row(info, 0, 3, count, source.data(), shaded.data(), rgba, writes);
                    Shading<PF_PixelFloat>::Row(info, 0, 3, count, floats.data(), shaded_floats.data(), rgba, writes);
                    EXPECT_EQ(std::memcmp(shaded.data(), expected.data(), sizeof(PF_Pixel) * source.size()), 0)
                        << "rounding " << rounding << " mode " << mode << (rgba ? " rgba" : "");
                    EXPECT_EQ(std::memcmp(shaded_floats.data(), expected_floats.data(),
                                          sizeof(PF_PixelFloat) * floats.size()),
                              0)
                        << "float, rounding " << rounding << " mode " << mode << (rgba ? " rgba" : "");
                }
            }
        }
    }
    std::fesetround(FE_TONEAREST);
}


// A row through the ring in every rounding mode, against the pixel
// functions: at the outer edge (column 35, 15 from the centre) the ramp
// 1 - 1 rounds down to -0, which the smoothing gives as +0, as RingSmooth
// does; a -0 coverage would reach a float's +0 colour as -0.
TEST(RowShading, CoveredPixelsAsThePixelFunctionsInEveryRounding) {
    RingRenderInfo info = EdgeRecord();
    info.smooth = 1;
    const int32_t y = 16;  // the centre's row
    std::vector<PF_PixelFloat> floats(48);
    std::vector<PF_Pixel> bytes(floats.size());
    for (size_t i = 0; i < floats.size(); ++i) {
        floats[i] = PF_PixelFloat{i % 2 == 0 ? 1.0f : 0.5f, 0.0f, static_cast<float>(i) / 47.0f, 0.0f};
        bytes[i] = PF_Pixel{static_cast<uint8_t>(255 - i), 0, static_cast<uint8_t>(i * 5), 255};
    }
    const auto count = static_cast<uint32_t>(floats.size());
    for (const int rounding : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(rounding), 0);
        for (const bool rgba : {false, true}) {
            std::vector<PF_PixelFloat> expected_floats(floats.size()), shaded_floats(floats.size());
            std::vector<PF_Pixel> expected_bytes(bytes.size()), shaded_bytes(bytes.size());
            for (size_t i = 0; i < floats.size(); ++i) {
                ShadePixelFloat(&info, static_cast<int32_t>(i), y, &floats[i], &expected_floats[i]);
                ShadePixel8(&info, static_cast<int32_t>(i), y, &bytes[i], &expected_bytes[i]);
            }
            Shading<PF_PixelFloat>::Row(info, 0, y, count, floats.data(), shaded_floats.data(), rgba,
                                        RowWrites::CACHED);
            Shading<PF_Pixel>::Row(info, 0, y, count, bytes.data(), shaded_bytes.data(), rgba, RowWrites::CACHED);
            EXPECT_EQ(std::memcmp(shaded_floats.data(), expected_floats.data(), sizeof(PF_PixelFloat) * count), 0)
                << "float, rounding " << rounding << (rgba ? " rgba" : "");
            EXPECT_EQ(std::memcmp(shaded_bytes.data(), expected_bytes.data(), sizeof(PF_Pixel) * count), 0)
                << "8-bit, rounding " << rounding << (rgba ? " rgba" : "");
        }
    }
    std::fesetround(FE_TONEAREST);
}

}  // namespace
