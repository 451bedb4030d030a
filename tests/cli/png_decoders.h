// Two independent PNG decoders, libspng and libpng, reading a file from
// memory to its samples exactly as stored, for tests and the fuzzer to
// judge the files the tool writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidalhalo::test {

struct DecodedPng {
    uint32_t width = 0;
    uint32_t height = 0;
    int bit_depth = 0;
    int color_type = 0;
    std::vector<uint8_t> samples;  // rows packed, 16-bit samples big-endian

    bool operator==(const DecodedPng &) const = default;
};

// Nothing when the decoder refuses the file; error then says why.
std::optional<DecodedPng> DecodeWithSpng(const std::vector<uint8_t> &file, std::string &error);
std::optional<DecodedPng> DecodeWithLibpng(const std::vector<uint8_t> &file, std::string &error);

}  // namespace tidalhalo::test
