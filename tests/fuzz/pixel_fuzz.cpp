// The three pixel functions fed any render record (NaN, infinities, huge and
// negative values, any blend mode, any discard count and row offset), any
// source and destination pixels and any coordinates. They must never crash
// nor reach undefined behaviour, and they must give the plain reference
// functions' results byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

#include "render/pixel_functions.h"
#include "render/pixel_reference.h"
#include "render/ring_render_info.h"
#include "render/scatter_random.h"

namespace {

constexpr size_t MAX_ROW = 8;

// Raw bits reach every double; the table and the small values reach the
// edges and the ranges where a ring actually shows.
double AnyDouble(FuzzedDataProvider &data) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double SPECIAL[] = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.0,
                                  0.5,
                                  1e-300,
                                  1e300,
                                  -1e300,
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  inf,
                                  -inf,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  9223372036854775808.0,
                                  -9223372036854775808.0,
                                  2147483648.0,
                                  65536.0};
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return std::bit_cast<double>(data.ConsumeIntegral<uint64_t>());
    case 1:
        return SPECIAL[data.ConsumeIntegralInRange<size_t>(0, std::size(SPECIAL) - 1)];
    default:
        return static_cast<double>(data.ConsumeIntegral<int16_t>()) / 16.0;
    }
}

float AnyFloat(FuzzedDataProvider &data) {
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return std::bit_cast<float>(data.ConsumeIntegral<uint32_t>());
    case 1:
        return static_cast<float>(AnyDouble(data));
    default:
        return static_cast<float>(data.ConsumeIntegral<int16_t>()) / 4096.0f;
    }
}

int32_t AnyInt32(FuzzedDataProvider &data) {
    if (data.ConsumeBool()) {
        return data.ConsumeIntegral<int32_t>();
    }
    return data.ConsumeIntegralInRange<int32_t>(-4, 64);
}

RingRenderInfo AnyRecord(FuzzedDataProvider &data) {
    RingRenderInfo info{};
    info.x_scale = AnyDouble(data);
    info.inner_offset = AnyDouble(data);
    info.center_x = AnyDouble(data);
    info.center_y = AnyDouble(data);
    info.radius = AnyDouble(data);
    info.expand = AnyDouble(data);
    info.feather = AnyDouble(data);
    info.opacity = AnyDouble(data);
    info.scatter = AnyDouble(data);
    info.scatter_seed = data.ConsumeIntegral<int32_t>();
    info.smooth = data.ConsumeIntegral<uint8_t>();
    info.blend_mode = data.ConsumeBool() ? data.ConsumeIntegralInRange<int32_t>(0, 6) : data.ConsumeIntegral<int32_t>();
    info.discard_count = AnyInt32(data);
    info.row_offset = AnyInt32(data);
    for (PF_PixelFloat *color : {&info.color1_float, &info.color2_float}) {
        color->alpha = AnyFloat(data);
        color->red = AnyFloat(data);
        color->green = AnyFloat(data);
        color->blue = AnyFloat(data);
    }
    return info;
}

// A run of pixels along one row, as the host's iteration visits them.
struct Row {
    int32_t x = 0;
    int32_t y = 0;
    size_t count = 1;
    uint32_t generator = 1;  // the scatter state before the first pixel

    int32_t X(size_t i) const { return static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(i)); }
};

template <typename Pixel>
void AnyPixels(FuzzedDataProvider &data, Pixel (&pixels)[MAX_ROW]) {
    for (Pixel &pixel : pixels) {
        data.ConsumeData(&pixel, sizeof pixel);
    }
}

void AnyPixels(FuzzedDataProvider &data, PF_PixelFloat (&pixels)[MAX_ROW]) {
    for (PF_PixelFloat &pixel : pixels) {
        pixel = {AnyFloat(data), AnyFloat(data), AnyFloat(data), AnyFloat(data)};
    }
}

void PrintRecord(const RingRenderInfo &info, const Row &row) {
    std::fprintf(stderr,
                 "record: x_scale %a inner_offset %a center %a %a radius %a expand %a feather %a opacity %a "
                 "scatter %a seed %d smooth %u mode %d discard %d row_offset %d\n",
                 info.x_scale, info.inner_offset, info.center_x, info.center_y, info.radius, info.expand,
                 info.feather, info.opacity, info.scatter, info.scatter_seed, info.smooth, info.blend_mode,
                 info.discard_count, info.row_offset);
    for (const PF_PixelFloat *c : {&info.color1_float, &info.color2_float}) {
        std::fprintf(stderr, "colour: %a %a %a %a\n", static_cast<double>(c->alpha), static_cast<double>(c->red),
                     static_cast<double>(c->green), static_cast<double>(c->blue));
    }
    std::fprintf(stderr, "row: from x %d, y %d, %zu pixels, generator state %u\n", row.x, row.y, row.count,
                 row.generator);
}

void PrintPixel(const char *what, const PF_Pixel &p) {
    std::fprintf(stderr, "%s: %u %u %u %u\n", what, p.alpha, p.red, p.green, p.blue);
}
void PrintPixel(const char *what, const PF_Pixel16 &p) {
    std::fprintf(stderr, "%s: %u %u %u %u\n", what, p.alpha, p.red, p.green, p.blue);
}
void PrintPixel(const char *what, const PF_PixelFloat &p) {
    std::fprintf(stderr, "%s: %a %a %a %a\n", what, static_cast<double>(p.alpha), static_cast<double>(p.red),
                 static_cast<double>(p.green), static_cast<double>(p.blue));
}

template <typename Pixel>
using Shade = PF_Err (*)(void *, int32_t, int32_t, const Pixel *, Pixel *) noexcept;

// Every input's record lives at the same address, rewritten as a host
// rewrites a record between frames. A pixel of another record first ends
// the previous input's row, so that nothing a function keeps for one row of
// one record carries over to the next input.
template <typename Pixel>
void BreakRow(Shade<Pixel> shade) {
    static RingRenderInfo other = NewRingRenderInfo();
    const Pixel in{};
    Pixel out{};
    shade(&other, 0, 0, &in, &out);
}

template <typename Pixel>
void ShadeRow(Shade<Pixel> shade, RingRenderInfo &info, const Row &row, const Pixel (&in)[MAX_ROW],
              Pixel (&out)[MAX_ROW]) {
    BreakRow(shade);
    ScatterSeed(row.generator);
    for (size_t i = 0; i < row.count; ++i) {
        if (shade(&info, row.X(i), row.y, &in[i], &out[i]) != PF_Err_NONE) {
            std::fprintf(stderr, "pixel function failed at pixel %zu\n", i);
            std::abort();
        }
    }
}

template <typename Pixel>
void Check(FuzzedDataProvider &data, RingRenderInfo &info, const Row &row, Shade<Pixel> fast, Shade<Pixel> reference,
           const char *depth) {
    Pixel in[MAX_ROW]{};
    Pixel destination[MAX_ROW]{};
    AnyPixels(data, in);
    AnyPixels(data, destination);

    Pixel fast_out[MAX_ROW];
    std::memcpy(fast_out, destination, sizeof destination);
    ShadeRow(fast, info, row, in, fast_out);

    Pixel reference_out[MAX_ROW];
    std::memcpy(reference_out, destination, sizeof destination);
    ShadeRow(reference, info, row, in, reference_out);
    for (size_t i = 0; i < row.count; ++i) {
        if (std::memcmp(&fast_out[i], &reference_out[i], sizeof(Pixel)) != 0) {
            std::fprintf(stderr, "%s: the fast pixel function differs from the reference at (%d, %d)\n", depth,
                         row.X(i), row.y);
            PrintRecord(info, row);
            PrintPixel("source", in[i]);
            PrintPixel("destination before", destination[i]);
            PrintPixel("fast", fast_out[i]);
            PrintPixel("reference", reference_out[i]);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    RingRenderInfo info = AnyRecord(data);
    Row row;
    row.x = data.ConsumeBool() ? 0 : AnyInt32(data);  // x = 0 reseeds the row
    row.y = AnyInt32(data);
    row.count = data.ConsumeIntegralInRange<size_t>(1, MAX_ROW);
    row.generator = data.ConsumeIntegral<uint32_t>();

    Check<PF_Pixel>(data, info, row, ShadePixel8, ReferenceShadePixel8, "8-bit");
    Check<PF_Pixel16>(data, info, row, ShadePixel16, ReferenceShadePixel16, "16-bit");
    Check<PF_PixelFloat>(data, info, row, ShadePixelFloat, ReferenceShadePixelFloat, "float");
    return 0;
}
