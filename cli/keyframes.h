// Animated option values. A number is either a constant ("--radius 120")
// or a set of keyframes, one VALUE@FRAME per occurrence of the option
// ("--radius 50@0 --radius 300@24"); between keys the value changes
// linearly, before the first and after the last it holds.
#pragma once

#include <string>

#include "cli/options.h"
#include "sim/param_values.h"

namespace tidalhalo::cli {

// Adds "VALUE" or "VALUE@FRAME" to a numeric setting. Throws CliError
// naming the option when the text is malformed, a constant is combined with
// another value, or two keys share a frame.
void AddNumberValue(const std::string &option, const std::string &text, bool percent,
                    NumberSetting &setting);

// Adds "X,Y" or "X,Y@FRAME" to a point setting, with the same rules.
void AddPointValue(const std::string &option, const std::string &text, PointSetting &setting);

// The track the host is given for a setting.
sim::Track TrackOf(const NumberSetting &setting);

}  // namespace tidalhalo::cli
