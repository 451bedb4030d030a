// Renders a fixed set of frames through an OpenFX bundle binary with our
// test host and writes their bytes to a file, so that the Win64 bundle under
// Wine and the Linux bundle can be compared byte for byte. With a reference
// file it also compares and names the first frame and byte that differ.
//
//   ofx_frame_dump BINARY OUTPUT [REFERENCE]
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tests/common/frame_file.h"
#include "tests/openfx/ofx_pictures.h"

namespace {

using namespace tidalhalo::ofxtest;

constexpr OfxRectI BOUNDS{0, 0, 101, 67};

std::vector<tidalhalo::test::NamedFrame> RenderFrames(const std::string &binary) {
    HostOptions options;
    options.cpus = 3;
    TestHost host(binary, options);
    if (host.Load() != kOfxStatOK || host.Describe() != kOfxStatOK || host.DescribeInContext() != kOfxStatOK) {
        throw std::runtime_error("the bundle did not load and describe");
    }
    const RingSetting settings[] = {
        {50, 30, 30, 6, 60, 90, 25, {1.0, 0.8, 0.2}, {0.1, 0.3, 0.9}, true},
        {-20, 80, 70, 40, 35, 50, 512, {0.7, 0.6, 0.2}, {0.1, 0.3, 0.9}, false},
    };
    const double scales[] = {1.0, 0.5};
    // Each source premultiplication: the noise's colours above their
    // alphas are what a premultiplied host must never send, and are held.
    const char *const states[] = {kOfxImageUnPreMultiplied, kOfxImagePreMultiplied, kOfxImageOpaque};
    std::vector<tidalhalo::test::NamedFrame> frames;
    for (double scale : scales) {
        for (const char *state : states) {
            const OfxRectD rod{0, 0, BOUNDS.x2 / scale * 2.0, BOUNDS.y2 / scale};
            Effect *instance = host.CreateInstance(rod, 2.0, state);
            for (const char *depth : kDepths) {
                HostImage source = HostImage::Make(depth, BOUNDS, 4, false);
                FillImage(source, NoiseSamples(BOUNDS.x2, BOUNDS.y2, 3), BOUNDS.x2);
                for (std::size_t s = 0; s < std::size(settings); ++s) {
                    for (int blend = 0; blend < 5; ++blend) {
                        ApplySetting(host, *instance, settings[s], blend);
                        HostImage output = HostImage::Make(depth, BOUNDS, 0, true);
                        if (host.Render(*instance, {0.0, scale, scale, BOUNDS}, &source, &output) != kOfxStatOK) {
                            throw std::runtime_error("a render failed");
                        }
                        frames.push_back({std::string(depth) + " " + state + " scale " + std::to_string(scale) +
                                              " setting " + std::to_string(s) + " blend " + std::to_string(blend),
                                          WindowBytes(output, BOUNDS)});
                    }
                }
            }
        }
    }
    if (!host.Breaches().empty()) {
        throw std::runtime_error("contract breach: " + host.Breaches()[0]);
    }
    return frames;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: ofx_frame_dump BINARY OUTPUT [REFERENCE]\n");
        return 2;
    }
    try {
        return tidalhalo::test::WriteAndCompareFrames("ofx_frame_dump", RenderFrames(argv[1]), argv[2],
                                                      argc == 4 ? argv[3] : nullptr);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "ofx_frame_dump: %s\n", error.what());
        return 1;
    }
}
