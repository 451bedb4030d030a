#include "cli/frame_pipeline.h"

#include <deque>
#include <exception>
#include <future>
#include <thread>

#include "cli/frame_queue.h"

namespace tidalhalo::cli {
namespace {

// Frames read, or encoded, at once: two keep two cores busy when reading
// (one stream that cannot be split) or encoding is the slowest stage.
constexpr std::size_t kFramesAtOnce = 2;
// Frames waiting between two stages: one is enough for them to overlap.
constexpr std::size_t kFramesWaiting = 1;

struct LoadedFrame {
    int32_t frame = 0;
    std::shared_ptr<const sim::Image> source;
    std::exception_ptr error;  // reading failed; delivered in its turn
};

struct RenderedFrame {
    int32_t frame = 0;
    std::shared_ptr<const sim::Image> image;
};

struct EncodingFrame {
    RenderedFrame rendered;
    std::future<std::vector<uint8_t>> encoded;
};

// Reads start up to kFramesAtOnce ahead and are handed on in order.
void ReadAhead(int64_t first, int64_t last, const FrameStages &stages, FrameQueue<LoadedFrame> &loaded) {
    std::deque<std::pair<int32_t, std::future<std::shared_ptr<const sim::Image>>>> reading;
    int64_t next = first;
    while (next <= last || !reading.empty()) {
        if (next <= last && reading.size() < kFramesAtOnce) {
            const auto frame = static_cast<int32_t>(next++);
            reading.emplace_back(frame, std::async(std::launch::async, stages.load, frame));
            continue;
        }
        LoadedFrame item{reading.front().first, nullptr, nullptr};
        try {
            item.source = reading.front().second.get();
        } catch (...) {
            item.error = std::current_exception();
        }
        reading.pop_front();
        const bool failed = item.error != nullptr;
        if (!loaded.Push(std::move(item)) || failed) {
            return;  // the reads still running are waited for
        }
    }
}

// Encodings run up to kFramesAtOnce at once and are written in order; a
// failure is thrown once the encodings still running have stopped.
void EncodeAndWrite(const FrameStages &stages, FrameQueue<RenderedFrame> &rendered) {
    std::deque<EncodingFrame> encoding;
    auto write_oldest = [&] {
        EncodingFrame oldest = std::move(encoding.front());
        encoding.pop_front();
        stages.commit(oldest.rendered.frame, *oldest.rendered.image, oldest.encoded.get());
    };
    while (std::optional<RenderedFrame> item = rendered.Pop()) {
        const std::shared_ptr<const sim::Image> image = item->image;
        const int32_t frame = item->frame;
        encoding.push_back(
            {std::move(*item), std::async(std::launch::async, [&stages, image, frame] { return stages.encode(frame, *image); })});
        if (encoding.size() == kFramesAtOnce) {
            write_oldest();
        }
    }
    while (!encoding.empty()) {
        write_oldest();
    }
}

}  // namespace

void RunFrames(int64_t first, int64_t last, const FrameStages &stages) {
    FrameQueue<LoadedFrame> loaded(kFramesWaiting);
    FrameQueue<RenderedFrame> rendered(kFramesWaiting);
    std::exception_ptr write_error;

    // A thread that cannot be started fails the range like a frame would.
    std::jthread reader([&] {
        try {
            ReadAhead(first, last, stages, loaded);
        } catch (...) {
            loaded.Push({0, nullptr, std::current_exception()});
        }
        loaded.Close();
    });
    std::jthread writer([&] {
        try {
            EncodeAndWrite(stages, rendered);
        } catch (...) {
            write_error = std::current_exception();
            rendered.Cancel();
            loaded.Cancel();
        }
    });
    std::exception_ptr render_error;
    try {
        while (std::optional<LoadedFrame> item = loaded.Pop()) {
            if (item->error) {
                std::rethrow_exception(item->error);
            }
            auto image = std::make_shared<const sim::Image>(stages.render(item->frame, *item->source));
            if (!rendered.Push({item->frame, std::move(image)})) {
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
