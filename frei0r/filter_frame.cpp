#include "frei0r/filter_frame.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "render/pixel_functions.h"

namespace {

// The host's 8-bit pixel keeps alpha first; frei0r's keeps it last.
void ShadeRows(const RingRenderInfo &info, uint32_t width, uint32_t first_row, uint32_t end_row, const uint8_t *in,
               uint8_t *out) noexcept {
    void *refcon = const_cast<RingRenderInfo *>(&info);  // the pixel function only reads it
    for (uint32_t y = first_row; y < end_row; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width * 4;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t *source = in + row + static_cast<std::size_t>(x) * 4;
            uint8_t *destination = out + row + static_cast<std::size_t>(x) * 4;
            const PF_Pixel pixel{source[3], source[0], source[1], source[2]};
            PF_Pixel shaded = pixel;
            ShadePixel8(refcon, static_cast<int32_t>(x), static_cast<int32_t>(y), &pixel, &shaded);
            destination[0] = shaded.red;
            destination[1] = shaded.green;
            destination[2] = shaded.blue;
            destination[3] = shaded.alpha;
        }
    }
}

}  // namespace

unsigned FilterThreadCount(uint32_t width, uint32_t height, unsigned requested) noexcept {
    uint64_t count = requested == 0 ? std::thread::hardware_concurrency() : requested;
    const uint64_t pixels = static_cast<uint64_t>(width) * height;
    const uint64_t worth = (pixels + FILTER_PIXELS_PER_THREAD - 1) / FILTER_PIXELS_PER_THREAD;
    if (count > worth) {
        count = worth;
    }
    if (count > height) {
        count = height;
    }
    return count == 0 ? 1 : static_cast<unsigned>(count);
}

unsigned FilterThreadsFromEnvironment() noexcept {
    const char *text = std::getenv("TIDALHALO_THREADS");
    if (text == nullptr) {
        return 0;
    }
    unsigned threads = 0;
    const char *end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, threads);
    if (error != std::errc() || stop != end || stop == text) {
        return 0;
    }
    return threads;
}

void ShadeFilterFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in, uint8_t *out,
                      unsigned threads) noexcept {
    if (in == nullptr || out == nullptr || width == 0 || height == 0) {
        return;
    }
    const unsigned bands = FilterThreadCount(width, height, threads);
    const auto band_start = [&](unsigned band) {
        return static_cast<uint32_t>(static_cast<uint64_t>(height) * band / bands);
    };
    // The calling thread shades the first band; a band whose thread cannot
    // be started is shaded here too, after the first.
    std::vector<std::thread> workers;
    std::vector<unsigned> left_over;
    try {
        workers.reserve(bands - 1);
        left_over.reserve(bands - 1);
    } catch (...) {
        ShadeRows(info, width, 0, height, in, out);
        return;
    }
    for (unsigned band = 1; band < bands; ++band) {
        try {
            workers.emplace_back(ShadeRows, std::cref(info), width, band_start(band), band_start(band + 1), in, out);
        } catch (...) {
            left_over.push_back(band);
        }
    }
    ShadeRows(info, width, 0, band_start(1), in, out);
    for (unsigned band : left_over) {
        ShadeRows(info, width, band_start(band), band_start(band + 1), in, out);
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
}
