// The built frei0r filter, loaded with dlopen and reached only through the
// functions it exports, as a frei0r host reaches it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <frei0r.h>
}

namespace tidalhalo::test {

class Frei0rFilter {
public:
    explicit Frei0rFilter(const std::string &path = TIDALHALO_FREI0R_PLUGIN);
    ~Frei0rFilter();
    Frei0rFilter(const Frei0rFilter &) = delete;
    Frei0rFilter &operator=(const Frei0rFilter &) = delete;

    decltype(&f0r_init) init = nullptr;
    decltype(&f0r_deinit) deinit = nullptr;
    decltype(&f0r_get_plugin_info) get_plugin_info = nullptr;
    decltype(&f0r_get_param_info) get_param_info = nullptr;
    decltype(&f0r_construct) construct = nullptr;
    decltype(&f0r_destruct) destruct = nullptr;
    decltype(&f0r_set_param_value) set_param_value = nullptr;
    decltype(&f0r_get_param_value) get_param_value = nullptr;
    decltype(&f0r_update) update = nullptr;
    decltype(&f0r_update2) update2 = nullptr;

private:
    void *library_ = nullptr;
};

// One instance of the filter, destroyed with the object.
class FilterInstance {
public:
    FilterInstance(const Frei0rFilter &filter, unsigned width, unsigned height);
    ~FilterInstance();
    FilterInstance(const FilterInstance &) = delete;
    FilterInstance &operator=(const FilterInstance &) = delete;

    f0r_instance_t Get() const noexcept { return instance_; }
    unsigned Width() const noexcept { return width_; }
    unsigned Height() const noexcept { return height_; }

    void SetDouble(int index, double value) const;
    void SetColor(int index, float r, float g, float b) const;
    void SetPosition(int index, double x, double y) const;
    void SetString(int index, const char *text) const;
    double GetDouble(int index) const;
    f0r_param_color_t GetColor(int index) const;
    f0r_param_position_t GetPosition(int index) const;
    std::string GetString(int index) const;

    // A frame of RGBA bytes through f0r_update, into a separate output
    // frame that starts filled with fill.
    std::vector<uint8_t> Render(const std::vector<uint8_t> &rgba, uint8_t fill = 0) const;

    // Sets a parameter by the kind its index has: a double, or for a colour
    // the value for every channel, or for the blend mode the name at that
    // index of the five.
    void SetAny(int index, double value) const;

private:
    const Frei0rFilter &filter_;
    f0r_instance_t instance_ = nullptr;
    unsigned width_;
    unsigned height_;
};

// Parameter indices in the filter's order.
enum FilterParam : int {
    kCenterX = 0,
    kCenterY,
    kRadius,
    kFeather,
    kExpand,
    kOpacity,
    kScatter,
    kColor1,
    kColor2,
    kSmooth,
    kBlend,
    kNumParams
};

// Sets TIDALHALO_* variables for the instances made while it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const char *value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::string name_;
};

// width x height RGBA bytes of varied colour and every kind of alpha.
std::vector<uint8_t> NoisePicture(unsigned width, unsigned height, uint32_t seed);

}  // namespace tidalhalo::test
