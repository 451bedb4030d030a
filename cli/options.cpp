#include "cli/options.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "cli/cli_error.h"
#include "cli/keyframes.h"
#include "cli/values.h"

namespace tidalhalo::cli {
namespace {

// Which commands accept an option.
enum Use : unsigned { kRender = 1, kSheet = 2, kInfo = 4, kPicture = kRender | kSheet };

struct OptionEntry {
    std::string_view name;
    unsigned use;
    bool takes_value;
    std::function<void(Options &, const std::string &option, const std::string &value)> apply;
};

const char *CommandName(Command command) {
    switch (command) {
    case Command::Render: return "render";
    case Command::Sheet: return "sheet";
    case Command::Info: return "info";
    default: return "";
    }
}

unsigned UseOf(Command command) {
    switch (command) {
    case Command::Render: return kRender;
    case Command::Sheet: return kSheet;
    case Command::Info: return kInfo;
    default: return 0;
    }
}

bool IsPercent(const std::string &name) {
    return name == "expand" || name == "opacity";
}

int32_t ParseBlend(const std::string &option, const std::string &text) {
    for (std::size_t i = 0; i < std::size(kBlendNames); ++i) {
        if (text == kBlendNames[i] || text == std::to_string(i + 1)) {
            return static_cast<int32_t>(i + 1);
        }
    }
    throw CliError(option, "'" + text +
                               "' is not a blend mode (none, normal, add, stencil-multiply, "
                               "stencil-multiply-alpha)");
}

PngCompression ParseCompression(const std::string &option, const std::string &text) {
    constexpr std::pair<const char *, PngCompression> kNames[] = {
        {"fast", PngCompression::Fast}, {"default", PngCompression::Default}, {"small", PngCompression::Small}};
    for (const auto &[name, compression] : kNames) {
        if (text == name) {
            return compression;
        }
    }
    throw CliError(option, "'" + text + "' is not a compression (fast, default or small)");
}

FrameRange ParseFrames(const std::string &option, const std::string &text) {
    const std::size_t dash = text.find('-');
    if (dash != std::string::npos && (dash == 0 || dash + 1 == text.size())) {
        throw CliError(option, "'" + text + "' is not a frame N or a range A-B");
    }
    if (dash == std::string::npos) {
        const int32_t only = ParseInteger(option, text, 0, INT32_MAX);
        return {only, only};
    }
    const int32_t first = ParseInteger(option, text.substr(0, dash), 0, INT32_MAX);
    const int32_t last = ParseInteger(option, text.substr(dash + 1), 0, INT32_MAX);
    if (last < first) {
        throw CliError(option, "'" + text + "' ends before it starts");
    }
    return {first, last};
}

// X or X,Y: the proxy's factors across and down.
void ParseDownsample(Options &options, const std::string &option, const std::string &text) {
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos && (comma == 0 || comma + 1 == text.size())) {
        throw CliError(option, "'" + text + "' is not a factor X or a pair X,Y");
    }
    options.downsample_x = ParseInteger(option, text.substr(0, comma), 1, 64);
    options.downsample_y = comma == std::string::npos ? options.downsample_x
                                                      : ParseInteger(option, text.substr(comma + 1), 1, 64);
}

std::string FileName(const std::string &option, const std::string &text) {
    if (text.empty()) {
        throw CliError(option, "needs a file name, not an empty one");
    }
    return text;
}

// The host counts time in a 32-bit field, in units of the frame duration's
// denominator; every frame to render must fit.
void CheckFrameTime(const Options &options) {
    const int64_t last = options.frames ? options.frames->last : options.frame.value_or(0);
    if (last * int64_t{options.fps.den} > INT32_MAX) {
        throw CliError(options.frames ? "--frames" : "--frame",
                       "frame " + std::to_string(last) + " is beyond the host's time range at --fps " +
                           std::to_string(options.fps.num) + "/" + std::to_string(options.fps.den) +
                           " (the frame times " + std::to_string(options.fps.den) + " must be below 2^31)");
    }
}

std::vector<OptionEntry> OptionTable() {
    std::vector<OptionEntry> table = {
        {"output", kPicture, true, [](Options &o, auto &name, auto &v) { o.output = FileName(name, v); }},
        {"module", kPicture | kInfo, true, [](Options &o, auto &name, auto &v) { o.module = FileName(name, v); }},
        {"json", kInfo, false, [](Options &o, auto &, auto &) { o.json = true; }},
        {"depth", kPicture, true,
         [](Options &o, auto &name, auto &v) {
             if (v != "8" && v != "16" && v != "32") {
                 throw CliError(name, "'" + v + "' is not a depth (8, 16 or 32)");
             }
             o.depth = std::stoi(v);
         }},
        {"center", kPicture, true,
         [](Options &o, auto &name, auto &v) {
             if (!o.center) {
                 o.center.emplace();
             }
             AddPointValue(name, v, *o.center);
         }},
        {"color1", kPicture, true, [](Options &o, auto &name, auto &v) { o.color1 = ParseColor(name, v); }},
        {"color2", kPicture, true, [](Options &o, auto &name, auto &v) { o.color2 = ParseColor(name, v); }},
        {"smooth", kPicture, false, [](Options &o, auto &, auto &) { o.smooth = true; }},
        {"no-smooth", kPicture, false, [](Options &o, auto &, auto &) { o.smooth = false; }},
        {"blend", kRender, true, [](Options &o, auto &name, auto &v) { o.blend = ParseBlend(name, v); }},
        {"pixel-aspect", kPicture, true,
         [](Options &o, auto &name, auto &v) { o.pixel_aspect = ParseRatio(name, v); }},
        {"downsample", kPicture, true, [](Options &o, auto &name, auto &v) { ParseDownsample(o, name, v); }},
        {"threads", kPicture, true,
         [](Options &o, auto &name, auto &v) {
             o.threads = static_cast<unsigned>(ParseInteger(name, v, 0, 1024));
         }},
        {"compression", kPicture, true,
         [](Options &o, auto &name, auto &v) { o.compression = ParseCompression(name, v); }},
        {"frames", kRender, true, [](Options &o, auto &name, auto &v) { o.frames = ParseFrames(name, v); }},
        {"frame", kPicture, true,
         [](Options &o, auto &name, auto &v) { o.frame = ParseInteger(name, v, 0, INT32_MAX); }},
        {"fps", kRender, true,
         [](Options &o, auto &name, auto &v) {
             o.fps = ParseRatio(name, v);
             o.fps_given = true;
         }},
    };
    for (const SliderOption &slider : kSliderOptions) {
        const std::string name = slider.name;
        table.push_back({slider.name, kPicture, true, [name](Options &o, auto &option, auto &v) {
                             AddNumberValue(option, v, IsPercent(name), o.numbers[name]);
                         }});
    }
    return table;
}

Command CommandOf(const std::string &word) {
    if (word == "render") return Command::Render;
    if (word == "sheet") return Command::Sheet;
    if (word == "info") return Command::Info;
    if (word == "help" || word == "--help" || word == "-h") return Command::Help;
    if (word == "--version") return Command::Version;
    throw CliError(word, "unknown command (render, sheet, info or help)");
}

}  // namespace

Options ParseArguments(int argc, const char *const *argv) {
    Options options;
    if (argc < 2) {
        return options;
    }
    options.command = CommandOf(argv[1]);
    if (options.command == Command::Help) {
        if (argc > 2) {
            options.help_topic = CommandOf(argv[2]);
        }
        return options;
    }
    if (options.command == Command::Version) {
        return options;
    }

    const std::vector<OptionEntry> table = OptionTable();
    const unsigned use = UseOf(options.command);
    bool only_positional = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (only_positional || arg.size() < 2 || arg[0] != '-') {
            std::optional<std::string> &slot = options.command == Command::Info ? options.module
                                                                               : options.input;
            if (slot) {
                throw CliError(arg, "unexpected argument (one input at most)");
            }
            slot = FileName("''", arg);
            continue;
        }
        if (arg == "--") {
            only_positional = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            options.help_topic = options.command;
            options.command = Command::Help;
            return options;
        }
        std::string name;
        std::optional<std::string> value;
        if (arg == "-o") {
            name = "output";
        } else if (arg.rfind("--", 0) == 0) {
            const std::size_t equals = arg.find('=');
            name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            }
        } else {
            throw CliError(arg, "unknown option");
        }
        const std::string shown = arg == "-o" ? "-o" : "--" + name;
        const OptionEntry *known = nullptr;
        for (const OptionEntry &candidate : table) {
            if (candidate.name == name) {
                known = &candidate;
            }
        }
        if (known == nullptr) {
            throw CliError(shown, "unknown option");
        }
        if ((known->use & use) == 0) {
            throw CliError(shown, std::string("not an option of ") + CommandName(options.command));
        }
        if (known->takes_value && !value) {
            if (i + 1 >= argc) {
                throw CliError(shown, "needs a value");
            }
            value = argv[++i];
        } else if (!known->takes_value && value) {
            throw CliError(shown, "takes no value");
        }
        known->apply(options, shown, value.value_or(""));
    }

    if (options.frames && options.frame) {
        throw CliError("--frame", "cannot be combined with --frames");
    }
    CheckFrameTime(options);
    return options;
}

}  // namespace tidalhalo::cli
