// Frame ranges on three threads: frames are written in order, a failure
// stops the range where one frame after the other would stop, and only a
// few frames are ever in flight.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "cli/frame_pipeline.h"

namespace tidalhalo::test {
namespace {

// A frame's picture carries its number, so the stages can check it.
struct Recorder {
    std::atomic<int> loaded{0};
    std::atomic<int> rendered{0};
    std::atomic<int> most_ahead{0};  // frames loaded but not yet written
    std::mutex mutex;
    std::vector<int32_t> written;

    cli::FrameStages Stages(int32_t fail_load = -1, int32_t fail_render = -1, int32_t fail_encode = -1,
                           int32_t fail_write = -1) {
        cli::FrameStages stages;
        stages.load = [=, this](int32_t frame) {
            if (frame == fail_load) {
                throw std::runtime_error("load");
            }
            auto image = std::make_shared<sim::Image>(sim::PixelDepth::Eight, 4, 2);
            image->PixelAt<PF_Pixel>(0, 0)->red = static_cast<uint8_t>(frame);
            const int ahead = ++loaded - Written();
            for (int seen = most_ahead; ahead > seen && !most_ahead.compare_exchange_weak(seen, ahead);) {
            }
            return std::shared_ptr<const sim::Image>(image);
        };
        stages.render = [=, this](int32_t frame, const sim::Image &source) {
            if (frame == fail_render) {
                throw std::runtime_error("render");
            }
            ++rendered;
            sim::Image out(source);
            out.PixelAt<PF_Pixel>(0, 0)->green = static_cast<uint8_t>(frame);
            return out;
        };
        stages.encode = [=](int32_t frame, const sim::Image &image) {
            if (frame == fail_encode) {
                throw std::runtime_error("encode");
            }
            const PF_Pixel p = *image.PixelAt<PF_Pixel>(0, 0);
            return std::vector<uint8_t>{p.red, p.green};
        };
        stages.commit = [=, this](int32_t frame, const sim::Image &, const std::vector<uint8_t> &encoded) {
            if (frame == fail_write) {
                throw std::runtime_error("write");
            }
            ASSERT_EQ(encoded, (std::vector<uint8_t>{static_cast<uint8_t>(frame), static_cast<uint8_t>(frame)}));
            const std::lock_guard<std::mutex> lock(mutex);
            written.push_back(frame);
        };
        return stages;
    }

    int Written() {
        const std::lock_guard<std::mutex> lock(mutex);
        return static_cast<int>(written.size());
    }
};

std::vector<int32_t> Frames(int32_t first, int32_t last) {
    std::vector<int32_t> frames;
    for (int64_t f = first; f <= last; ++f) {
        frames.push_back(static_cast<int32_t>(f));
    }
    return frames;
}

std::string FailureOf(int64_t first, int64_t last, const cli::FrameStages &stages) {
    try {
        cli::RunFrames(first, last, stages);
    } catch (const std::runtime_error &e) {
        return e.what();
    }
    return "";
}

TEST(FramePipeline, WritesEveryFrameInOrderWithFewInFlight) {
    Recorder recorder;
    cli::RunFrames(10, 209, recorder.Stages());
    EXPECT_EQ(recorder.written, Frames(10, 209));
    // Two reading, one waiting, one rendering, one waiting, two encoding.
    EXPECT_LE(recorder.most_ahead, 7);
}

TEST(FramePipeline, TheLastFrameMayBeTheLargestNumber) {
    Recorder recorder;
    cli::RunFrames(INT32_MAX - 2, INT32_MAX, recorder.Stages());
    EXPECT_EQ(recorder.written, Frames(INT32_MAX - 2, INT32_MAX));
}

TEST(FramePipeline, AFailureStopsTheRangeWhereOneByOneWould) {
    {
        Recorder recorder;
        EXPECT_EQ(FailureOf(0, 99, recorder.Stages(30)), "load");
        EXPECT_EQ(recorder.written, Frames(0, 29));
    }
    {
        Recorder recorder;
        EXPECT_EQ(FailureOf(0, 99, recorder.Stages(-1, 30)), "render");
        EXPECT_EQ(recorder.written, Frames(0, 29));
    }
    {
        Recorder recorder;
        EXPECT_EQ(FailureOf(0, 99, recorder.Stages(-1, -1, 30)), "encode");
        EXPECT_EQ(recorder.written, Frames(0, 29));
    }
    {
        Recorder recorder;
        EXPECT_EQ(FailureOf(0, 99, recorder.Stages(-1, -1, -1, 30)), "write");
        EXPECT_EQ(recorder.written, Frames(0, 29));
        EXPECT_LE(recorder.rendered, 36);  // the range stopped soon after
    }
    {
        // A write failing before a later render fails is the one reported.
        Recorder recorder;
        EXPECT_EQ(FailureOf(0, 99, recorder.Stages(-1, 3, -1, 2)), "write");
        EXPECT_EQ(recorder.written, Frames(0, 1));
    }
}

}  // namespace
}  // namespace tidalhalo::test
