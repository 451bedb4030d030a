#include "sim/frame_renderer.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_host.h"

namespace tidalhalo::sim {
namespace {

void Require(PF_Err code, const char *command) {
    if (code != PF_Err_NONE) {
        throw RenderError(std::string(command) + " failed with error " + std::to_string(code), code);
    }
}

// ceil(size × num ÷ den), at least 1 for a non-empty size.
int32_t ScaledSize(int32_t size, Rational factor) {
    const int64_t num = factor.num;
    const int64_t den = factor.den;
    return static_cast<int32_t>((static_cast<int64_t>(size) * num + den - 1) / den);
}

}  // namespace

FrameRenderer::FrameRenderer(const std::string &module_path, Strictness strictness)
    : host_(std::make_unique<SimHost>(module_path, strictness)) {
    Require(host_->GlobalSetup(), "GlobalSetup");
    Require(host_->ParamsSetup(), "ParamsSetup");
    Require(host_->About(), "About");
}

FrameRenderer::~FrameRenderer() = default;

const ModuleInfo &FrameRenderer::Info() const noexcept { return host_->Info(); }

void FrameRenderer::SetNumber(int32_t index, const Track &value) { host_->Params().SetNumber(index, value); }

void FrameRenderer::SetPoint(int32_t index, const Track &x, const Track &y) { host_->Params().SetPoint(index, x, y); }

void FrameRenderer::SetColor(int32_t index, PF_Pixel color) { host_->Params().SetColor(index, color); }

void FrameRenderer::ResetParams() { host_->Params().Reset(); }

RenderSettings &FrameRenderer::Settings() noexcept { return host_->Settings(); }

SimHost &FrameRenderer::Host() noexcept { return *host_; }

void FrameRenderer::Render(const ImageView &source, const ImageView &destination) {
    Render(source, destination, PF_LRect{0, 0, source.width, source.height});
}

void FrameRenderer::Render(const ImageView &source, const ImageView &destination, const PF_LRect &region) {
    if (source.depth != destination.depth || source.width != destination.width ||
        source.height != destination.height) {
        throw std::invalid_argument("source and destination differ in depth or size");
    }
    host_->SetLayer(source);
    // The record is kept for the frame just rendered only.
    host_->Log().Clear();
    host_->RenderFrame(region, destination);
}

Image DownsampleNearest(const ImageView &full, Rational factor_x, Rational factor_y) {
    if (factor_x.num <= 0 || factor_y.num <= 0 || factor_x.den == 0 || factor_y.den == 0 ||
        static_cast<uint32_t>(factor_x.num) > factor_x.den || static_cast<uint32_t>(factor_y.num) > factor_y.den) {
        throw std::invalid_argument("downsample factors must lie in (0, 1]");
    }
    Image small(full.depth, ScaledSize(full.width, factor_x), ScaledSize(full.height, factor_y));
    const ImageView out = small.View();
    const std::size_t pixel = PixelSize(full.depth);
    for (int32_t y = 0; y < out.height; ++y) {
        const auto sy = static_cast<int32_t>(static_cast<int64_t>(y) * factor_y.den / factor_y.num);
        const std::byte *row = full.Row(std::min(sy, full.height - 1));
        std::byte *dst = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x) {
            const auto sx = static_cast<int32_t>(static_cast<int64_t>(x) * factor_x.den / factor_x.num);
            std::memcpy(dst + static_cast<std::size_t>(x) * pixel,
                        row + static_cast<std::size_t>(std::min(sx, full.width - 1)) * pixel, pixel);
        }
    }
    return small;
}

}  // namespace tidalhalo::sim
