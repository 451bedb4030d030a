#include "sim/image.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace tidalhalo::sim {

std::size_t PixelSize(PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::Eight:
        return sizeof(PF_Pixel);
    case PixelDepth::Sixteen:
        return sizeof(PF_Pixel16);
    case PixelDepth::Float:
        return sizeof(PF_PixelFloat);
    }
    return sizeof(PF_Pixel);
}

PF_PixelFormat PixelFormatOf(PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::Eight:
        return PF_PixelFormat_ARGB32;
    case PixelDepth::Sixteen:
        return PF_PixelFormat_ARGB64;
    case PixelDepth::Float:
        return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

Image::Image(PixelDepth depth, int32_t width, int32_t height, int32_t padding_pixels) {
    if (width < 0 || height < 0 || padding_pixels < 0) {
        throw std::invalid_argument("image size and padding must not be negative");
    }
    const auto row_pixels = static_cast<std::size_t>(width) + static_cast<std::size_t>(padding_pixels);
    const std::size_t rowbytes = row_pixels * PixelSize(depth);
    const std::size_t total = rowbytes * static_cast<std::size_t>(height);
    storage_.resize((total + sizeof(Block) - 1) / sizeof(Block));
    view_ = ImageView{depth, storage_.data(), static_cast<std::ptrdiff_t>(rowbytes), width, height};
}

Image::Image(const Image &other) : storage_(other.storage_), view_(other.view_) {
    view_.data = storage_.data();
}

Image &Image::operator=(const Image &other) {
    if (this != &other) {
        storage_ = other.storage_;
        view_ = other.view_;
        view_.data = storage_.data();
    }
    return *this;
}

// The moved vector keeps its buffer; the source is left empty.
Image::Image(Image &&other) noexcept : storage_(std::move(other.storage_)), view_(other.view_) {
    view_.data = storage_.data();
    other.view_ = ImageView{};
}

Image &Image::operator=(Image &&other) noexcept {
    if (this != &other) {
        storage_ = std::move(other.storage_);
        view_ = other.view_;
        view_.data = storage_.data();
        other.view_ = ImageView{};
    }
    return *this;
}

bool SamePixels(const ImageView &a, const ImageView &b) noexcept {
    if (a.depth != b.depth || a.width != b.width || a.height != b.height) {
        return false;
    }
    const std::size_t row = PixelSize(a.depth) * static_cast<std::size_t>(a.width);
    for (int32_t y = 0; y < a.height; ++y) {
        if (std::memcmp(a.Row(y), b.Row(y), row) != 0) {
            return false;
        }
    }
    return true;
}

ImageView Crop(const ImageView &view, int32_t x, int32_t y, int32_t width, int32_t height) noexcept {
    ImageView part = view;
    part.data = view.Row(y) + static_cast<std::ptrdiff_t>(x) * static_cast<std::ptrdiff_t>(PixelSize(view.depth));
    part.width = width;
    part.height = height;
    return part;
}

void CopyPixels(const ImageView &src, const ImageView &dst) noexcept {
    const std::size_t row = PixelSize(src.depth) * static_cast<std::size_t>(src.width);
    for (int32_t y = 0; y < src.height; ++y) {
        std::memcpy(dst.Row(y), src.Row(y), row);
    }
}

}  // namespace tidalhalo::sim
