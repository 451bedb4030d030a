#include "frei0r/filter_frame.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "frei0r/filter_floating_point.h"
#include "render/row_shading.h"

namespace {

struct FrameJob {
    const RingRenderInfo &info;
    uint32_t width;
    const uint8_t *in;
    uint8_t *out;
};

// frei0r's rows are kept red, green, blue, alpha, as the row shading reads them.
void ShadeRows(void *context, uint32_t first_row, uint32_t end_row) noexcept {
    const auto &job = *static_cast<const FrameJob *>(context);
    for (uint32_t y = first_row; y < end_row; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * job.width * 4;
        ShadeRowRgba8(job.info, 0, static_cast<int32_t>(y), job.width, job.in + row, job.out + row);
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

unsigned FilterNumberFromEnvironment(const char *name, unsigned fallback) noexcept {
    const char *text = std::getenv(name);
    if (text == nullptr) {
        return fallback;
    }
    unsigned number = 0;
    const char *end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, number);
    if (error != std::errc() || stop != end || stop == text) {
        return fallback;
    }
    return number;
}

void RunFilterBands(uint32_t height, unsigned bands, FilterBandFunction shade, void *context) noexcept {
    if (bands == 0) {
        bands = 1;
    }
    if (bands > height) {
        bands = height == 0 ? 1 : height;
    }
    const auto band_start = [&](unsigned band) {
        return static_cast<uint32_t>(static_cast<uint64_t>(height) * band / bands);
    };
    std::vector<std::thread> workers;
    std::vector<unsigned> left_over;
    try {
        workers.reserve(bands - 1);
        left_over.reserve(bands - 1);
    } catch (...) {
        shade(context, 0, height);
        return;
    }
    for (unsigned band = 1; band < bands; ++band) {
        try {
            // A new thread's environment is the system's, not the one the frame is shaded in.
            workers.emplace_back([=] {
                const DefaultFloatingPoint environment;
                shade(context, band_start(band), band_start(band + 1));
            });
        } catch (...) {
            left_over.push_back(band);
        }
    }
    shade(context, 0, band_start(1));
    for (unsigned band : left_over) {
        shade(context, band_start(band), band_start(band + 1));
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
}

void ShadeFilterFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in, uint8_t *out,
                      unsigned bands) noexcept {
    if (in == nullptr || out == nullptr || width == 0 || height == 0) {
        return;
    }
    FrameJob job{info, width, in, out};
    RunFilterBands(height, bands, ShadeRows, &job);
}
