#include "cli/render_command.h"

#include <thread>

#include "cli/cli_error.h"
#include "cli/exr_io.h"
#include "cli/frame_pattern.h"
#include "cli/image_io.h"
#include "cli/atomic_file.h"
#include "cli/module_path.h"
#include "cli/progress.h"
#include "cli/test_card.h"

namespace tidalhalo::cli {
namespace {

constexpr const char *kDefaultOutput = "halo.png";

}  // namespace

sim::PixelDepth RenderDepth(const Options &options, const std::optional<std::string> &first_input) {
    if (options.depth) {
        return *options.depth == 8 ? sim::PixelDepth::Eight
               : *options.depth == 16 ? sim::PixelDepth::Sixteen
                                      : sim::PixelDepth::Float;
    }
    return first_input ? NaturalDepthOf(*first_input) : sim::PixelDepth::Eight;
}

sim::Image LoadSource(const Options &options, const std::optional<std::string> &input, sim::PixelDepth depth,
                      int32_t &full_width, int32_t &full_height) {
    sim::Image full = input ? ReadImage(*input, depth) : MakeTestCard(depth);
    full_width = full.Width();
    full_height = full.Height();
    if (options.downsample_x == 1 && options.downsample_y == 1) {
        return full;
    }
    return sim::DownsampleNearest(full.View(), {1, static_cast<uint32_t>(options.downsample_x)},
                                  {1, static_cast<uint32_t>(options.downsample_y)});
}

void ApplySettings(ModuleHost &host, const Options &options, int32_t full_width, int32_t full_height) {
    sim::RenderSettings &settings = host.Renderer().Settings();
    settings.pixel_aspect = options.pixel_aspect;
    settings.downsample_x = {1, static_cast<uint32_t>(options.downsample_x)};
    settings.downsample_y = {1, static_cast<uint32_t>(options.downsample_y)};
    settings.threads = options.threads;
    settings.time.fps_num = static_cast<uint32_t>(options.fps.num);
    settings.time.fps_den = options.fps.den;
    settings.full_width = full_width;
    settings.full_height = full_height;
    const unsigned cores = std::thread::hardware_concurrency();
    SetExrThreads(static_cast<int>(options.threads != 0 ? options.threads : (cores != 0 ? cores : 1)));
}

int RunRender(const Options &options) {
    const std::string output = options.output.value_or(kDefaultOutput);
    FrameRange frames{options.frame.value_or(0), options.frame.value_or(0)};
    if (options.frames) {
        frames = *options.frames;
    }
    CheckWritable(FrameFileName(output, frames.first));
    OutputFormatOf(output);
    if (frames.last > frames.first && !HasFramePattern(output)) {
        throw CliError(output, "a frame range needs an output name with # for the frame number, "
                               "such as halo_####.png");
    }

    const bool input_sequence = options.input && HasFramePattern(*options.input);
    std::optional<std::string> first_input = options.input;
    if (input_sequence) {
        first_input = FrameFileName(*options.input, frames.first);
    }
    // No frame may overwrite an input, checked before any frame is written.
    if (options.input) {
        for (int64_t frame = frames.first; frame <= frames.last; ++frame) {
            const auto number = static_cast<int32_t>(frame);
            CheckNotInput(FrameFileName(output, number), FrameFileName(*options.input, number));
        }
    }
    const sim::PixelDepth depth = RenderDepth(options, first_input);

    ModuleHost host(options.module.value_or(DefaultModulePath()));
    host.ApplyEffectOptions(options);

    int32_t full_width = 0, full_height = 0;
    sim::Image source = LoadSource(options, first_input, depth, full_width, full_height);
    ApplySettings(host, options, full_width, full_height);
    sim::Image destination(depth, source.Width(), source.Height());

    Progress progress(int64_t{frames.last} - frames.first + 1);
    // Counted in 64 bits: the last frame may be the largest 32-bit number.
    for (int64_t next = frames.first; next <= frames.last; ++next) {
        const auto frame = static_cast<int32_t>(next);
        if (input_sequence && frame != frames.first) {
            source = LoadSource(options, FrameFileName(*options.input, frame), depth, full_width, full_height);
            if (source.Width() != destination.Width() || source.Height() != destination.Height()) {
                throw CliError(FrameFileName(*options.input, frame), "differs in size from the first frame");
            }
        }
        host.Renderer().Settings().time.frame = frame;
        host.Render(source.View(), destination.View());
        WriteImage(FrameFileName(output, frame), destination.View());
        progress.Done(frame);
    }
    return 0;
}

}  // namespace tidalhalo::cli
