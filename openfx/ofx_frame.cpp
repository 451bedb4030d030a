#include "openfx/ofx_frame.h"

#include <cmath>
#include <cstddef>
#include <thread>
#include <vector>

#include "params/ring_params.h"
#include "render/row_shading.h"

namespace {

// Pixels moved through the stack at a time, where they stay in cache.
constexpr uint32_t OFX_STRETCH = 256;

// Pixels of full alpha shaded in one call at most: 16 KB of source.
template <typename Channel>
constexpr uint32_t OFX_RUN_PIXELS = (16u << 10) / (4 * sizeof(Channel));

// Below this many pixels a band costs more to start than it saves.
constexpr int64_t OFX_PIXELS_PER_BAND = 1 << 16;

inline unsigned char *PixelAddress(const OfxImageView &image, int32_t x, int32_t y, int64_t pixel_bytes) noexcept {
    return static_cast<unsigned char *>(image.data) +
           (static_cast<int64_t>(y) - image.bounds.y1) * static_cast<int64_t>(image.row_bytes) +
           (static_cast<int64_t>(x) - image.bounds.x1) * pixel_bytes;
}

// The columns of a window row that the source holds: [first, end), both
// within 0..width; none when the row lies outside the source.
struct SourceSpan {
    int32_t first;
    int32_t end;
};

SourceSpan SourceColumns(const OfxShadeJob &job, int32_t y, int32_t width) noexcept {
    const OfxRectI &b = job.source.bounds;
    if (job.source.data == nullptr || y < b.y1 || y >= b.y2) {
        return {0, 0};
    }
    const auto clamp = [width](int64_t column) {
        return static_cast<int32_t>(column < 0 ? 0 : (column > width ? width : column));
    };
    return {clamp(static_cast<int64_t>(b.x1) - job.window.x1), clamp(static_cast<int64_t>(b.x2) - job.window.x1)};
}

// The row shading reads and writes 8-bit and float rows as OpenFX keeps
// them, red, green, blue, alpha. 16-bit channels run through the module's
// float pixel, a stretch at a time on the stack: 0..65535 scaled to 0..1
// and back.
struct BytePixels {
    using Channel = uint8_t;
    static void Shade(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const Channel *in,
                      Channel *out, RowWrites writes) noexcept {
        ShadeRowRgba8(info, x, y, count, in, out, writes);
    }
};

struct FloatPixels {
    using Channel = float;
    static void Shade(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const Channel *in,
                      Channel *out, RowWrites writes) noexcept {
        ShadeRowRgbaFloat(info, x, y, count, in, out, writes);
    }
};

struct ShortPixels {
    using Channel = uint16_t;
    static void Shade(const RingRenderInfo &info, int32_t x, int32_t y, uint32_t count, const Channel *in,
                      Channel *out, RowWrites) noexcept {
        PF_PixelFloat pixels[OFX_STRETCH];
        while (count != 0) {
            const uint32_t stretch = count < OFX_STRETCH ? count : OFX_STRETCH;
            for (uint32_t k = 0; k < stretch; ++k) {
                const Channel *rgba = in + static_cast<size_t>(k) * 4;
                pixels[k] = PF_PixelFloat{rgba[3] / 65535.0f, rgba[0] / 65535.0f, rgba[1] / 65535.0f,
                                          rgba[2] / 65535.0f};
            }
            ShadeRowFloat(info, x, y, stretch, pixels, pixels);
            for (uint32_t k = 0; k < stretch; ++k) {
                Channel *rgba = out + static_cast<size_t>(k) * 4;
                rgba[0] = ShortFromFloat(pixels[k].red);
                rgba[1] = ShortFromFloat(pixels[k].green);
                rgba[2] = ShortFromFloat(pixels[k].blue);
                rgba[3] = ShortFromFloat(pixels[k].alpha);
            }
            x += static_cast<int32_t>(stretch);
            in += static_cast<size_t>(stretch) * 4;
            out += static_cast<size_t>(stretch) * 4;
            count -= stretch;
        }
    }
};

// Whether a stretch shaded in this mode comes out with full alpha, so that
// premultiplying it would change nothing: normal and add over a source of
// full alpha give alpha 1 - 0 * (1 - F), which is 1; stencil multiply
// gives full alpha over any source.
bool StaysOpaque(int32_t blend_mode, bool opaque_source) noexcept {
    return blend_mode == BLEND_STENCIL_MULTIPLY ||
           (opaque_source && (blend_mode == BLEND_NORMAL || blend_mode == BLEND_ADD));
}

// count pixels shaded as Depth::Shade shades them, from the source's
// premultiplication to the output's: a premultiplied source made straight
// first, the result of a premultiplied or opaque source premultiplied.
// Pixels of full alpha need neither, so where a mode keeps them opaque a
// run of them is shaded as it stands in one call and costs what it costs
// from a straight source.
template <typename Depth>
void ShadeConverted(const RingRenderInfo &info, OfxAlphaState alpha, int32_t x, int32_t y, uint32_t count,
                    const typename Depth::Channel *in, typename Depth::Channel *out, RowWrites writes) noexcept {
    using Channel = typename Depth::Channel;
    const int32_t mode = info.blend_mode;
    // An unknown mode writes nothing, which leaves nothing to convert.
    if (alpha == OfxAlphaState::STRAIGHT || mode < BLEND_NONE || mode > BLEND_STENCIL_MULTIPLY_ALPHA ||
        (alpha == OfxAlphaState::OPAQUE && StaysOpaque(mode, false))) {
        Depth::Shade(info, x, y, count, in, out, writes);
        return;
    }
    const auto advance = [&](uint32_t pixels) {
        x += static_cast<int32_t>(pixels);
        in += static_cast<size_t>(pixels) * 4;
        out += static_cast<size_t>(pixels) * 4;
        count -= pixels;
    };
    Channel straight[OFX_STRETCH * 4];
    Channel shaded[OFX_STRETCH * 4];
    while (count != 0) {
        const uint32_t stretch = count < OFX_STRETCH ? count : OFX_STRETCH;
        // Full alpha decides something only where a run may form or a
        // premultiplied source may skip its conversion.
        const bool opaque = (alpha == OfxAlphaState::PREMULTIPLIED || StaysOpaque(mode, true)) &&
                            AllOpaquePixels(in, stretch);
        if (opaque && StaysOpaque(mode, true)) {
            // The stretches of full alpha that follow join it, as many as
            // stay in the first-level cache between the check and the shading.
            const uint32_t most = count < OFX_RUN_PIXELS<Channel> ? count : OFX_RUN_PIXELS<Channel>;
            uint32_t run = stretch;
            while (run < most) {
                const uint32_t next = most - run < OFX_STRETCH ? most - run : OFX_STRETCH;
                if (!AllOpaquePixels(in + static_cast<size_t>(run) * 4, next)) {
                    break;
                }
                run += next;
            }
            Depth::Shade(info, x, y, run, in, out, writes);
            advance(run);
            continue;
        }
        const Channel *from = in;
        if (alpha == OfxAlphaState::PREMULTIPLIED && !opaque) {
            UnpremultiplyPixels(in, straight, stretch);
            from = straight;
        }
        if (StaysOpaque(mode, false)) {
            Depth::Shade(info, x, y, stretch, from, out, writes);
        } else {
            Depth::Shade(info, x, y, stretch, from, shaded, RowWrites::CACHED);
            PremultiplyPixels(shaded, out, stretch, writes == RowWrites::STREAMED);
        }
        advance(stretch);
    }
}

// Columns first..end - 1 of a window row that the source does not hold:
// transparent black, a stretch at a time. Transparent black is straight as
// it stands, so a premultiplied source's needs only the output converted.
template <typename Depth>
void ShadeOutsideSource(const RingRenderInfo &info, OfxAlphaState alpha, int32_t first, int32_t end, int32_t row,
                        typename Depth::Channel *destination, RowWrites writes) noexcept {
    static constexpr typename Depth::Channel black[OFX_STRETCH * 4] = {};
    if (alpha == OfxAlphaState::PREMULTIPLIED) {
        alpha = OfxAlphaState::OPAQUE;
    }
    for (int32_t column = first; column < end;) {
        const auto left = static_cast<uint32_t>(end - column);
        const uint32_t count = left < OFX_STRETCH ? left : OFX_STRETCH;
        ShadeConverted<Depth>(info, alpha, column, row, count, black,
                              destination + static_cast<std::ptrdiff_t>(column) * 4, writes);
        column += static_cast<int32_t>(count);
    }
}

// Each row from its left end, straight from the source's row into the
// output's: before and after the columns the source holds a pixel is
// transparent black, within them it is read where it lies.
template <typename Depth>
void ShadeRowsAs(const OfxShadeJob &job, int32_t first_row, int32_t end_row) noexcept {
    using Channel = typename Depth::Channel;
    constexpr int64_t pixel_bytes = 4 * sizeof(Channel);
    const RingRenderInfo &info = *job.info;
    const int32_t width = job.window.x2 - job.window.x1;
    const auto pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(job.window.y2 - job.window.y1);
    const RowWrites writes = RowWritesFor(pixels, pixel_bytes);
    for (int32_t row = first_row; row < end_row; ++row) {
        const int32_t y = job.window.y2 - 1 - row;
        Channel *destination = reinterpret_cast<Channel *>(PixelAddress(job.output, job.window.x1, y, pixel_bytes));
        const SourceSpan span = SourceColumns(job, y, width);
        const int32_t inside_first = span.first < span.end ? span.first : width;
        const int32_t inside_end = span.first < span.end ? span.end : width;
        ShadeOutsideSource<Depth>(info, job.source_alpha, 0, inside_first, row, destination, writes);
        if (inside_first < inside_end) {
            const auto *source = reinterpret_cast<const Channel *>(
                PixelAddress(job.source, job.window.x1 + inside_first, y, pixel_bytes));
            ShadeConverted<Depth>(info, job.source_alpha, inside_first, row,
                                  static_cast<uint32_t>(inside_end - inside_first), source,
                                  destination + static_cast<std::ptrdiff_t>(inside_first) * 4, writes);
        }
        ShadeOutsideSource<Depth>(info, job.source_alpha, inside_end, width, row, destination, writes);
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
        ShadeRowsAs<BytePixels>(job, first_row, end_row);
        break;
    case OFX_DEPTH_SHORT:
        ShadeRowsAs<ShortPixels>(job, first_row, end_row);
        break;
    case OFX_DEPTH_FLOAT:
        ShadeRowsAs<FloatPixels>(job, first_row, end_row);
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
