#include "frei0r/host_string.h"

#include <bit>
#include <cctype>
#include <cstring>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// A user-space address on x86-64 Linux and Windows lies below 2^47 (Linux
// hands out higher ones, below 2^56, only on request): stored little-endian,
// its 7th and 8th bytes are zero, so a byte-by-byte reading that stops at the
// first zero stays within its 8 bytes.
static_assert(sizeof(void *) == 8 && std::endian::native == std::endian::little,
              "host strings are told apart on 64-bit little-endian machines");

namespace {

// A text of at least this many characters cannot be an address's bytes.
constexpr int HOST_STRING_ADDRESS_ZERO_BY = 7;

// Compares byte by byte and stops at the first difference, so that neither
// a text's terminator nor the first zero of an address's bytes is passed.
bool Spells(const unsigned char *bytes, const char *text) noexcept {
    for (std::size_t i = 0;; ++i) {
        if (bytes[i] != static_cast<unsigned char>(text[i])) {
            return false;
        }
        if (text[i] == '\0') {
            return true;
        }
    }
}

bool ZeroAmongFirst(const unsigned char *bytes, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        if (bytes[i] == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

const char *HostString(const void *param, HostStringOrigin &origin, HostStringCaller caller,
                       const char *const *accepted, std::size_t count) noexcept {
    const auto *bytes = static_cast<const unsigned char *>(param);
    const auto *text = static_cast<const char *>(param);
    const bool first = origin.first == nullptr;
    if (first) {
        origin.first = param;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (Spells(bytes, accepted[i])) {
            return text;
        }
    }
    if (!ZeroAmongFirst(bytes, HOST_STRING_ADDRESS_ZERO_BY)) {
        return text;
    }
    // What is left is a text of at most 6 characters or an address, which
    // no reading within both can tell apart (the empty text and an address
    // whose low byte is zero both start with a zero). GStreamer's element
    // hands frei0r's form when it makes an instance, first, from its own
    // copy of the pointer, and the text itself after that; every other host
    // hands frei0r's form.
    if (caller == HostStringCaller::GSTREAMER_ELEMENT && !first && param != origin.first) {
        return text;
    }
    const char *pointer = nullptr;
    std::memcpy(&pointer, param, sizeof pointer);  // the host's pointer need not be aligned
    return pointer;
}

bool IsGStreamerFrei0rModule(const char *path) noexcept {
    if (path == nullptr) {
        return false;
    }
    std::string_view name(path);
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    char lower[260] = {};
    const std::size_t length = name.size() < sizeof lower - 1 ? name.size() : sizeof lower - 1;
    for (std::size_t i = 0; i < length; ++i) {
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    }
    const std::string_view file(lower, length);
    return file.find("gstfrei0r") != std::string_view::npos ||
           file.find("gstreamer-full") != std::string_view::npos;
}

HostStringCaller HostStringCallerAt(const void *code) noexcept {
#ifdef _WIN32
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    const bool found = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          static_cast<LPCSTR>(code), &module) != 0 &&
                       GetModuleFileNameA(module, path, sizeof path) != 0;
    const char *name = found ? path : nullptr;
#else
    Dl_info info{};
    const char *name = dladdr(code, &info) != 0 ? info.dli_fname : nullptr;
#endif
    return IsGStreamerFrei0rModule(name) ? HostStringCaller::GSTREAMER_ELEMENT : HostStringCaller::FREI0R_HOST;
}
