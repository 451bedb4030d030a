// Renders frames of an effect module through our own host: the one API the
// command-line tool and the benchmarks use.
//
//   FrameRenderer renderer("build/native/Kv_Tidalhalo.so");
//   renderer.SetNumber(RING_RADIUS, 200.0);
//   renderer.SetPoint(RING_CENTER, 960.0, 540.0);
//   renderer.Settings().threads = 4;
//   renderer.Render(source.View(), destination.View());
//
// Construction loads the module and runs GlobalSetup, ParamsSetup and About.
// Every frame then runs the pre-render and the render commands. Source and
// destination are used in place: no whole-buffer copy is made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host_interface.h"
#include "sim/image.h"
#include "sim/param_values.h"
#include "sim/sim_types.h"

namespace tidalhalo::sim {

class SimHost;

class FrameRenderer {
public:
    // Loads the module and reads its declarations; throws ModuleLoadError,
    // or RenderError when one of the set-up commands fails.
    explicit FrameRenderer(const std::string &module_path, Strictness strictness = Strictness::Warn);
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer &) = delete;
    FrameRenderer &operator=(const FrameRenderer &) = delete;

    const ModuleInfo &Info() const noexcept;

    // Parameter values by index (1 = the first parameter the module added).
    // Until set, a parameter holds the default it was declared with. Throw
    // std::out_of_range for an index the module did not declare and
    // std::invalid_argument for a setter that does not fit its type.
    void SetNumber(int32_t index, const Track &value);  // slider, checkbox (0/1), popup (from 1)
    // A point in layer pixels at full resolution; the host hands the module
    // the position in the pixels of the frame being rendered.
    void SetPoint(int32_t index, const Track &x, const Track &y);
    void SetColor(int32_t index, PF_Pixel color);
    void ResetParams();  // every parameter back to its default

    RenderSettings &Settings() noexcept;

    // Renders one frame. source is the input layer at the frame's
    // resolution (already downsampled by the caller); destination has the
    // same depth and size and receives the whole frame. Throws RenderError
    // with the module's code, ContractViolation, or std::invalid_argument
    // for mismatched images.
    void Render(const ImageView &source, const ImageView &destination);
    // Renders only the region (in layer pixels of the frame) and writes only
    // those pixels of destination.
    void Render(const ImageView &source, const ImageView &destination, const PF_LRect &region);

    // The host underneath, for tests that want its call record.
    SimHost &Host() noexcept;

private:
    std::unique_ptr<SimHost> host_;
};

// Point-sampled proxy: pixel (x, y) of the result is the source pixel at
// (floor(x ÷ sx), floor(y ÷ sy)) where sx, sy are the factors; the result
// is ceil(width × sx) by ceil(height × sy). Factors must lie in (0, 1].
Image DownsampleNearest(const ImageView &full, Rational factor_x, Rational factor_y);

}  // namespace tidalhalo::sim
