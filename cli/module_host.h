// The effect module as the tool uses it: loaded through our own host,
// its parameters found by the identifiers it declares, and the user's
// options checked against the ranges it declares before they are set.
#pragma once

#include <memory>
#include <string>

#include "cli/options.h"
#include "sim/frame_renderer.h"

namespace tidalhalo::cli {

class ModuleHost {
public:
    // Loads the module; throws CliError naming the path when it cannot.
    explicit ModuleHost(const std::string &path);

    sim::FrameRenderer &Renderer() noexcept { return *renderer_; }

    // Checks every effect option against the module's declared ranges and
    // sets it; throws CliError naming the option and its range.
    void ApplyEffectOptions(const Options &options);

    // Sets the blend-mode popup (values from 1).
    void SetBlend(int32_t value);

    // Renders one frame; throws CliError naming the module on failure.
    void Render(const sim::ImageView &source, const sim::ImageView &destination);

private:
    // The declared parameter with this identifier, which must have the
    // expected type; throws CliError naming the module otherwise.
    const sim::ParamInfo &Param(int32_t id, PF_ParamType type) const;

    std::string path_;
    std::unique_ptr<sim::FrameRenderer> renderer_;
};

}  // namespace tidalhalo::cli
