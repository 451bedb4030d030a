#include "cli/keyframes.h"

#include <algorithm>
#include <cstdint>

#include "cli/cli_error.h"
#include "cli/values.h"

namespace tidalhalo::cli {
namespace {

struct Split {
    std::string value;
    bool keyed = false;
    double frame = 0.0;
};

Split SplitKey(const std::string &option, const std::string &text) {
    const std::size_t at = text.find('@');
    if (at == std::string::npos) {
        return {text, false, 0.0};
    }
    const std::string quoted = "'" + text + "'";
    if (at == 0) {
        throw CliError(option, quoted + " has no value before '@' (write VALUE@FRAME)");
    }
    if (text.find('@', at + 1) != std::string::npos) {
        throw CliError(option, quoted + " has more than one '@' (write VALUE@FRAME)");
    }
    // A key's frame is a frame as --frame takes it.
    int32_t frame = 0;
    try {
        frame = ParseInteger(option, text.substr(at + 1), 0, INT32_MAX);
    } catch (const CliError &) {
        throw CliError(option, quoted + " needs a frame number from 0 to " + std::to_string(INT32_MAX) +
                                   " after '@' (write VALUE@FRAME)");
    }
    return {text.substr(0, at), true, static_cast<double>(frame)};
}

void AddKey(const std::string &option, const Split &key, double value, NumberSetting &setting) {
    if (!setting.keys.empty() && (!setting.keyed || !key.keyed)) {
        throw CliError(option, "given more than once; to animate it give every value as VALUE@FRAME");
    }
    const bool taken = std::any_of(setting.keys.begin(), setting.keys.end(),
                                   [&](const sim::Keyframe &k) { return k.frame == key.frame; });
    if (taken) {
        throw CliError(option, "two keyframes at frame " + FormatNumber(key.frame));
    }
    setting.keys.push_back({key.frame, value});
    setting.keyed = key.keyed;
    std::sort(setting.keys.begin(), setting.keys.end(),
              [](const sim::Keyframe &a, const sim::Keyframe &b) { return a.frame < b.frame; });
}

}  // namespace

void AddNumberValue(const std::string &option, const std::string &text, bool percent,
                    NumberSetting &setting) {
    const Split key = SplitKey(option, text);
    AddKey(option, key, ParseNumber(option, key.value, percent), setting);
}

void AddPointValue(const std::string &option, const std::string &text, PointSetting &setting) {
    const Split key = SplitKey(option, text);
    const std::size_t comma = key.value.find(',');
    if (comma == std::string::npos) {
        throw CliError(option, "'" + text + "' is not a point written X,Y");
    }
    double x = 0.0, y = 0.0;
    try {
        x = ParseNumber(option, key.value.substr(0, comma));
        y = ParseNumber(option, key.value.substr(comma + 1));
    } catch (const CliError &) {
        throw CliError(option, "'" + text + "' is not a point written X,Y");
    }
    AddKey(option, key, x, setting.x);
    AddKey(option, key, y, setting.y);
}

sim::Track TrackOf(const NumberSetting &setting) {
    if (!setting.keyed) {
        return sim::Track(setting.keys.front().value);
    }
    return sim::Track::Keyed(setting.keys);
}

}  // namespace tidalhalo::cli
