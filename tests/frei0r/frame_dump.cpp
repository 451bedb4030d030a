// Renders a fixed set of frames through a built frei0r filter and writes
// their bytes to a file, so that the Windows filter under Wine and the Linux
// filter can be compared byte for byte: every blend mode, a ring kept from
// frame to frame, a ring that changes every frame, frames shaded in bands
// on several threads, and two instances rendering at the same time. With a
// reference file it also compares and names the first frame that differs.
//
//   frei0r_frame_dump FILTER OUTPUT [REFERENCE]
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/frame_file.h"
#include "tests/frei0r/filter_loader.h"

namespace {

using namespace tidalhalo::test;

constexpr const char *kBlends[] = {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha"};

void SetRing(const FilterInstance &instance, double shift, bool smooth) {
    instance.SetDouble(kCenterX, 0.35 + shift);
    instance.SetDouble(kCenterY, 0.55 - shift / 2.0);
    instance.SetDouble(kRadius, 0.21 + shift / 3.0);
    instance.SetDouble(kFeather, smooth ? 0.07 : 0.0);
    instance.SetDouble(kExpand, smooth ? 0.6 : 1.0);
    instance.SetDouble(kOpacity, 0.85);
    instance.SetDouble(kScatter, smooth ? 0.3 : 0.0);
    instance.SetColor(kColor1, 1.0f, 0.8f, 0.2f);
    instance.SetColor(kColor2, 0.1f, 0.3f, 0.9f);
    instance.SetDouble(kSmooth, smooth ? 1.0 : 0.0);
}

std::unique_ptr<FilterInstance> MakeInstance(const Frei0rFilter &filter, unsigned width, unsigned height,
                                             const char *cache, const char *threads) {
    const ScopedEnvironment cache_setting("TIDALHALO_RING_CACHE", cache);
    const ScopedEnvironment thread_setting("TIDALHALO_THREADS", threads);
    return std::make_unique<FilterInstance>(filter, width, height);
}

std::vector<NamedFrame> RenderFrames(const std::string &path) {
    const Frei0rFilter filter(path);
    std::vector<NamedFrame> frames;
    const auto add = [&frames](std::string name, std::vector<uint8_t> bytes) {
        frames.push_back({std::move(name), std::move(bytes)});
    };

    // Every mode, smooth with scatter and hard-edged, each twice: the second
    // frame of the same values is shaded from the kept ring.
    constexpr unsigned kWidth = 173, kHeight = 61;
    const std::vector<uint8_t> picture = NoisePicture(kWidth, kHeight, 7);
    for (const char *cache : {"1", "0"}) {
        const auto instance = MakeInstance(filter, kWidth, kHeight, cache, "1");
        for (bool smooth : {true, false}) {
            for (const char *blend : kBlends) {
                SetRing(*instance, 0.0, smooth);
                instance->SetString(kBlend, blend);
                for (int repeat = 0; repeat < 2; ++repeat) {
                    add(std::string("cache ") + cache + (smooth ? " smooth " : " hard ") + blend + " frame " +
                            std::to_string(repeat),
                        instance->Render(picture));
                }
            }
        }
    }

    // A ring that moves and grows every frame, shaded in bands on three threads.
    constexpr unsigned kBigWidth = 320, kBigHeight = 240;
    const std::vector<uint8_t> big = NoisePicture(kBigWidth, kBigHeight, 11);
    {
        const auto instance = MakeInstance(filter, kBigWidth, kBigHeight, "1", "3");
        instance->SetString(kBlend, "add");
        for (int frame = 0; frame < 6; ++frame) {
            SetRing(*instance, frame * 0.03, true);
            add("moving ring frame " + std::to_string(frame), instance->Render(big));
        }
    }

    // Two instances at the same time, each with its own ring.
    {
        const auto first = MakeInstance(filter, kBigWidth, kBigHeight, "1", "2");
        const auto second = MakeInstance(filter, kBigWidth, kBigHeight, "1", "2");
        SetRing(*first, 0.05, true);
        first->SetString(kBlend, "normal");
        SetRing(*second, -0.1, false);
        second->SetString(kBlend, "stencil-multiply-alpha");
        std::vector<std::vector<uint8_t>> first_frames(4), second_frames(4);
        std::thread other([&] {
            for (auto &frame : second_frames) frame = second->Render(big);
        });
        for (auto &frame : first_frames) frame = first->Render(big);
        other.join();
        for (std::size_t i = 0; i < first_frames.size(); ++i) {
            add("two instances, first, frame " + std::to_string(i), std::move(first_frames[i]));
            add("two instances, second, frame " + std::to_string(i), std::move(second_frames[i]));
        }
    }
    return frames;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: frei0r_frame_dump FILTER OUTPUT [REFERENCE]\n");
        return 2;
    }
    try {
        return WriteAndCompareFrames("frei0r_frame_dump", RenderFrames(argv[1]), argv[2], argc == 4 ? argv[3] : nullptr);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "frei0r_frame_dump: %s\n", error.what());
        return 1;
    }
}
