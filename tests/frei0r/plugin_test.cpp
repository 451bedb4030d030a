// The filter as a frei0r host sees it: what it declares, how it reads and
// reports its parameters, what it makes of hostile values, and frames that
// must not depend on how its rows are shared among threads.
#include <array>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/frei0r/filter_loader.h"

namespace tidalhalo::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const Frei0rFilter &Filter() {
    static const Frei0rFilter filter;
    return filter;
}

// The pixel at (x, y) of an RGBA frame.
std::array<int, 4> Pixel(const std::vector<uint8_t> &rgba, unsigned width, unsigned x, unsigned y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

TEST(Frei0rPlugin, DeclaresAnRgbaFilterWithElevenParameters) {
    f0r_plugin_info_t info{};
    Filter().get_plugin_info(&info);
    EXPECT_STREQ(info.name, "tidalhalo");
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, 1);
    EXPECT_EQ(info.major_version, 3);
    EXPECT_EQ(info.num_params, 11);
    EXPECT_NE(info.author, nullptr);
    EXPECT_NE(info.explanation, nullptr);
    Filter().get_plugin_info(nullptr);
}

TEST(Frei0rPlugin, ParametersComeInTheirOrderWithTheirTypes) {
    const std::pair<const char *, int> expected[] = {
        {"center_x", F0R_PARAM_DOUBLE}, {"center_y", F0R_PARAM_DOUBLE}, {"radius", F0R_PARAM_DOUBLE},
        {"feather", F0R_PARAM_DOUBLE},  {"expand", F0R_PARAM_DOUBLE},   {"opacity", F0R_PARAM_DOUBLE},
        {"scatter", F0R_PARAM_DOUBLE},  {"color1", F0R_PARAM_COLOR},    {"color2", F0R_PARAM_COLOR},
        {"smooth", F0R_PARAM_BOOL},     {"blend", F0R_PARAM_STRING}};
    for (int index = 0; index < kNumParams; ++index) {
        f0r_param_info_t info{};
        Filter().get_param_info(&info, index);
        EXPECT_STREQ(info.name, expected[index].first) << index;
        EXPECT_EQ(info.type, expected[index].second) << index;
        ASSERT_NE(info.explanation, nullptr) << index;
        // Hosts show it as a tooltip: units in words, no bare factor.
        EXPECT_EQ(std::string(info.explanation).find(" x "), std::string::npos) << info.explanation;
    }
    for (int index : {-1, 11, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        f0r_param_info_t info{"untouched", 77, nullptr};
        Filter().get_param_info(&info, index);
        EXPECT_STREQ(info.name, "untouched") << index;
        EXPECT_EQ(info.type, 77) << index;
    }
    Filter().get_param_info(nullptr, 0);
}

TEST(Frei0rPlugin, NewInstanceHoldsTheDefaults) {
    const FilterInstance instance(Filter(), 64, 48);
    const std::pair<int, double> doubles[] = {{kCenterX, 0.5}, {kCenterY, 0.5}, {kRadius, 0.1},  {kFeather, 0.002},
                                              {kExpand, 0.5},  {kOpacity, 1.0}, {kScatter, 0.0}, {kSmooth, 1.0}};
    for (const auto &[index, value] : doubles) {
        EXPECT_EQ(instance.GetDouble(index), value) << index;
    }
    const f0r_param_color_t white = instance.GetColor(kColor1);
    EXPECT_EQ(white.r, 1.0f);
    EXPECT_EQ(white.g, 1.0f);
    EXPECT_EQ(white.b, 1.0f);
    const f0r_param_color_t azure = instance.GetColor(kColor2);  // #007FFF
    EXPECT_EQ(azure.r, 0.0f);
    EXPECT_EQ(std::lround(azure.g * 255.0), 127);
    EXPECT_EQ(azure.b, 1.0f);
    EXPECT_EQ(instance.GetString(kBlend), "normal");
}

// frei0r's contract: every double lies in 0..1; a value set outside is
// clamped into it and read back clamped, NaN gives the default, and a bool
// is on from one half up.
TEST(Frei0rPlugin, DoublesAreKeptWithinZeroToOne) {
    const FilterInstance instance(Filter(), 100, 50);
    const double defaults[] = {0.5, 0.5, 0.1, 0.002, 0.5, 1.0, 0.0};
    const std::pair<double, double> cases[] = {{0.25, 0.25}, {0.0, 0.0},   {1.0, 1.0},  {1e-300, 1e-300},
                                               {0.999, 0.999}, {-0.5, 0.0}, {1.5, 1.0}, {1e300, 1.0},
                                               {kInf, 1.0},   {-kInf, 0.0}};
    for (int index = kCenterX; index <= kScatter; ++index) {
        for (const auto &[given, read] : cases) {
            instance.SetDouble(index, given);
            EXPECT_EQ(instance.GetDouble(index), read) << index << " set to " << given;
        }
        instance.SetDouble(index, 0.75);
        instance.SetDouble(index, kNaN);
        EXPECT_EQ(instance.GetDouble(index), defaults[index]) << index;
    }

    const std::pair<double, double> flags[] = {{0.5, 1.0},   {0.49999999, 0.0}, {0.75, 1.0}, {0.0, 0.0},
                                               {-7.0, 0.0},  {1e300, 1.0},      {kInf, 1.0}, {kNaN, 1.0}};
    for (const auto &[given, read] : flags) {
        instance.SetDouble(kSmooth, given < 0.5 ? 1.0 : 0.0);
        instance.SetDouble(kSmooth, given);
        EXPECT_EQ(instance.GetDouble(kSmooth), read) << given;
    }

    instance.SetColor(kColor1, 7.0f, -3.0f, std::nanf(""));
    EXPECT_EQ(instance.GetColor(kColor1).r, 1.0f);
    EXPECT_EQ(instance.GetColor(kColor1).g, 0.0f);
    EXPECT_EQ(instance.GetColor(kColor1).b, 1.0f);  // white's blue
    instance.SetColor(kColor2, std::nanf(""), 0.25f, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(instance.GetColor(kColor2).r, 0.0f);
    EXPECT_EQ(instance.GetColor(kColor2).g, 0.25f);
    EXPECT_EQ(instance.GetColor(kColor2).b, 0.0f);
}

TEST(Frei0rPlugin, BlendIsReadByTheToolsNamesOrNumbersAndOtherwiseDefaults) {
    const FilterInstance instance(Filter(), 8, 8);
    const std::pair<const char *, const char *> cases[] = {
        {"none", "none"}, {"add", "add"}, {"stencil-multiply", "stencil-multiply"}, {"4", "stencil-multiply"},
        {"1", "none"},    {"5", "stencil-multiply-alpha"}, {"", "normal"},         {"Normal", "normal"},
        {"add ", "normal"}, {"0", "normal"}, {"6", "normal"}, {"55", "normal"},     {"stencil", "normal"}};
    for (const auto &[text, mode] : cases) {
        instance.SetString(kBlend, "add");
        instance.SetString(kBlend, text);
        EXPECT_EQ(instance.GetString(kBlend), mode) << '"' << text << '"';
    }
    instance.SetString(kBlend, "add");
    instance.SetString(kBlend, nullptr);
    EXPECT_EQ(instance.GetString(kBlend), "normal");
    instance.SetString(kBlend, std::string(100000, 'x').c_str());
    EXPECT_EQ(instance.GetString(kBlend), "normal");

    // The name handed out is the instance's own copy: another instance's
    // setting does not change it.
    const FilterInstance other(Filter(), 8, 8);
    instance.SetString(kBlend, "add");
    other.SetString(kBlend, "none");
    EXPECT_EQ(instance.GetString(kBlend), "add");
}

// A text in a heap block of exactly its size: the sanitized build of this
// test reports any byte read past its terminator.
std::unique_ptr<char[]> HeapText(const std::string &text) {
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

// A host other than GStreamer's element hands frei0r's pointer from
// anywhere: its stack, a copy on the heap at a new address each time (as
// Python's ctypes does), or to a text whose address has zero low bytes, and
// gets the mode every time; an accepted name or a text of 7 characters or
// more handed itself is read as that text.
TEST(Frei0rPlugin, BlendIsTakenFromFrei0rsPointerWhereverItIsAndFromTheNamesThemselves) {
    const FilterInstance instance(Filter(), 8, 8);
    std::vector<char> block(4096);
    const auto base = reinterpret_cast<std::uintptr_t>(block.data());
    char *aligned = block.data() + (256 - base % 256) % 256;
    const std::pair<const char *, const char *> pointed[] = {
        {"add", "add"}, {"none", "none"},   {"stencil-multiply", "stencil-multiply"}, {"4", "stencil-multiply"},
        {"", "normal"}, {"a", "normal"},    {"stencil", "normal"},                    {"Add", "normal"}};
    for (const auto &[text, mode] : pointed) {
        for (int round = 0; round < 3; ++round) {
            instance.SetString(kBlend, "stencil-multiply-alpha");
            auto held = std::make_unique<const char *>(text);  // at a new heap address each round
            Filter().set_param_value(instance.Get(), held.get(), kBlend);
            EXPECT_EQ(instance.GetString(kBlend), mode) << "a pointer on the heap: \"" << text << '"';
        }
        std::strcpy(aligned, text);
        instance.SetString(kBlend, "stencil-multiply-alpha");
        auto held = std::make_unique<const char *>(aligned);
        Filter().set_param_value(instance.Get(), held.get(), kBlend);
        EXPECT_EQ(instance.GetString(kBlend), mode) << "a pointer with a zero low byte: \"" << text << '"';
    }
    const std::pair<std::string, const char *> itself[] = {
        {"add", "add"},         {"none", "none"}, {"1", "none"}, {"5", "stencil-multiply-alpha"},
        {"stencil", "normal"}, {"additive", "normal"}, {std::string(300, 'x'), "normal"}};
    for (const auto &[text, mode] : itself) {
        instance.SetString(kBlend, "stencil-multiply");
        const std::unique_ptr<char[]> copy = HeapText(text);
        Filter().set_param_value(instance.Get(), copy.get(), kBlend);
        EXPECT_EQ(instance.GetString(kBlend), mode) << "the text itself: \"" << text.substr(0, 20) << '"';
    }
}

TEST(Frei0rPlugin, HostileCallsChangeNothingAndReachNoMemory) {
    const FilterInstance instance(Filter(), 3, 5);
    instance.SetDouble(kRadius, 0.004);
    for (int index : {-1, 11, 99, std::numeric_limits<int>::min()}) {
        double value = 0.7;
        Filter().set_param_value(instance.Get(), &value, index);
        EXPECT_EQ(instance.GetDouble(index), -12345.0) << index;  // nothing written
    }
    for (int index = 0; index < kNumParams; ++index) {
        Filter().set_param_value(instance.Get(), nullptr, index);
        Filter().get_param_value(instance.Get(), nullptr, index);
    }
    EXPECT_EQ(instance.GetDouble(kRadius), 0.004);

    double value = 0.5;
    Filter().set_param_value(nullptr, &value, kRadius);
    Filter().get_param_value(nullptr, &value, kRadius);
    EXPECT_EQ(value, 0.5);
    uint32_t frame[15] = {};
    Filter().update(nullptr, 0.0, frame, frame);
    Filter().update(instance.Get(), 0.0, nullptr, frame);
    Filter().update(instance.Get(), 0.0, frame, nullptr);
    Filter().destruct(nullptr);

    EXPECT_EQ(Filter().construct(0, 10), nullptr);
    EXPECT_EQ(Filter().construct(10, 0), nullptr);
    EXPECT_EQ(Filter().construct(std::numeric_limits<unsigned>::max(), 1), nullptr);
    EXPECT_EQ(Filter().construct(1, 2147483648u), nullptr);
}

// Every extreme at once, on frames of one pixel and of odd sizes: the
// sanitized build of this test catches any access outside the frames.
TEST(Frei0rPlugin, ExtremeValuesRenderTinyAndOddFrames) {
    const std::pair<unsigned, unsigned> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {5, 3}, {13, 11}};
    for (const auto &[width, height] : sizes) {
        const FilterInstance instance(Filter(), width, height);
        const std::vector<uint8_t> picture = NoisePicture(width, height, width * 31 + height);
        for (const char *blend : {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha"}) {
            instance.SetString(kBlend, blend);
            for (double extreme : {0.0, 1e-300, 1.0, 1e300, kNaN, -kInf}) {
                instance.SetDouble(kCenterY, -extreme);
                for (int index = kCenterX; index <= kScatter; ++index) {
                    instance.SetDouble(index, extreme);
                }
                instance.SetDouble(kSmooth, extreme);
                const std::vector<uint8_t> out = instance.Render(picture);
                ASSERT_EQ(out.size(), picture.size());
            }
        }
    }
}

// Default ring on a 400 x 300 frame: centre (200, 150), radius 40, in mode
// "none". Far from the ring the pixel is colour 2 with alpha 0, on the ring
// colour 1 fully opaque: red, green, blue, alpha in memory order.
TEST(Frei0rPlugin, FramesAreRgbaWithAlphaLast) {
    const FilterInstance instance(Filter(), 400, 300);
    instance.SetString(kBlend, "none");
    const std::vector<uint8_t> out = instance.Render(NoisePicture(400, 300, 5));
    EXPECT_EQ(Pixel(out, 400, 0, 0), (std::array<int, 4>{0, 127, 255, 0}));
    EXPECT_EQ(Pixel(out, 400, 240, 150), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(Pixel(out, 400, 200, 110), (std::array<int, 4>{255, 255, 255, 255}));

    // Normal over an opaque picture keeps it away from the ring.
    instance.SetString(kBlend, "normal");
    std::vector<uint8_t> opaque(400 * 300 * 4);
    for (std::size_t i = 0; i < opaque.size(); i += 4) {
        opaque[i] = 10;
        opaque[i + 1] = 20;
        opaque[i + 2] = 30;
        opaque[i + 3] = 255;
    }
    EXPECT_EQ(Pixel(instance.Render(opaque), 400, 5, 295), (std::array<int, 4>{10, 20, 30, 255}));
}

TEST(Frei0rPlugin, ShadingInPlaceGivesTheSameFrame) {
    const FilterInstance instance(Filter(), 97, 61);
    instance.SetString(kBlend, "add");
    instance.SetDouble(kRadius, 0.03);
    instance.SetDouble(kFeather, 0.01);
    instance.SetDouble(kScatter, 0.4);
    const std::vector<uint8_t> picture = NoisePicture(97, 61, 9);
    instance.SetDouble(kRadius, 0.3);
    std::vector<uint32_t> frame(97 * 61);
    std::memcpy(frame.data(), picture.data(), picture.size());
    Filter().update(instance.Get(), 0.0, frame.data(), frame.data());
    EXPECT_EQ(std::memcmp(frame.data(), instance.Render(picture).data(), picture.size()), 0);

    // update2 is the same filter, its second and third inputs unused.
    std::vector<uint32_t> in(frame.size()), out(frame.size());
    std::memcpy(in.data(), picture.data(), picture.size());
    Filter().update2(instance.Get(), 0.0, in.data(), nullptr, nullptr, out.data());
    EXPECT_EQ(std::memcmp(out.data(), frame.data(), picture.size()), 0);
}

// Rows are shared among threads in bands; each row reseeds its noise at
// x = 0, so any number of threads gives the frame one thread gives. Also
// run under ThreadSanitizer.
TEST(Frei0rPlugin, FramesDoNotDependOnTheNumberOfThreads) {
    constexpr unsigned kWidth = 640, kHeight = 483;
    const std::vector<uint8_t> picture = NoisePicture(kWidth, kHeight, 77);
    const auto render = [&](const char *threads, const char *blend) {
        const ScopedEnvironment environment("TIDALHALO_THREADS", threads);
        const FilterInstance instance(Filter(), kWidth, kHeight);
        instance.SetDouble(kCenterX, 0.4);
        instance.SetDouble(kCenterY, 0.55);
        instance.SetDouble(kRadius, 0.15);
        instance.SetDouble(kFeather, 0.06);
        instance.SetDouble(kScatter, 0.8);
        instance.SetString(kBlend, blend);
        return instance.Render(picture);
    };
    for (const char *blend : {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha"}) {
        const std::vector<uint8_t> alone = render("1", blend);
        EXPECT_EQ(render("4", blend), alone) << blend;
        EXPECT_EQ(render("3", blend), alone) << blend;
        EXPECT_EQ(render("0", blend), alone) << blend;
        EXPECT_EQ(render("many", blend), alone) << blend;
    }
}

// Hosts such as melt run several instances at once, each on its own thread;
// frei0r allows that, and the instances share nothing but the module.
TEST(Frei0rPlugin, InstancesRenderAtTheSameTimeAsTheyDoAlone) {
    constexpr unsigned kWidth = 301, kHeight = 257;
    const std::vector<uint8_t> picture = NoisePicture(kWidth, kHeight, 3);
    const char *const blends[] = {"add", "stencil-multiply-alpha"};
    std::vector<std::unique_ptr<FilterInstance>> instances;
    std::vector<std::vector<uint8_t>> alone;
    for (int i = 0; i < 2; ++i) {
        instances.push_back(std::make_unique<FilterInstance>(Filter(), kWidth, kHeight));
        instances.back()->SetDouble(kScatter, 0.3 + 0.5 * i);
        instances.back()->SetDouble(kRadius, 0.05 + 0.04 * i);
        instances.back()->SetString(kBlend, blends[i]);
        alone.push_back(instances.back()->Render(picture));
    }
    std::vector<std::vector<uint8_t>> together(2);
    std::thread other([&] {
        for (int round = 0; round < 4; ++round) {
            together[1] = instances[1]->Render(picture);
        }
    });
    for (int round = 0; round < 4; ++round) {
        together[0] = instances[0]->Render(picture);
    }
    other.join();
    EXPECT_EQ(together[0], alone[0]);
    EXPECT_EQ(together[1], alone[1]);
}

}  // namespace
}  // namespace tidalhalo::test
