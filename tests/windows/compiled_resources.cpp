#include "compiled_resources.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// A type or name in a .res header: 0xFFFF and a number, or a zero-terminated
// UTF-16 string (ASCII is all the script uses).
bool ReadNameOrId(const std::vector<uint8_t>& b, size_t& at, size_t end, std::string& text) {
    if (at + 2 > end) return false;
    if (U16(b, at) == 0xffff) {
        if (at + 4 > end) return false;
        text.assign(1, '#');
        text += std::to_string(U16(b, at + 2));
        at += 4;
        return true;
    }
    text.clear();
    for (; at + 2 <= end; at += 2) {
        const uint16_t unit = U16(b, at);
        if (unit == 0) {
            at += 2;
            return true;
        }
        text.push_back(static_cast<char>(unit));
    }
    return false;
}

}  // namespace

bool ResourceCompilerAvailable() {
    return std::string(TIDALHALO_WINDRES).size() > 0 && std::filesystem::exists(TIDALHALO_WINDRES);
}

bool ParseResFile(const std::vector<uint8_t>& b, std::vector<CompiledResource>& resources,
                  std::string& error) {
    resources.clear();
    size_t at = 0;
    while (at < b.size()) {
        if (at + 8 > b.size()) return error = "truncated entry header", false;
        const uint32_t data_size = U32(b, at);
        const uint32_t header_size = U32(b, at + 4);
        const size_t header_end = at + header_size;
        if (header_size < 16 || header_end > b.size()) return error = "bad header size", false;
        CompiledResource resource;
        size_t field = at + 8;
        if (!ReadNameOrId(b, field, header_end, resource.type) ||
            !ReadNameOrId(b, field, header_end, resource.name))
            return error = "bad type or name", false;
        field = (field + 3) & ~size_t{3};
        if (field + 16 > header_end) return error = "truncated entry header", false;
        resource.language = U16(b, field + 6);
        if (header_end + data_size > b.size()) return error = "truncated data", false;
        resource.bytes.assign(b.begin() + static_cast<std::ptrdiff_t>(header_end),
                              b.begin() + static_cast<std::ptrdiff_t>(header_end + data_size));
        // The file opens with an empty entry that only marks it as a 32-bit .res.
        if (!(data_size == 0 && resource.type == "#0" && resource.name == "#0"))
            resources.push_back(std::move(resource));
        at = (header_end + data_size + 3) & ~size_t{3};
    }
    return true;
}

bool CompileModuleResources(std::vector<CompiledResource>& resources, std::string& error) {
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("tidalhalo_resources_" + std::to_string(::getpid()) + ".res");
    const std::string command = std::string("\"") + TIDALHALO_WINDRES + "\" -i \"" + TIDALHALO_SOURCE_DIR +
                                "/entry/Kv_Tidalhalo.rc\" -O res -o \"" + out.string() + "\"";
    if (std::system(command.c_str()) != 0) {
        error = "resource compiler failed: " + command;
        return false;
    }
    std::ifstream in(out, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::filesystem::remove(out);
    return ParseResFile(bytes, resources, error);
}
