#include "frei0r/host_string.h"

#include <bit>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define HOST_STRING_ASAN 1
#endif
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

const char *HostString(const void *param, HostStringOrigin &origin, const char *const *accepted,
                       std::size_t count) noexcept {
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
    // What is left is a text of at most 6 characters or an address, and
    // only where the host keeps it tells them apart: GStreamer's element
    // hands frei0r's form first, from the same place each time, and its
    // texts from copies on the heap; ffmpeg and MLT hand the address of
    // their own local variable.
    if (first || param == origin.first || OnCallingThreadStack(param)) {
        const char *pointer = nullptr;
        std::memcpy(&pointer, param, sizeof pointer);  // the host's pointer need not be aligned
        return pointer;
    }
    return text;
}

bool OnCallingThreadStack(const void *address) noexcept {
#ifdef HOST_STRING_ASAN
    // ASan may move a function's locals to a stack of its own on the heap.
    if (__asan_addr_is_in_fake_stack(__asan_get_current_fake_stack(), const_cast<void *>(address), nullptr,
                                     nullptr) != nullptr) {
        return true;
    }
#endif
#ifdef _WIN32
    // A thread's stack is one reservation: the address lies on it when it
    // lies in the reservation that holds this function's frame.
    MEMORY_BASIC_INFORMATION frame{};
    MEMORY_BASIC_INFORMATION given{};
    return VirtualQuery(__builtin_frame_address(0), &frame, sizeof frame) != 0 &&
           VirtualQuery(address, &given, sizeof given) != 0 && given.AllocationBase == frame.AllocationBase;
#else
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
        return false;
    }
    void *low = nullptr;
    std::size_t size = 0;
    const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    const auto start = reinterpret_cast<std::uintptr_t>(low);
    return known && at >= start && at - start < size;
#endif
}
