#include "cli/sheet_command.h"

#include <iterator>

#include "cli/atomic_file.h"
#include "cli/cli_error.h"
#include "cli/image_io.h"
#include "cli/exr_io.h"
#include "cli/module_path.h"
#include "cli/parallel_for.h"
#include "cli/render_command.h"
#include "cli/size_limit.h"

namespace tidalhalo::cli {
namespace {

constexpr const char *kDefaultOutput = "sheet.png";
constexpr int32_t kModes = static_cast<int32_t>(std::size(kBlendNames));

}  // namespace

int RunSheet(const Options &options) {
    const std::string output = options.output.value_or(kDefaultOutput);
    CheckWritable(output);
    OutputFormatOf(output);
    if (options.input) {
        CheckNotInput(output, *options.input);
    }
    const sim::PixelDepth depth = RenderDepth(options, options.input);

    ModuleHost host(options.module.value_or(DefaultModulePath()));
    host.ApplyEffectOptions(options);

    SetExrThreads(static_cast<int>(ThreadCount(options.threads)));
    int32_t full_width = 0, full_height = 0;
    const sim::Image source = LoadSource(options, options.input, depth, full_width, full_height);
    ApplySettings(host, options, full_width, full_height);
    host.Renderer().Settings().time.frame = options.frame.value_or(0);
    try {
        CheckPictureSize(output, int64_t{source.Width()} * kModes, source.Height());
    } catch (const CliError &e) {
        throw CliError(output, "the sheet's " + e.Reason() + "; use --downsample");
    }

    // Each mode renders straight into its panel of the sheet: a window of
    // the source's size onto the sheet's rows.
    sim::Image sheet(depth, source.Width() * kModes, source.Height());
    const sim::ImageView whole = sheet.View();
    for (int32_t mode = 1; mode <= kModes; ++mode) {
        const sim::ImageView panel = sim::Crop(whole, source.Width() * (mode - 1), 0, source.Width(), source.Height());
        host.SetBlend(mode);
        host.Render(source.View(), panel);
    }
    WriteImage(output, whole, PngWriting{options.compression, options.threads});
    return 0;
}

}  // namespace tidalhalo::cli
