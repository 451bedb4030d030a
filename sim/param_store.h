// The host's side of the parameters: the definitions a module added in
// ParamsSetup, and the value of each at any time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_interface.h"
#include "sim/param_values.h"

namespace tidalhalo::sim {

// What turns a stored value into the value handed to the module for a frame.
struct FrameScale {
    double frame = 0.0;  // the frame number the module asked for
    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    int32_t full_width = 0;  // the layer at full resolution
    int32_t full_height = 0;
};

class ParamStore {
public:
    // Forgets every definition and value.
    void Clear() noexcept;
    // Keeps a deep copy of def as the next parameter; returns its entry.
    const ParamInfo &Capture(const PF_ParamDef &def);
    const std::vector<ParamInfo> &Declared() const noexcept { return declared_; }

    // Setters by index (1 = first declared); see FrameRenderer.
    void SetNumber(int32_t index, const Track &value);
    void SetPoint(int32_t index, const Track &x, const Track &y);
    void SetColor(int32_t index, PF_Pixel color);
    void Reset();

    // The value of index for a frame, as a checkout hands it over. Index 0
    // is the input layer. False for an index outside the list.
    bool ValueAt(int32_t index, const FrameScale &scale, PF_ParamDef &out) const noexcept;

private:
    struct Value {
        Track number;
        bool point_set = false;
        Track x;  // full-resolution layer pixels
        Track y;
        PF_Pixel color{};
    };
    const ParamInfo &Info(int32_t index) const;  // throws std::out_of_range
    Value &ValueOf(int32_t index);

    std::vector<ParamInfo> declared_;
    std::vector<Value> values_;
};

// value × num ÷ den as 16.16 fixed point, rounded to nearest and held
// within the 32-bit range.
PF_Fixed ScaledFixed(double value, PF_RationalScale scale) noexcept;

}  // namespace tidalhalo::sim
