// tidalhalo render: the effect onto a picture, the test card or a frame
// range. The pieces shared with the sheet are declared here too.
#pragma once

#include <optional>
#include <string>

#include "cli/module_host.h"
#include "cli/options.h"
#include "sim/image.h"

namespace tidalhalo::cli {

// Renders as the options say; returns the exit status. Throws CliError.
int RunRender(const Options &options);

// The depth to render at: --depth, else the input's own, else 8.
sim::PixelDepth RenderDepth(const Options &options, const std::optional<std::string> &first_input);

// The picture the effect is given for one frame: the input file (or the
// test card) at the render depth, point-sampled to the proxy size.
sim::Image LoadSource(const Options &options, const std::optional<std::string> &input, sim::PixelDepth depth,
                      int32_t &full_width, int32_t &full_height);

// Pixel aspect, downsample, threads, frame rate and layer size for the host.
void ApplySettings(ModuleHost &host, const Options &options, int32_t full_width, int32_t full_height);

}  // namespace tidalhalo::cli
