#include "cli/render_command.h"

#include <memory>

#include "cli/cli_error.h"
#include "cli/exr_io.h"
#include "cli/frame_pattern.h"
#include "cli/frame_pipeline.h"
#include "cli/image_io.h"
#include "cli/atomic_file.h"
#include "cli/module_path.h"
#include "cli/parallel_for.h"
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

    SetExrThreads(static_cast<int>(ThreadCount(options.threads)));
    int32_t full_width = 0, full_height = 0;
    const auto first_source =
        std::make_shared<const sim::Image>(LoadSource(options, first_input, depth, full_width, full_height));
    ApplySettings(host, options, full_width, full_height);

    FrameStages stages;
    stages.load = [&](int32_t frame) {
        if (!input_sequence || frame == frames.first) {
            return first_source;
        }
        const std::string input = FrameFileName(*options.input, frame);
        int32_t width = 0, height = 0;
        auto source = std::make_shared<const sim::Image>(LoadSource(options, input, depth, width, height));
        if (source->Width() != first_source->Width() || source->Height() != first_source->Height()) {
            throw CliError(input, "differs in size from the first frame");
        }
        return source;
    };
    stages.render = [&](int32_t frame, const sim::Image &source) {
        sim::Image destination(depth, source.Width(), source.Height());
        host.Renderer().Settings().time.frame = frame;
        host.Render(source.View(), destination.View());
        return destination;
    };
    Progress progress(int64_t{frames.last} - frames.first + 1);
    const PngWriting png{options.compression, options.threads};
    stages.encode = [&](int32_t frame, const sim::Image &image) {
        return EncodeImage(FrameFileName(output, frame), image.View(), png);
    };
    stages.commit = [&](int32_t frame, const sim::Image &image, const std::vector<uint8_t> &encoded) {
        CommitImage(FrameFileName(output, frame), image.View(), encoded);
        progress.Done(frame);
    };
    RunFrames(frames.first, frames.last, stages);
    return 0;
}

}  // namespace tidalhalo::cli
