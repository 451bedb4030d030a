#include "frei0r/filter_cache.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "frei0r/filter_frame.h"
#include "params/ring_params.h"
#include "render/bit_cast.h"
#include "render/blend_modes.h"
#include "render/ring_coverage.h"
#include "render/row_shading.h"

namespace {

static_assert(std::endian::native == std::endian::little, "frame pixels are read as little-endian words");

// An RGBA8888 pixel read as a little-endian word keeps its alpha on top.
constexpr uint32_t CACHE_ALPHA_SHIFT = 24;

PF_Pixel Blend8(int32_t blend_mode, const RingSample &ring, const PF_Pixel &in) noexcept {
    PF_Pixel out = in;
    BlendInteger<PF_Pixel, uint8_t, 255>(blend_mode, ring, in, out, RingUnit8);
    return out;
}

uint64_t Bits(double value) noexcept { return BitCast<uint64_t>(value); }

// Whether two records give every pixel the same coverage: all that the
// coverage reads, bit for bit; the colours and the blend mode do not count.
bool SameCoverage(const RingRenderInfo &a, const RingRenderInfo &b) noexcept {
    return Bits(a.x_scale) == Bits(b.x_scale) && Bits(a.inner_offset) == Bits(b.inner_offset) &&
           Bits(a.center_x) == Bits(b.center_x) && Bits(a.center_y) == Bits(b.center_y) &&
           Bits(a.radius) == Bits(b.radius) && Bits(a.expand) == Bits(b.expand) &&
           Bits(a.feather) == Bits(b.feather) && Bits(a.opacity) == Bits(b.opacity) &&
           Bits(a.scatter) == Bits(b.scatter) && a.scatter_seed == b.scatter_seed && a.smooth == b.smooth &&
           a.discard_count == b.discard_count && a.row_offset == b.row_offset;
}

// What a pixel the ring cannot reach becomes, as the row plan has it for
// 8-bit pixels: normal and add keep the colour and send the alpha through
// a / 255 and back; none and the stencil modes write one pixel whatever the
// source.
struct UnreachedBlend {
    bool keeps_color;
    uint32_t constant;  // the pixel, when the colour is not kept
};

uint32_t RgbaWord(const PF_Pixel &pixel) noexcept {
    return static_cast<uint32_t>(pixel.red) | static_cast<uint32_t>(pixel.green) << 8 |
           static_cast<uint32_t>(pixel.blue) << 16 | static_cast<uint32_t>(pixel.alpha) << CACHE_ALPHA_SHIFT;
}

// False when the plan shades such a pixel by the full blend, or writes
// nothing: then the frame is shaded pixel by pixel.
bool MakeUnreachedBlend(const RingPlan &plan, UnreachedBlend &blend) noexcept {
    switch (plan.uncovered8) {
    case RingUncovered::KEEP_COLOR:
        blend.keeps_color = true;
        return true;
    case RingUncovered::CONSTANT:
        blend.keeps_color = false;
        blend.constant = RgbaWord(plan.constant8);
        return true;
    default:
        return false;
    }
}

void BlendUnreached(const UnreachedBlend &blend, const uint8_t *in, uint8_t *out, std::size_t count) noexcept {
    if (!blend.keeps_color) {
        for (std::size_t i = 0; i < count; ++i) {
            std::memcpy(out + i * 4, &blend.constant, 4);
        }
        return;
    }
    KeepRgba8Colors(in, out, count);
}

RingSample SampleOf(const RingRenderInfo &info, double f) noexcept {
    const PF_PixelFloat &color1 = info.color1_float;
    const PF_PixelFloat &color2 = info.color2_float;
    return RingSample{f, RingMix(color2.red, color1.red, f), RingMix(color2.green, color1.green, f),
                      RingMix(color2.blue, color1.blue, f)};
}

// The terms of mode normal's formulas that do not depend on the source,
// for a source of alpha 255, formed as the blend forms them. Within these
// bounds every channel's value lies in 0..510, so its truncation needs no
// range check.
void FillOpaqueNormal(const RingRenderInfo &info, const double *coverage, FilterOpaqueNormal *opaque,
                      std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        const RingSample ring = SampleOf(info, coverage[i]);
        const float f = static_cast<float>(ring.f);
        const float oa = OverAlpha(RingUnit8(255), f);
        const float w = RingWeight(f, oa);
        FilterOpaqueNormal kept{1.0f - w, {(w * ring.red) * 255.0f, (w * ring.green) * 255.0f,
                                           (w * ring.blue) * 255.0f}};
        bool plain = StoreChannel<uint8_t>(static_cast<double>(oa * 255.0f)) == 255 && kept.keep >= 0.0f &&
                     kept.keep <= 1.0f;
        for (float term : kept.ring) {
            plain = plain && term >= 0.0f && term <= 255.0f;
        }
        if (!plain) {
            kept.keep = -1.0f;
        }
        opaque[i] = kept;
    }
}

// The host's 8-bit pixel keeps alpha first; frei0r's keeps it last.
void BlendReached(const RingRenderInfo &info, const double *coverage, const FilterOpaqueNormal *opaque,
                  const uint8_t *in, uint8_t *out, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t *source = in + i * 4;
        if (opaque != nullptr && source[3] == 255 && opaque[i].keep >= 0.0f) {
            const FilterOpaqueNormal &kept = opaque[i];
            uint8_t *destination = out + i * 4;
            for (int k = 0; k < 3; ++k) {
                const float v = kept.keep * static_cast<float>(source[k]) + kept.ring[k];
                destination[k] = static_cast<uint8_t>(static_cast<int32_t>(v));
            }
            destination[3] = 255;
            continue;
        }
        const RingSample ring = SampleOf(info, coverage[i]);
        const PF_Pixel shaded = Blend8(info.blend_mode, ring, PF_Pixel{source[3], source[0], source[1], source[2]});
        uint8_t *destination = out + i * 4;
        destination[0] = shaded.red;
        destination[1] = shaded.green;
        destination[2] = shaded.blue;
        destination[3] = shaded.alpha;
    }
}

std::size_t RowReached(const RingRowSpans &spans) noexcept {
    std::size_t count = 0;
    for (int32_t s = 0; s < spans.count; ++s) {
        count += static_cast<std::size_t>(spans.end[s] - spans.begin[s]);
    }
    return count;
}

bool SameColor(const PF_PixelFloat &a, const PF_PixelFloat &b) noexcept {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Makes room for count elements whose old values are not wanted: the old
// block is given back before a larger one is taken, with a quarter to
// spare up to most, so that a ring growing every frame neither holds two
// blocks at once nor asks for a new one every frame.
template <typename T>
void GrowWithoutCopy(std::vector<T> &kept, std::size_t count, std::size_t most) {
    if (count > kept.capacity() || kept.capacity() > most) {
        std::vector<T>().swap(kept);
        const std::size_t spare = count / 4 < most - count ? count / 4 : most - count;
        kept.reserve(count + spare);
    }
    kept.resize(count);
}

// A frame blended from the kept coverage, or shaded keeping it when compute is set.
struct CacheJob {
    const RingRenderInfo &info;
    const UnreachedBlend &unreached;
    const FilterCachedRow *rows;
    double *coverage;
    bool compute;
    FilterOpaqueNormal *opaque;  // null when not kept
    bool fill_opaque;
    uint32_t width;
    const uint8_t *in;
    uint8_t *out;
};

void ShadeCachedRows(void *context, uint32_t first_row, uint32_t end_row) noexcept {
    const auto &job = *static_cast<const CacheJob *>(context);
    for (uint32_t y = first_row; y < end_row; ++y) {
        const FilterCachedRow &row = job.rows[y];
        double *coverage = job.coverage + row.first;
        FilterOpaqueNormal *opaque = job.opaque == nullptr ? nullptr : job.opaque + row.first;
        const std::size_t line = static_cast<std::size_t>(y) * job.width * 4;
        const uint8_t *in = job.in + line;
        uint8_t *out = job.out + line;
        // The frame that keeps the ring is shaded a row at a time, the
        // coverage of the pixels the ring reaches kept on the way.
        if (job.compute) {
            ShadeRowRgba8Keeping(job.info, 0, static_cast<int32_t>(y), job.width, in, out, coverage);
        }
        if (job.fill_opaque) {
            FillOpaqueNormal(job.info, coverage, opaque, RowReached(row.spans));
        }
        if (job.compute) {
            continue;
        }
        std::size_t x = 0;
        for (int32_t s = 0; s < row.spans.count; ++s) {
            const auto begin = static_cast<std::size_t>(row.spans.begin[s]);
            const auto end = static_cast<std::size_t>(row.spans.end[s]);
            BlendUnreached(job.unreached, in + x * 4, out + x * 4, begin - x);
            BlendReached(job.info, coverage, opaque, in + begin * 4, out + begin * 4, end - begin);
            coverage += end - begin;
            if (opaque != nullptr) {
                opaque += end - begin;
            }
            x = end;
        }
        BlendUnreached(job.unreached, in + x * 4, out + x * 4, job.width - x);
    }
}

}  // namespace

bool FilterRingCache::Prepare(const RingRenderInfo &info, uint32_t width, uint32_t height) noexcept {
    valid_ = false;
    const RingPlan plan = MakeRingPlan(info);
    std::size_t total = 0;
    try {
        rows_.resize(height);
        for (uint32_t y = 0; y < height; ++y) {
            FilterCachedRow &row = rows_[y];
            row.spans = RingReachedSpans(info, plan, static_cast<int32_t>(y), static_cast<int32_t>(width));
            row.first = total;
            total += RowReached(row.spans);
            if (total > FILTER_CACHE_LIMIT_BYTES / sizeof(double)) {
                return false;
            }
        }
        GrowWithoutCopy(coverage_, total, FILTER_CACHE_LIMIT_BYTES / sizeof(double));
    } catch (...) {
        return false;
    }
    return true;
}

bool FilterRingCache::ShadeFrame(const RingRenderInfo &info, uint32_t width, uint32_t height, const uint8_t *in,
                                 uint8_t *out, unsigned bands) noexcept {
    if (in == nullptr || out == nullptr || width == 0 || height == 0) {
        return false;
    }
    const bool same_size = width_ == width && height_ == height;
    const bool reuse = valid_ && same_size && SameCoverage(key_, info);
    // A ring is kept once two frames in a row have it: values that change
    // every frame (keyframes) are computed a row at a time and never kept.
    const bool keep = !reuse && same_size && SameCoverage(last_, info);
    last_ = info;
    if (!same_size) {
        valid_ = false;
        width_ = width;
        height_ = height;
    }
    // A ring not kept is shaded a row at a time, as without the cache.
    UnreachedBlend unreached{};
    if (!MakeUnreachedBlend(MakeRingPlan(info), unreached) || (!reuse && !(keep && Prepare(info, width, height)))) {
        ShadeFilterFrame(info, width, height, in, out, bands);
        return false;
    }
    // Mode normal keeps its blend over opaque pixels while it fits, made
    // afresh with the coverage or when a colour changes.
    const std::size_t opaque_most =
        (FILTER_CACHE_LIMIT_BYTES - coverage_.capacity() * sizeof(double)) / sizeof(FilterOpaqueNormal);
    bool use_opaque = info.blend_mode == BLEND_NORMAL && coverage_.size() <= opaque_most;
    const bool fill_opaque = !reuse || !opaque_valid_ || !SameColor(opaque_color1_, info.color1_float) ||
                             !SameColor(opaque_color2_, info.color2_float);
    opaque_valid_ = false;
    if (use_opaque) {
        try {
            GrowWithoutCopy(opaque_, coverage_.size(), opaque_most);
        } catch (...) {
            use_opaque = false;
        }
    }
    if (!use_opaque) {
        std::vector<FilterOpaqueNormal>().swap(opaque_);  // the two together stay within the limit
    }
    CacheJob job{info,   unreached, rows_.data(), coverage_.data(), !reuse, use_opaque ? opaque_.data() : nullptr,
                 use_opaque && fill_opaque, width, in, out};
    RunFilterBands(height, bands, ShadeCachedRows, &job);
    opaque_valid_ = use_opaque;
    opaque_color1_ = info.color1_float;
    opaque_color2_ = info.color2_float;
    valid_ = true;
    key_ = info;
    return reuse;
}

std::size_t FilterRingCache::HeldBytes() const noexcept {
    return rows_.capacity() * sizeof(FilterCachedRow) + coverage_.capacity() * sizeof(double) +
           opaque_.capacity() * sizeof(FilterOpaqueNormal);
}
