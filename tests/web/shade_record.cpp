// The native side of the WebAssembly comparison: shades pictures with the
// shading library as built for this machine, for the node test to compare
// with the WebAssembly module's frames. Reads from stdin a sequence of
// cases, each WEB_RECORD_NUMBERS doubles, the width and height (uint32),
// then width * height * 4 RGBA bytes; writes each shaded picture to stdout.
// With the argument "card" it writes the tool's test card as RGBA instead.
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/test_card.h"
#include "web/web_shading.h"

namespace {

bool ReadAll(void *data, std::size_t size) { return std::fread(data, 1, size, stdin) == size; }

int WriteCard() {
    const tidalhalo::sim::Image card = tidalhalo::cli::MakeTestCard(tidalhalo::sim::PixelDepth::Eight);
    std::vector<uint8_t> rgba;
    for (int32_t y = 0; y < card.Height(); ++y) {
        for (int32_t x = 0; x < card.Width(); ++x) {
            const PF_Pixel &p = *card.PixelAt<PF_Pixel>(x, y);
            rgba.insert(rgba.end(), {p.red, p.green, p.blue, p.alpha});
        }
    }
    return std::fwrite(rgba.data(), 1, rgba.size(), stdout) == rgba.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "card") == 0) {
        return WriteCard();
    }
    double numbers[WEB_RECORD_NUMBERS];
    while (ReadAll(numbers, sizeof numbers)) {
        uint32_t size[2];
        if (!ReadAll(size, sizeof size)) {
            return 1;
        }
        std::vector<uint8_t> pixels(static_cast<std::size_t>(size[0]) * size[1] * 4);
        if (!ReadAll(pixels.data(), pixels.size())) {
            return 1;
        }
        ShadeWebFrame(WebRecordFromNumbers(numbers), size[0], size[1], pixels.data(), pixels.data());
        if (std::fwrite(pixels.data(), 1, pixels.size(), stdout) != pixels.size()) {
            return 1;
        }
    }
    return 0;
}
