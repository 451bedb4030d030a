// Images in the host's pixel layout (alpha, red, green, blue) for the three
// depths, as the frame renderer takes and gives them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/host_types.h"

namespace tidalhalo::sim {

enum class PixelDepth { Eight, Sixteen, Float };

// Bytes of one pixel: 4, 8 or 16.
std::size_t PixelSize(PixelDepth depth) noexcept;

// The host's format code for a depth ("argb", "ae16", "ae32").
PF_PixelFormat PixelFormatOf(PixelDepth depth) noexcept;

// A window onto pixels someone else owns. Rows are rowbytes apart, which is
// at least width times the pixel size and a multiple of it.
struct ImageView {
    PixelDepth depth = PixelDepth::Eight;
    void *data = nullptr;
    std::ptrdiff_t rowbytes = 0;
    int32_t width = 0;
    int32_t height = 0;

    std::byte *Row(int32_t y) const noexcept {
        return static_cast<std::byte *>(data) + static_cast<std::ptrdiff_t>(y) * rowbytes;
    }
    template <class Pixel>
    Pixel *PixelAt(int32_t x, int32_t y) const noexcept {
        return reinterpret_cast<Pixel *>(Row(y)) + x;
    }
};

// An image that owns its pixels, cleared to zero. padding_pixels extra
// pixels end every row, so a buffer can be made with rowbytes larger than
// its width needs.
class Image {
public:
    Image() = default;
    Image(PixelDepth depth, int32_t width, int32_t height, int32_t padding_pixels = 0);
    // A copy owns its own pixels and its view points at them.
    Image(const Image &other);
    Image &operator=(const Image &other);
    Image(Image &&other) noexcept;
    Image &operator=(Image &&other) noexcept;
    ~Image() = default;

    ImageView View() noexcept { return view_; }
    ImageView View() const noexcept { return view_; }
    PixelDepth Depth() const noexcept { return view_.depth; }
    int32_t Width() const noexcept { return view_.width; }
    int32_t Height() const noexcept { return view_.height; }

    template <class Pixel>
    Pixel *PixelAt(int32_t x, int32_t y) noexcept { return view_.PixelAt<Pixel>(x, y); }
    template <class Pixel>
    const Pixel *PixelAt(int32_t x, int32_t y) const noexcept { return view_.PixelAt<Pixel>(x, y); }

private:
    // Stored as 16-byte units so that every depth's channels are aligned.
    struct alignas(16) Block {
        std::byte bytes[16];
    };
    std::vector<Block> storage_;
    ImageView view_;
};

// True when both views have the same depth and size and equal pixel bytes
// (padding ignored).
bool SamePixels(const ImageView &a, const ImageView &b) noexcept;

// The part of view with its first pixel at (x, y), width by height; the
// rectangle must lie inside view.
ImageView Crop(const ImageView &view, int32_t x, int32_t y, int32_t width, int32_t height) noexcept;

// Copies the pixels of src onto dst; both must have the same depth and size.
void CopyPixels(const ImageView &src, const ImageView &dst) noexcept;

}  // namespace tidalhalo::sim
