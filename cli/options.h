// The command line: which command, its input and output, and every option
// checked for form. Ranges that depend on the effect are checked later,
// against what the module declares.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/png_encode.h"
#include "host/host_types.h"
#include "sim/param_values.h"
#include "sim/sim_types.h"

namespace tidalhalo::cli {

enum class Command { Render, Sheet, Info, Help, Version };

// A numeric parameter as given: one constant (a single key at frame 0 with
// keyed false) or keyframes written VALUE@FRAME.
struct NumberSetting {
    std::vector<sim::Keyframe> keys;
    bool keyed = false;
};

struct PointSetting {
    NumberSetting x;
    NumberSetting y;
};

struct FrameRange {
    int32_t first = 0;
    int32_t last = 0;
};

struct Options {
    Command command = Command::Help;
    Command help_topic = Command::Help;  // for Help: the command asked about
    std::optional<std::string> module;
    std::optional<std::string> input;  // render, sheet: no input means the test card
    std::optional<std::string> output;
    bool json = false;  // info

    std::optional<int> depth;  // 8, 16 or 32
    std::optional<PointSetting> center;
    // radius, feather, expand, opacity, scatter: keyed by option name.
    std::map<std::string, NumberSetting> numbers;
    std::optional<PF_Pixel> color1;
    std::optional<PF_Pixel> color2;
    std::optional<bool> smooth;
    std::optional<int32_t> blend;  // popup value, from 1

    sim::Rational pixel_aspect{1, 1};
    int32_t downsample_x = 1;  // a proxy render at 1/x by 1/y
    int32_t downsample_y = 1;
    unsigned threads = 0;  // 0: all cores
    PngCompression compression = PngCompression::Default;
    std::optional<FrameRange> frames;
    std::optional<int32_t> frame;
    sim::Rational fps{24, 1};
    bool fps_given = false;
};

// The slider options in the order of the effect's parameters, each with the
// identifier under which the effect declares its parameter.
struct SliderOption {
    const char *name;
    int32_t id;
};
inline constexpr SliderOption kSliderOptions[] = {
    {"radius", 1764}, {"feather", 3205}, {"expand", 3092}, {"opacity", 4108}, {"scatter", 1}};
inline constexpr int32_t kCenterId = 1556;
inline constexpr int32_t kColor1Id = 261;
inline constexpr int32_t kColor2Id = 258;
inline constexpr int32_t kSmoothId = 802;
inline constexpr int32_t kBlendId = 3454;

// The blend modes' option names in the popup's order (value 1 first).
inline constexpr const char *kBlendNames[] = {"none", "normal", "add", "stencil-multiply",
                                              "stencil-multiply-alpha"};

// Parses argv[1..]; throws CliError naming the option or argument at fault.
Options ParseArguments(int argc, const char *const *argv);

}  // namespace tidalhalo::cli
