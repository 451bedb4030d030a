// The ring an instance keeps from frame to frame: every frame must be the
// frame the uncached path (TIDALHALO_RING_CACHE=0, the module's pixel
// function on every pixel) gives, whether the values stay, change, come
// back, or change every frame; for two instances at once; in place; and
// with the host's own floating-point environment left as it was.
#include <cfenv>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/frei0r/filter_loader.h"

namespace tidalhalo::test {
namespace {

constexpr int kNoChange = -1;

const Frei0rFilter &Filter() {
    static const Frei0rFilter filter;
    return filter;
}

// Even seeds: noise with every kind of alpha. Odd seeds: alphas from 128 up
// with a few low ones, as most video has them.
std::vector<uint8_t> Picture(unsigned width, unsigned height, uint32_t seed) {
    std::vector<uint8_t> rgba = NoisePicture(width, height, seed);
    if (seed % 2 == 1) {
        for (std::size_t i = 3; i < rgba.size(); i += 4) {
            rgba[i] = static_cast<uint8_t>(rgba[i] | 0x80);
        }
        for (std::size_t i = 3; i < rgba.size(); i += 4 * 37) {
            rgba[i] = static_cast<uint8_t>(i % 128);
        }
    }
    return rgba;
}

// An instance that keeps the ring and its uncached twin, given the same values.
struct Twins {
    Twins(unsigned width, unsigned height) : cached(Make(width, height, "1")), plain(Make(width, height, "0")) {}

    static std::unique_ptr<FilterInstance> Make(unsigned width, unsigned height, const char *cache) {
        const ScopedEnvironment environment("TIDALHALO_RING_CACHE", cache);
        return std::make_unique<FilterInstance>(Filter(), width, height);
    }
    void Set(int index, double value) const {
        cached->SetAny(index, value);
        plain->SetAny(index, value);
    }
    void ExpectSameFrame(uint32_t seed, const std::string &what) const {
        const std::vector<uint8_t> picture = Picture(cached->Width(), cached->Height(), seed);
        const std::vector<uint8_t> expected = plain->Render(picture);
        const std::vector<uint8_t> frame = cached->Render(picture, 0xA5);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < frame.size(); ++i) {
            differing += frame[i] != expected[i];
        }
        EXPECT_EQ(differing, 0u) << what << ", picture " << seed;
    }

    std::unique_ptr<FilterInstance> cached;
    std::unique_ptr<FilterInstance> plain;
};

void SetRing(const Twins &twins) {
    twins.Set(kCenterX, 0.4);
    twins.Set(kCenterY, 0.55);
    twins.Set(kRadius, 0.22);
    twins.Set(kFeather, 0.07);
    twins.Set(kExpand, 0.6);
    twins.Set(kOpacity, 0.8);
    twins.Set(kScatter, 0.3);
}

// Each value changed in turn and then put back: the kept ring must follow
// every change. A ring is kept from the second frame that has it and
// reused from the third; a colour or blend change reuses it at once.
TEST(Frei0rCache, EveryChangeOfValueGivesTheUncachedFrame) {
    struct Change {
        int index;
        double value;
    };
    const Change changes[] = {
        {kNoChange, 0},     {kCenterX, 0.41},  {kCenterY, 0.0},  {kRadius, 0.05},  {kRadius, 1.0},
        {kFeather, 0.0},    {kFeather, 0.3},   {kExpand, 0.0},   {kExpand, 1.0},   {kOpacity, 0.0},
        {kOpacity, 0.33},   {kScatter, 0.0},   {kScatter, 1.0},  {kColor1, 0.2},   {kColor2, 0.9},
        {kSmooth, 0.0},     {kSmooth, 1.0},    {kBlend, 0},      {kBlend, 2},      {kBlend, 3},
        {kBlend, 4},        {kCenterX, 1.0},   {kCenterX, 0.0},  {kCenterY, 1.0},  {kRadius, 0.0},
    };
    for (const auto &[width, height] : {std::pair{173u, 97u}, std::pair{64u, 1u}, std::pair{1u, 40u}}) {
        const Twins twins(width, height);
        SetRing(twins);
        uint32_t seed = 0;
        for (const Change &change : changes) {
            const std::string what = std::to_string(width) + "x" + std::to_string(height) + " parameter " +
                                     std::to_string(change.index) + " set to " + std::to_string(change.value);
            if (change.index != kNoChange) {
                twins.Set(change.index, change.value);
            }
            // Computed, then kept, then reused.
            twins.ExpectSameFrame(seed++, what);
            twins.ExpectSameFrame(seed++, what + ", again");
            twins.ExpectSameFrame(seed++, what + ", a third time");
        }
    }
}

// Keyframed values: a ring that moves and grows every frame, in every mode.
TEST(Frei0rCache, ARingThatChangesEveryFrameGivesTheUncachedFrames) {
    const Twins twins(211, 119);
    SetRing(twins);
    for (int mode = 0; mode < 5; ++mode) {
        twins.Set(kBlend, mode);
        for (int frame = 0; frame < 6; ++frame) {
            twins.Set(kCenterX, 0.1 + 0.15 * frame);
            twins.Set(kRadius, 0.05 + 0.03 * frame);
            twins.ExpectSameFrame(static_cast<uint32_t>(mode * 10 + frame), "mode " + std::to_string(mode + 1));
        }
    }
}

// Instances keep their rings apart, also while both shade at once and each
// shares its frame among threads.
TEST(Frei0rCache, TwoInstancesAtOnceKeepTheirOwnRings) {
    const ScopedEnvironment threads("TIDALHALO_THREADS", "3");
    const Twins first(320, 240);
    const Twins second(320, 240);
    SetRing(first);
    second.Set(kRadius, 0.3);
    second.Set(kScatter, 0.7);
    second.Set(kBlend, 4);
    for (uint32_t round = 0; round < 4; ++round) {
        std::thread other([&] { second.ExpectSameFrame(100 + round, "second instance"); });
        first.ExpectSameFrame(200 + round, "first instance");
        other.join();
    }
}

// The kept ring shades in place, reads the input frame without writing it,
// and writes nothing outside the output frame.
TEST(Frei0rCache, InPlaceAndWithinTheFrames) {
    constexpr unsigned kWidth = 150, kHeight = 90, kGuard = 64;
    const Twins twins(kWidth, kHeight);
    SetRing(twins);
    const std::vector<uint8_t> picture = Picture(kWidth, kHeight, 3);
    const std::vector<uint8_t> expected = twins.plain->Render(picture);
    for (int frame = 0; frame < 3; ++frame) {
        std::vector<uint32_t> in(kWidth * kHeight + 2 * kGuard, 0x5A5A5A5Au);
        std::vector<uint32_t> out(in.size(), 0x5A5A5A5Au);
        std::memcpy(in.data() + kGuard, picture.data(), picture.size());
        const std::vector<uint32_t> in_before = in;
        Filter().update(twins.cached->Get(), 0.0, in.data() + kGuard, out.data() + kGuard);
        EXPECT_EQ(in, in_before);
        EXPECT_EQ(std::memcmp(out.data() + kGuard, expected.data(), expected.size()), 0);
        for (unsigned i = 0; i < kGuard; ++i) {
            EXPECT_EQ(out[i], 0x5A5A5A5Au);
            EXPECT_EQ(out[out.size() - 1 - i], 0x5A5A5A5Au);
        }

        std::memcpy(out.data() + kGuard, picture.data(), picture.size());
        Filter().update(twins.cached->Get(), 0.0, out.data() + kGuard, out.data() + kGuard);
        EXPECT_EQ(std::memcmp(out.data() + kGuard, expected.data(), expected.size()), 0);
    }
}

// A host may shade in another rounding mode with exception flags raised;
// the frame is the same, also on the filter's own threads, and the host
// gets its environment back unchanged.
TEST(Frei0rCache, TheHostsFloatingPointEnvironmentIsLeftAsFound) {
    constexpr unsigned kWidth = 320, kHeight = 240;
    const ScopedEnvironment threads("TIDALHALO_THREADS", "3");
    const Twins twins(kWidth, kHeight);
    SetRing(twins);
    const std::vector<uint8_t> picture = Picture(kWidth, kHeight, 8);
    const std::vector<uint8_t> expected = twins.plain->Render(picture);
    for (const FilterInstance *instance : {twins.cached.get(), twins.plain.get(), twins.cached.get()}) {
        std::vector<uint32_t> in(kWidth * kHeight), out(kWidth * kHeight);
        std::memcpy(in.data(), picture.data(), picture.size());
        for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
            std::feclearexcept(FE_ALL_EXCEPT);
            std::feraiseexcept(FE_DIVBYZERO);
            std::fesetround(mode);
            Filter().update(instance->Get(), 0.0, in.data(), out.data());
            const int round_after = std::fegetround();
            const int flags_after = std::fetestexcept(FE_ALL_EXCEPT);
            std::fesetround(FE_TONEAREST);
            std::feclearexcept(FE_ALL_EXCEPT);
            EXPECT_EQ(round_after, mode);
            EXPECT_EQ(flags_after, FE_DIVBYZERO);
            EXPECT_EQ(std::memcmp(out.data(), expected.data(), expected.size()), 0) << mode;
        }
    }
}

}  // namespace
}  // namespace tidalhalo::test
