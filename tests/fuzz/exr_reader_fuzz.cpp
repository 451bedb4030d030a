// The tool's EXR reader fed any bytes, from memory.
#include "cli/exr_io.h"
#include "tests/fuzz/picture_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return tidalhalo::fuzz::CheckPictureReader(
        data, size, [](const uint8_t *bytes, size_t count, auto depth, const auto &limit) {
            return tidalhalo::cli::ReadExrBytes("input.exr", bytes, count, depth, limit);
        });
}
