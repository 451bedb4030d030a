#include "openfx/ofx_frame.h"

#include <cmath>
#include <thread>
#include <vector>

#include "render/pixel_functions.h"

namespace {

// Below this many pixels a band costs more to start than it saves.
constexpr int64_t OFX_PIXELS_PER_BAND = 1 << 16;

inline unsigned char *PixelAddress(const OfxImageView &image, int32_t x, int32_t y, int64_t pixel_bytes) noexcept {
    return static_cast<unsigned char *>(image.data) +
           (static_cast<int64_t>(y) - image.bounds.y1) * static_cast<int64_t>(image.row_bytes) +
           (static_cast<int64_t>(x) - image.bounds.x1) * pixel_bytes;
}

inline bool Holds(const OfxRectI &bounds, int32_t x, int32_t y) noexcept {
    return x >= bounds.x1 && x < bounds.x2 && y >= bounds.y1 && y < bounds.y2;
}

// The module's pixels keep alpha first; OpenFX's keep it last.
template <typename Channel, typename HostPixel>
inline HostPixel ToHost(const Channel *rgba) noexcept {
    return HostPixel{rgba[3], rgba[0], rgba[1], rgba[2]};
}

template <typename Channel, typename HostPixel>
inline void FromHost(const HostPixel &pixel, Channel *rgba) noexcept {
    rgba[0] = pixel.red;
    rgba[1] = pixel.green;
    rgba[2] = pixel.blue;
    rgba[3] = pixel.alpha;
}

template <typename Channel, typename HostPixel, auto Shade>
void ShadeRowsAs(const OfxShadeJob &job, int32_t first_row, int32_t end_row) noexcept {
    constexpr int64_t pixel_bytes = 4 * sizeof(Channel);
    void *refcon = const_cast<RingRenderInfo *>(job.info);  // the pixel functions only read it
    const int32_t width = job.window.x2 - job.window.x1;
    const bool has_source = job.source.data != nullptr;
    for (int32_t row = first_row; row < end_row; ++row) {
        const int32_t y = job.window.y2 - 1 - row;
        for (int32_t column = 0; column < width; ++column) {
            const int32_t x = job.window.x1 + column;
            HostPixel in{};
            if (has_source && Holds(job.source.bounds, x, y)) {
                in = ToHost<Channel, HostPixel>(
                    reinterpret_cast<const Channel *>(PixelAddress(job.source, x, y, pixel_bytes)));
            }
            HostPixel out = in;
            Shade(refcon, column, row, &in, &out);
            FromHost<Channel, HostPixel>(out, reinterpret_cast<Channel *>(PixelAddress(job.output, x, y, pixel_bytes)));
        }
    }
}

// 16-bit images run through the float pixel function, each channel scaled
// from 0..65535 to 0..1 and back.
void ShadeShortRows(const OfxShadeJob &job, int32_t first_row, int32_t end_row) noexcept {
    constexpr int64_t pixel_bytes = 8;
    void *refcon = const_cast<RingRenderInfo *>(job.info);
    const int32_t width = job.window.x2 - job.window.x1;
    const bool has_source = job.source.data != nullptr;
    for (int32_t row = first_row; row < end_row; ++row) {
        const int32_t y = job.window.y2 - 1 - row;
        for (int32_t column = 0; column < width; ++column) {
            const int32_t x = job.window.x1 + column;
            PF_PixelFloat in{};
            if (has_source && Holds(job.source.bounds, x, y)) {
                const auto *rgba = reinterpret_cast<const uint16_t *>(PixelAddress(job.source, x, y, pixel_bytes));
                in = PF_PixelFloat{rgba[3] / 65535.0f, rgba[0] / 65535.0f, rgba[1] / 65535.0f, rgba[2] / 65535.0f};
            }
            PF_PixelFloat out = in;
            ShadePixelFloat(refcon, column, row, &in, &out);
            auto *rgba = reinterpret_cast<uint16_t *>(PixelAddress(job.output, x, y, pixel_bytes));
            rgba[0] = ShortFromFloat(out.red);
            rgba[1] = ShortFromFloat(out.green);
            rgba[2] = ShortFromFloat(out.blue);
            rgba[3] = ShortFromFloat(out.alpha);
        }
    }
}

struct BandWork {
    const OfxShadeJob *job;
    unsigned bands;
    int32_t rows;
};

int32_t BandStart(const BandWork &work, unsigned band) noexcept {
    return static_cast<int32_t>(static_cast<int64_t>(work.rows) * band / work.bands);
}

void ShadeBand(const BandWork &work, unsigned band) noexcept {
    if (band < work.bands) {
        ShadeOfxRows(*work.job, BandStart(work, band), BandStart(work, band + 1));
    }
}

// The host's threads: thread i shades band i. A host may launch fewer
// threads than asked and says so in thread_max, so a thread also takes
// every band that is its index plus a multiple of thread_max.
void HostThreadBand(unsigned int thread_index, unsigned int thread_max, void *custom) noexcept {
    const auto &work = *static_cast<const BandWork *>(custom);
    if (thread_max == 0) {
        thread_max = 1;
    }
    for (unsigned band = thread_index; band < work.bands; band += thread_max) {
        ShadeBand(work, band);
    }
}

void ShadeWithOwnThreads(const BandWork &work) noexcept {
    std::vector<std::thread> workers;
    std::vector<unsigned> left_over;
    try {
        workers.reserve(work.bands);
        left_over.reserve(work.bands);
    } catch (...) {
        ShadeOfxRows(*work.job, 0, work.rows);
        return;
    }
    for (unsigned band = 1; band < work.bands; ++band) {
        try {
            workers.emplace_back(ShadeBand, std::cref(work), band);
        } catch (...) {
            left_over.push_back(band);
        }
    }
    ShadeBand(work, 0);
    for (unsigned band : left_over) {
        ShadeBand(work, band);
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
}

}  // namespace

bool CoversWindow(const OfxRectI &bounds, const OfxRectI &window) noexcept {
    return bounds.x1 <= window.x1 && bounds.y1 <= window.y1 && bounds.x2 >= window.x2 && bounds.y2 >= window.y2;
}

uint16_t ShortFromFloat(float value) noexcept {
    const double scaled = static_cast<double>(value) * 65535.0;
    if (!(scaled > 0.0)) {
        return 0;  // NaN too
    }
    if (scaled >= 65535.0) {
        return 65535;
    }
    return static_cast<uint16_t>(std::nearbyint(scaled));  // the default rounding: to nearest, ties to even
}

void ShadeOfxRows(const OfxShadeJob &job, int32_t first_row, int32_t end_row) noexcept {
    switch (job.depth) {
    case OFX_DEPTH_BYTE:
        ShadeRowsAs<uint8_t, PF_Pixel, ShadePixel8>(job, first_row, end_row);
        break;
    case OFX_DEPTH_SHORT:
        ShadeShortRows(job, first_row, end_row);
        break;
    case OFX_DEPTH_FLOAT:
        ShadeRowsAs<float, PF_PixelFloat, ShadePixelFloat>(job, first_row, end_row);
        break;
    }
}

unsigned OfxBandCount(const OfxRectI &window, unsigned max_bands) noexcept {
    const int64_t rows = static_cast<int64_t>(window.y2) - window.y1;
    const int64_t pixels = rows * (static_cast<int64_t>(window.x2) - window.x1);
    int64_t bands = (pixels + OFX_PIXELS_PER_BAND - 1) / OFX_PIXELS_PER_BAND;
    bands = bands < max_bands ? bands : max_bands;
    bands = bands < rows ? bands : rows;
    return bands < 1 ? 1u : static_cast<unsigned>(bands);
}

void ShadeOfxWindow(const OfxShadeJob &job, const OfxMultiThreadSuiteV1 *threads) noexcept {
    const int32_t rows = job.window.y2 - job.window.y1;
    if (rows <= 0 || job.window.x2 <= job.window.x1) {
        return;
    }
    unsigned cpus = 0;
    if (threads != nullptr && threads->multiThreadNumCPUs != nullptr &&
        threads->multiThreadNumCPUs(&cpus) != kOfxStatOK) {
        cpus = 0;
    }
    if (threads == nullptr || cpus == 0) {
        cpus = std::thread::hardware_concurrency();
    }
    const BandWork work{&job, OfxBandCount(job.window, cpus == 0 ? 1 : cpus), rows};
    if (work.bands == 1) {
        ShadeOfxRows(job, 0, rows);
        return;
    }
    if (threads != nullptr && threads->multiThread != nullptr) {
        // Called from one of the host's own threads the suite refuses; the
        // bands are shaded here then.
        if (threads->multiThread(HostThreadBand, work.bands, const_cast<BandWork *>(&work)) != kOfxStatOK) {
            ShadeOfxRows(job, 0, rows);
        }
        return;
    }
    ShadeWithOwnThreads(work);
}
