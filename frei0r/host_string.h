// The text a host means when it sets a string parameter. frei0r asks for a
// pointer to the text's pointer; GStreamer's frei0r element, once its
// instance is running, hands the text itself (its start-up settings are
// frei0r's form). Both forms are read without a byte outside what each
// guarantees: the text up to its terminator, or the pointer's 8 bytes.
#pragma once

#include <cstddef>

// What an instance remembers of a host's string settings.
struct HostStringOrigin {
    const void *first = nullptr;  // the address of the instance's first setting
};

// The text at param, or null for frei0r's form holding a null pointer.
// param is taken as the text itself when its bytes spell one of accepted
// (count texts) followed by its terminator, or
// when its first 7 bytes hold no zero, which no user-space address has; as
// frei0r's pointer when it is the instance's first setting, comes from the
// first setting's address, or lies on the calling thread's stack; and
// otherwise as a text of at most 6 characters. param must not be null.
const char *HostString(const void *param, HostStringOrigin &origin, const char *const *accepted,
                       std::size_t count) noexcept;

// Whether address lies within the calling thread's stack.
bool OnCallingThreadStack(const void *address) noexcept;
