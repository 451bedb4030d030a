// The text a host means when it sets a string parameter. frei0r asks for a
// pointer to the text's pointer; GStreamer's frei0r element, once its
// instance is running, hands the text itself (its start-up settings are
// frei0r's form). Both forms are read without a byte outside what each
// guarantees: the text up to its terminator, or the pointer's 8 bytes.
#pragma once

#include <cstddef>

// Who calls: GStreamer's frei0r element, or any other host.
enum class HostStringCaller { FREI0R_HOST, GSTREAMER_ELEMENT };

// What an instance remembers of a host's string settings.
struct HostStringOrigin {
    const void *first = nullptr;  // the address of the instance's first setting
};

// The text at param, or null for frei0r's form holding a null pointer.
// param is taken as the text itself when its bytes spell one of accepted
// (count texts) followed by its terminator, or when its first 7 bytes hold
// no zero, which no user-space address has; else, coming from GStreamer's
// element, as the text unless it is the instance's first setting or comes
// from that setting's address; else as frei0r's pointer. param must not be
// null.
const char *HostString(const void *param, HostStringOrigin &origin, HostStringCaller caller,
                       const char *const *accepted, std::size_t count) noexcept;

// GStreamer's frei0r element when code lies in its plug-in (libgstfrei0r.so,
// gstfrei0r.dll) or in a GStreamer built into one library.
HostStringCaller HostStringCallerAt(const void *code) noexcept;

// Whether a module's file name is one of those.
bool IsGStreamerFrei0rModule(const char *path) noexcept;
