// Settings, time and error types shared by the host and the frame renderer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "host/host_types.h"

namespace tidalhalo::sim {

// How strictly the host treats a module that breaks its side of the contract.
enum class Strictness {
    Off,   // not checked
    Warn,  // written to stderr, the frame goes on
    Fail   // the command that broke it throws ContractViolation
};

struct Rational {
    int32_t num = 1;
    uint32_t den = 1;
};

// A frame of a sequence: current_time = frame × fps_den on a time_scale of
// fps_num, with a time_step of fps_den (30 fps: scale 30, step 1; 29.97 fps:
// 30000 and 1001).
struct FrameTime {
    int32_t frame = 0;
    uint32_t fps_num = 30;
    uint32_t fps_den = 1;
};

struct RenderSettings {
    Rational pixel_aspect{1, 1};
    Rational downsample_x{1, 1};
    Rational downsample_y{1, 1};
    unsigned threads = 0;  // 0: all cores
    FrameTime time;
    // The layer's size at full resolution, reported to the module; 0 means
    // the source size divided by the downsample factor, rounded up.
    int32_t full_width = 0;
    int32_t full_height = 0;
};

// A module file that cannot be loaded: missing, not a module, or without
// the entry point. The message says which.
class ModuleLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command that the module answered with a non-zero PF_Err. The message
// includes the command, the code and the module's return_msg if it set one.
class RenderError : public std::runtime_error {
public:
    RenderError(const std::string &what, PF_Err code) : std::runtime_error(what), code_(code) {}
    PF_Err Code() const noexcept { return code_; }

private:
    PF_Err code_;
};

// The module broke its side of the contract (at Strictness::Fail).
class ContractViolation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tidalhalo::sim
