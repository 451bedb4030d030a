#include "tests/frei0r/filter_loader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tidalhalo::test {
namespace {

#ifdef _WIN32
void *OpenLibrary(const std::string &path) { return LoadLibraryA(path.c_str()); }
std::string LibraryError() { return "error " + std::to_string(GetLastError()); }
void *Symbol(void *library, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void CloseLibrary(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }
void SetVariable(const char *name, const char *value) { _putenv_s(name, value); }
void UnsetVariable(const char *name) { _putenv_s(name, ""); }
#else
void *OpenLibrary(const std::string &path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
std::string LibraryError() { return dlerror(); }
void *Symbol(void *library, const char *name) { return dlsym(library, name); }
void CloseLibrary(void *library) { dlclose(library); }
void SetVariable(const char *name, const char *value) { setenv(name, value, 1); }
void UnsetVariable(const char *name) { unsetenv(name); }
#endif

template <typename Function>
void Resolve(void *library, const char *name, Function &function) {
    function = reinterpret_cast<Function>(Symbol(library, name));
    if (function == nullptr) {
        throw std::runtime_error(std::string("the filter does not export ") + name);
    }
}

}  // namespace

Frei0rFilter::Frei0rFilter(const std::string &path) {
    library_ = OpenLibrary(path);
    if (library_ == nullptr) {
        throw std::runtime_error("cannot load " + path + ": " + LibraryError());
    }
    Resolve(library_, "f0r_init", init);
    Resolve(library_, "f0r_deinit", deinit);
    Resolve(library_, "f0r_get_plugin_info", get_plugin_info);
    Resolve(library_, "f0r_get_param_info", get_param_info);
    Resolve(library_, "f0r_construct", construct);
    Resolve(library_, "f0r_destruct", destruct);
    Resolve(library_, "f0r_set_param_value", set_param_value);
    Resolve(library_, "f0r_get_param_value", get_param_value);
    Resolve(library_, "f0r_update", update);
    Resolve(library_, "f0r_update2", update2);
    if (init() != 1) {
        throw std::runtime_error("f0r_init failed");
    }
}

Frei0rFilter::~Frei0rFilter() {
    deinit();
    CloseLibrary(library_);
}

FilterInstance::FilterInstance(const Frei0rFilter &filter, unsigned width, unsigned height)
    : filter_(filter), instance_(filter.construct(width, height)), width_(width), height_(height) {
    if (instance_ == nullptr) {
        throw std::runtime_error("f0r_construct refused " + std::to_string(width) + "x" + std::to_string(height));
    }
}

FilterInstance::~FilterInstance() { filter_.destruct(instance_); }

void FilterInstance::SetDouble(int index, double value) const { filter_.set_param_value(instance_, &value, index); }

void FilterInstance::SetColor(int index, float r, float g, float b) const {
    f0r_param_color_t color{r, g, b};
    filter_.set_param_value(instance_, &color, index);
}

void FilterInstance::SetPosition(int index, double x, double y) const {
    f0r_param_position_t position{x, y};
    filter_.set_param_value(instance_, &position, index);
}

void FilterInstance::SetString(int index, const char *text) const {
    // frei0r passes a string as the address of its pointer; the filter copies it.
    std::string copy = text == nullptr ? std::string() : std::string(text);
    f0r_param_string value = text == nullptr ? nullptr : copy.data();
    filter_.set_param_value(instance_, &value, index);
    copy.assign(copy.size(), '#');  // the filter must not keep our pointer
}

double FilterInstance::GetDouble(int index) const {
    double value = -12345.0;
    filter_.get_param_value(instance_, &value, index);
    return value;
}

f0r_param_color_t FilterInstance::GetColor(int index) const {
    f0r_param_color_t color{-1.0f, -1.0f, -1.0f};
    filter_.get_param_value(instance_, &color, index);
    return color;
}

f0r_param_position_t FilterInstance::GetPosition(int index) const {
    f0r_param_position_t position{-12345.0, -12345.0};
    filter_.get_param_value(instance_, &position, index);
    return position;
}

std::string FilterInstance::GetString(int index) const {
    f0r_param_string text = nullptr;
    filter_.get_param_value(instance_, &text, index);
    return text == nullptr ? std::string("(null)") : std::string(text);
}

std::vector<uint8_t> FilterInstance::Render(const std::vector<uint8_t> &rgba, uint8_t fill) const {
    if (rgba.size() != static_cast<std::size_t>(width_) * height_ * 4) {
        throw std::runtime_error("the frame's size does not match the instance's");
    }
    // frei0r frames are 16-byte aligned; vectors of uint32_t are at least that on this platform.
    std::vector<uint32_t> in(static_cast<std::size_t>(width_) * height_);
    std::vector<uint32_t> out(in.size());
    std::memcpy(in.data(), rgba.data(), rgba.size());
    std::memset(out.data(), fill, rgba.size());
    filter_.update(instance_, 0.0, in.data(), out.data());
    std::vector<uint8_t> result(rgba.size());
    std::memcpy(result.data(), out.data(), rgba.size());
    return result;
}

void FilterInstance::SetAny(int index, double value) const {
    static const char *const blends[] = {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha"};
    if (index == kColor1 || index == kColor2) {
        SetColor(index, static_cast<float>(value), static_cast<float>(value), static_cast<float>(value));
    } else if (index == kBlend) {
        SetString(index, blends[static_cast<int>(value) % 5]);
    } else {
        SetDouble(index, value);
    }
}

ScopedEnvironment::ScopedEnvironment(const char *name, const char *value) : name_(name) {
    SetVariable(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { UnsetVariable(name_.c_str()); }

std::vector<uint8_t> NoisePicture(unsigned width, unsigned height, uint32_t seed) {
    std::vector<uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    uint32_t state = seed * 2654435761u + 1u;
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        rgba[i] = static_cast<uint8_t>(state >> 24);
    }
    // Every fourth pixel fully opaque and every seventh fully transparent:
    // the blends treat both ends of alpha apart.
    for (std::size_t pixel = 0; pixel * 4 < rgba.size(); ++pixel) {
        if (pixel % 4 == 0) {
            rgba[pixel * 4 + 3] = 255;
        } else if (pixel % 7 == 0) {
            rgba[pixel * 4 + 3] = 0;
        }
    }
    return rgba;
}

}  // namespace tidalhalo::test
