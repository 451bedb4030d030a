#include "cli/module_host.h"

#include <filesystem>

#include "cli/cli_error.h"
#include "cli/keyframes.h"
#include "cli/module_path.h"
#include "cli/values.h"

namespace tidalhalo::cli {
namespace {

// A point reaches the module as 16.16 fixed point, so its coordinates must
// lie within what that can hold.
constexpr double kPointLimit = 32767.0;

void CheckRange(const std::string &option, const NumberSetting &setting, double min, double max,
                const char *unit) {
    for (const sim::Keyframe &key : setting.keys) {
        if (key.value < min || key.value > max) {
            throw CliError(option, FormatNumber(key.value) + " is outside the valid range " + FormatNumber(min) +
                                       unit + " to " + FormatNumber(max) + unit);
        }
    }
}

// The loader's messages name the file; the tool's line already starts with it.
std::string WithoutPath(std::string message, const std::string &path) {
    for (std::size_t at = message.find(": " + path); at != std::string::npos; at = message.find(": " + path)) {
        message.erase(at, path.size() + 2);
    }
    return message;
}

}  // namespace

ModuleHost::ModuleHost(const std::string &path) : path_(path) {
    if (IsWindowsModule(path)) {
        throw CliError(path, "is a Windows module; this tool runs native modules (tidalhalo info reads it)");
    }
    try {
        // An absolute path, so the loader never searches the library path
        // for a bare file name.
        renderer_ = std::make_unique<sim::FrameRenderer>(std::filesystem::absolute(path).string());
    } catch (const sim::ModuleLoadError &e) {
        throw CliError(path, WithoutPath(e.what(), std::filesystem::absolute(path).string()));
    } catch (const std::exception &e) {
        throw CliError(path, std::string("set-up failed: ") + e.what());
    }
}

const sim::ParamInfo &ModuleHost::Param(int32_t id, PF_ParamType type) const {
    for (const sim::ParamInfo &param : renderer_->Info().params) {
        if (param.Id() == id) {
            if (param.Type() != type) {
                throw CliError(path_, "parameter " + std::to_string(id) + " has an unexpected type");
            }
            return param;
        }
    }
    throw CliError(path_, "declares no parameter with identifier " + std::to_string(id));
}

void ModuleHost::ApplyEffectOptions(const Options &options) {
    for (const SliderOption &slider : kSliderOptions) {
        const auto found = options.numbers.find(slider.name);
        if (found == options.numbers.end()) {
            continue;
        }
        const sim::ParamInfo &param = Param(slider.id, PF_Param_FLOAT_SLIDER);
        const PF_FloatSliderDef &def = param.def.u.fs_d;
        const char *unit = def.display_flags == PF_ValueDisplayFlag_PERCENT ? "%" : "";
        CheckRange(std::string("--") + slider.name, found->second, def.valid_min, def.valid_max, unit);
        renderer_->SetNumber(param.index, TrackOf(found->second));
    }
    if (options.center) {
        const sim::ParamInfo &param = Param(kCenterId, PF_Param_POINT);
        CheckRange("--center", options.center->x, -kPointLimit, kPointLimit, "");
        CheckRange("--center", options.center->y, -kPointLimit, kPointLimit, "");
        renderer_->SetPoint(param.index, TrackOf(options.center->x), TrackOf(options.center->y));
    }
    if (options.color1) {
        renderer_->SetColor(Param(kColor1Id, PF_Param_COLOR).index, *options.color1);
    }
    if (options.color2) {
        renderer_->SetColor(Param(kColor2Id, PF_Param_COLOR).index, *options.color2);
    }
    if (options.smooth) {
        renderer_->SetNumber(Param(kSmoothId, PF_Param_CHECKBOX).index, *options.smooth ? 1.0 : 0.0);
    }
    if (options.blend) {
        SetBlend(*options.blend);
    }
}

void ModuleHost::SetBlend(int32_t value) {
    const sim::ParamInfo &param = Param(kBlendId, PF_Param_POPUP);
    if (value < 1 || value > param.def.u.pd.num_choices) {
        throw CliError("--blend", std::to_string(value) + " is outside the module's choices 1 to " +
                                      std::to_string(param.def.u.pd.num_choices));
    }
    renderer_->SetNumber(param.index, value);
}

void ModuleHost::Render(const sim::ImageView &source, const sim::ImageView &destination) {
    try {
        renderer_->Render(source, destination);
    } catch (const std::exception &e) {
        throw CliError(path_, std::string("render failed: ") + e.what());
    }
}

}  // namespace tidalhalo::cli
