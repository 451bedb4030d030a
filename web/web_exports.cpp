// The functions the page calls in the WebAssembly module. Pictures are RGBA
// bytes in the module's memory, taken with malloc and given back with free.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>

#include "cli/test_card.h"
#include "web/web_shading.h"

extern "C" {

EMSCRIPTEN_KEEPALIVE int32_t web_test_card_width() noexcept { return tidalhalo::cli::kTestCardWidth; }

EMSCRIPTEN_KEEPALIVE int32_t web_test_card_height() noexcept { return tidalhalo::cli::kTestCardHeight; }

// The tool's built-in test card, width x height RGBA, made by its own code.
EMSCRIPTEN_KEEPALIVE void web_test_card(uint8_t *rgba) noexcept {
    const tidalhalo::sim::Image card = tidalhalo::cli::MakeTestCard(tidalhalo::sim::PixelDepth::Eight);
    for (int32_t y = 0; y < card.Height(); ++y) {
        const PF_Pixel *row = card.PixelAt<PF_Pixel>(0, y);
        for (int32_t x = 0; x < card.Width(); ++x) {
            uint8_t *out = rgba + (static_cast<std::size_t>(y) * static_cast<std::size_t>(card.Width()) +
                                   static_cast<std::size_t>(x)) * 4;
            out[0] = row[x].red;
            out[1] = row[x].green;
            out[2] = row[x].blue;
            out[3] = row[x].alpha;
        }
    }
}

// values: WEB_VALUE_COUNT numbers in the order of WebValueIndex. The
// picture is the full-size one reduced by downsample (1 for full size).
EMSCRIPTEN_KEEPALIVE void web_shade(const double *values, uint32_t downsample, uint32_t width, uint32_t height,
                                    const uint8_t *in, uint8_t *out) noexcept {
    double copy[WEB_VALUE_COUNT];
    for (int i = 0; i < WEB_VALUE_COUNT; ++i) {
        copy[i] = values[i];
    }
    const RingRenderInfo info = WebRenderInfo(copy, downsample);
    ShadeWebFrame(info, width, height, in, out);
}

// Rows first_row .. first_row + row_count - 1 of a full-size picture width
// pixels wide, in and out pointing at the first of them: the same bytes as
// those rows of the whole frame, so that bands can be shaded apart.
EMSCRIPTEN_KEEPALIVE void web_shade_rows(const double *values, uint32_t width, uint32_t first_row,
                                         uint32_t row_count, const uint8_t *in, uint8_t *out) noexcept {
    double copy[WEB_VALUE_COUNT];
    for (int i = 0; i < WEB_VALUE_COUNT; ++i) {
        copy[i] = values[i];
    }
    const RingRenderInfo info = WebRenderInfo(copy, 1, static_cast<int32_t>(first_row));
    ShadeWebFrame(info, width, row_count, in, out);
}

// numbers: WEB_RECORD_NUMBERS numbers, as WebRecordFromNumbers reads them.
EMSCRIPTEN_KEEPALIVE void web_shade_record(const double *numbers, uint32_t width, uint32_t height,
                                           const uint8_t *in, uint8_t *out) noexcept {
    double copy[WEB_RECORD_NUMBERS];
    for (int i = 0; i < WEB_RECORD_NUMBERS; ++i) {
        copy[i] = numbers[i];
    }
    const RingRenderInfo info = WebRecordFromNumbers(copy);
    ShadeWebFrame(info, width, height, in, out);
}

}  // extern "C"
