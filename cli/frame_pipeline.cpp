#include "cli/frame_pipeline.h"

#include <exception>
#include <thread>

#include "cli/frame_queue.h"

namespace tidalhalo::cli {
namespace {

// Frames waiting between two stages: one is enough for the stages to
// overlap, and each stage holds one more of its own.
constexpr std::size_t kFramesWaiting = 1;

struct LoadedFrame {
    int32_t frame = 0;
    std::shared_ptr<const sim::Image> source;
    std::exception_ptr error;  // reading failed; delivered in its turn
};

struct RenderedFrame {
    int32_t frame = 0;
    sim::Image image;
};

}  // namespace

void RunFrames(int64_t first, int64_t last, const FrameStages &stages) {
    FrameQueue<LoadedFrame> loaded(kFramesWaiting);
    FrameQueue<RenderedFrame> rendered(kFramesWaiting);
    std::exception_ptr write_error;

    std::jthread reader([&] {
        for (int64_t next = first; next <= last; ++next) {
            LoadedFrame item{static_cast<int32_t>(next), nullptr, nullptr};
            try {
                item.source = stages.load(item.frame);
            } catch (...) {
                item.error = std::current_exception();
            }
            const bool failed = item.error != nullptr;
            if (!loaded.Push(std::move(item)) || failed) {
                break;
            }
        }
        loaded.Close();
    });
    std::jthread writer([&] {
        while (std::optional<RenderedFrame> item = rendered.Pop()) {
            try {
                stages.write(item->frame, item->image);
            } catch (...) {
                write_error = std::current_exception();
                rendered.Cancel();
                loaded.Cancel();
            }
        }
    });

    std::exception_ptr render_error;
    try {
        while (std::optional<LoadedFrame> item = loaded.Pop()) {
            if (item->error) {
                std::rethrow_exception(item->error);
            }
            RenderedFrame done{item->frame, stages.render(item->frame, *item->source)};
            if (!rendered.Push(std::move(done))) {
                break;
            }
        }
    } catch (...) {
        render_error = std::current_exception();
    }
    // The reader stops where it is; the writer finishes every frame before
    // the failure, which is the earliest one.
    loaded.Cancel();
    rendered.Close();
    reader.join();
    writer.join();
    if (write_error) {
        std::rethrow_exception(write_error);
    }
    if (render_error) {
        std::rethrow_exception(render_error);
    }
}

}  // namespace tidalhalo::cli
