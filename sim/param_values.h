// Parameter values as the host keeps them, and what a module declared about
// each of its parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace tidalhalo::sim {

// A value at a frame number (fractional frames allowed).
struct Keyframe {
    double frame = 0.0;
    double value = 0.0;
};

// A number over time: constant, or linear between keyframes and held
// before the first and after the last.
class Track {
public:
    Track() = default;
    Track(double constant) : keys_{{0.0, constant}} {}  // NOLINT: a constant reads naturally as a track
    static Track Keyed(std::vector<Keyframe> keys);  // sorted by frame here

    double At(double frame) const noexcept;
    // Integer parameters (checkbox, popup) step instead of sliding: the value
    // of the last keyframe at or before the frame.
    double HeldAt(double frame) const noexcept;
    bool Animated() const noexcept { return keys_.size() > 1; }

private:
    std::vector<Keyframe> keys_{{0.0, 0.0}};
};

// One parameter definition as the module handed it to add_param, with the
// strings behind its pointers copied.
struct ParamInfo {
    int32_t index = 0;  // position in the parameter list; 1 for the first added
    PF_ParamDef def{};  // the definition as received; its pointers are NOT kept valid
    std::string name;   // the name's bytes as given (GBK for this module)
    std::string label;  // checkbox: the bytes behind u.nameptr
    std::string choices_text;          // popup: the bytes behind u.namesptr
    std::vector<std::string> choices;  // popup: choices_text split at '|'
    bool label_was_null = false;       // checkbox or popup text pointer was null

    PF_ParamType Type() const noexcept { return def.param_type; }
    int32_t Id() const noexcept { return def.uu.id; }
};

// What a module declares about itself in About, GlobalSetup and ParamsSetup.
struct ModuleInfo {
    std::string about;  // return_msg after About, bytes as written
    uint32_t version = 0;
    int32_t out_flags = 0;
    int32_t out_flags2 = 0;
    int32_t num_params = 0;         // as the module reported it
    std::vector<ParamInfo> params;  // params[i] has index i + 1
};

}  // namespace tidalhalo::sim
