// The effect's cosine against MPFR's correctly rounded cosine: at least
// 10^8 arguments in 0..pi per run (fewer in the sanitized build), on every
// core, spread evenly and dense near 0, pi/2 and pi.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "render/ring_coverage.h"
#include "tests/unit/cosine_cases.h"

namespace {

#if defined(TIDALHALO_COSINE_SANITIZED)
constexpr uint64_t MPFR_ARGUMENTS = 2'000'000;
#else
constexpr uint64_t MPFR_ARGUMENTS = 100'000'000;
#endif

class MpfrCos {
public:
    MpfrCos() { mpfr_init2(value_, 53); }
    ~MpfrCos() {
        mpfr_clear(value_);
        mpfr_free_cache();  // MPFR keeps constants per thread
    }
    MpfrCos(const MpfrCos &) = delete;
    MpfrCos &operator=(const MpfrCos &) = delete;

    double operator()(double x) {
        mpfr_set_d(value_, x, MPFR_RNDN);
        mpfr_cos(value_, value_, MPFR_RNDN);
        return mpfr_get_d(value_, MPFR_RNDN);
    }

private:
    mpfr_t value_;
};

struct Tally {
    uint64_t checked = 0;
    uint64_t wrong = 0;
    uint64_t precise = 0;   // arguments the quick path handed on
    uint64_t platform = 0;  // arguments where the platform's cos differs
    double first_wrong = 0.0;

    void Add(const Tally &other) {
        if (wrong == 0 && other.wrong != 0) {
            first_wrong = other.first_wrong;
        }
        checked += other.checked;
        wrong += other.wrong;
        precise += other.precise;
        platform += other.platform;
    }
};

void Check(MpfrCos &reference, double x, Tally &tally) {
    const double expected = reference(x);
    const double ours = CorrectlyRoundedCos(x);
    if (std::bit_cast<uint64_t>(ours) != std::bit_cast<uint64_t>(expected)) {
        if (tally.wrong++ == 0) {
            tally.first_wrong = x;
        }
    }
    double quick = 0.0;
    tally.precise += QuickCos(x, quick) ? 0u : 1u;
    tally.platform += std::cos(x) != expected ? 1u : 0u;
    ++tally.checked;
}

// Runs check(i) for i in 0..count on every core, each thread with its own MPFR state.
Tally OnEveryCore(uint64_t count, const std::function<double(uint64_t)> &argument) {
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<Tally> tallies(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            MpfrCos reference;
            for (uint64_t i = t; i < count; i += threads) {
                Check(reference, argument(i), tallies[t]);
            }
        });
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
    Tally total;
    for (const Tally &tally : tallies) {
        total.Add(tally);
    }
    return total;
}

void Report(const char *what, const Tally &tally) {
    std::printf("%s: %llu arguments, %llu differ from MPFR, %llu through the precise path, "
                "%llu where the platform's cos differs from MPFR\n",
                what, static_cast<unsigned long long>(tally.checked), static_cast<unsigned long long>(tally.wrong),
                static_cast<unsigned long long>(tally.precise), static_cast<unsigned long long>(tally.platform));
}

uint64_t SplitMix(uint64_t i) {
    uint64_t z = i * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E5Full;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A value in [0, 1) from the top 53 bits of a hash.
double Unit(uint64_t i) { return static_cast<double>(SplitMix(i) >> 11) * 0x1p-53; }

constexpr double HALF_PI = 0x1.921fb54442d18p+0;

// Five families, interleaved: the smoothing's own arguments pi*f on an even
// grid of f; random doubles in 0..pi; and, log-uniformly ever closer, x
// towards 0, around pi/2 and below pi (down to the doubles next to them).
double SpreadArgument(uint64_t i) {
    const uint64_t family = i % 5;
    const uint64_t j = i / 5;
    const double t = (static_cast<double>(j) + 0.5) / static_cast<double>(MPFR_ARGUMENTS / 5);
    const double wobble = 1.0 + Unit(i);  // 1..2, so every bit pattern occurs
    switch (family) {
    case 0:
        return RING_PI * t;
    case 1:
        return RING_PI * Unit(i);
    case 2:
        return std::ldexp(wobble, -static_cast<int>(48.0 * t));
    case 3: {
        const double offset = std::ldexp(wobble, -1 - static_cast<int>(56.0 * t));
        return (j & 1) != 0 ? HALF_PI + offset : HALF_PI - offset;
    }
    default:
        return RING_PI - std::ldexp(wobble, -1 - static_cast<int>(56.0 * t));
    }
}

TEST(CosineAgainstMpfr, SpreadOverZeroToPi) {
    const Tally tally = OnEveryCore(MPFR_ARGUMENTS, SpreadArgument);
    Report("0..pi", tally);
    EXPECT_EQ(tally.wrong, 0u) << "first at " << std::hexfloat << tally.first_wrong;
    EXPECT_GT(tally.precise, 0u);
}

TEST(CosineAgainstMpfr, EveryMultipleOfPiOver2To20) {
    constexpr uint64_t STEPS = uint64_t{1} << 20;
    const Tally tally = OnEveryCore(STEPS + 1, [](uint64_t k) { return RING_PI * (static_cast<double>(k) / STEPS); });
    Report("k*pi/2^20", tally);
    EXPECT_EQ(tally.wrong, 0u) << "first at " << std::hexfloat << tally.first_wrong;
}

// Outside 0..pi too: any finite double, either sign, every exponent.
TEST(CosineAgainstMpfr, AnyFiniteDouble) {
    const Tally tally = OnEveryCore(MPFR_ARGUMENTS / 100, [](uint64_t i) {
        const uint64_t bits = SplitMix(i + 0x5EED);
        // Any exponent but the one of infinity and NaN.
        return std::bit_cast<double>((bits & ~(uint64_t{0x7FF} << 52)) | ((bits % 0x7FF) << 52));
    });
    Report("any double", tally);
    EXPECT_EQ(tally.wrong, 0u) << "first at " << std::hexfloat << tally.first_wrong;
}

TEST(CosineAgainstMpfr, TablesOfKnownResults) {
    MpfrCos reference;
    for (const CosineCase &c : COSINE_CASES) {
        EXPECT_EQ(std::bit_cast<uint64_t>(reference(c.x)), std::bit_cast<uint64_t>(c.expected))
            << std::hexfloat << c.x;
    }
    Tally tally;
    for (const CosineCase &c : COSINE_HARD_CASES) {
        EXPECT_EQ(std::bit_cast<uint64_t>(reference(c.x)), std::bit_cast<uint64_t>(c.expected))
            << std::hexfloat << c.x;
        Check(reference, c.x, tally);
    }
    Report("hardest found", tally);
    EXPECT_EQ(tally.wrong, 0u);
}

}  // namespace
