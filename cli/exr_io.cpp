#include "cli/exr_io.h"

#include <algorithm>
#include <exception>
#include <vector>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <ImfThreading.h>

#include "cli/cli_error.h"
#include "cli/pixel_convert.h"

namespace tidalhalo::cli {
namespace {

constexpr int64_t kMaxSide = 32767;
constexpr int32_t kStripRows = 32;

// Library messages may span lines; the tool reports on one.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

bool HasFullChannel(const Imf::ChannelList &channels, const char *name) {
    const Imf::Channel *channel = channels.findChannel(name);
    return channel != nullptr && channel->xSampling == 1 && channel->ySampling == 1;
}

void Unpremultiply(const sim::ImageView &view) noexcept {
    for (int32_t y = 0; y < view.height; ++y) {
        PF_PixelFloat *row = view.PixelAt<PF_PixelFloat>(0, y);
        for (int32_t x = 0; x < view.width; ++x) {
            PF_PixelFloat &p = row[x];
            if (p.alpha > 0.0f) {
                p.red /= p.alpha;
                p.green /= p.alpha;
                p.blue /= p.alpha;
            }
        }
    }
}

PF_PixelFloat Premultiplied(PF_PixelFloat p) noexcept {
    return {p.alpha, p.red * p.alpha, p.green * p.alpha, p.blue * p.alpha};
}

sim::Image ReadFloat(const std::string &path) {
    Imf::InputFile file(path.c_str());
    const Imf::Header &header = file.header();
    const Imath::Box2i window = header.dataWindow();
    const int64_t width = int64_t{window.max.x} - window.min.x + 1;
    const int64_t height = int64_t{window.max.y} - window.min.y + 1;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        throw CliError(path, "image size " + std::to_string(width) + "x" + std::to_string(height) +
                                 " is not supported");
    }
    const Imf::ChannelList &channels = header.channels();
    const bool rgb = HasFullChannel(channels, "R") && HasFullChannel(channels, "G") &&
                     HasFullChannel(channels, "B");
    const bool grey = !rgb && HasFullChannel(channels, "Y");
    if (!rgb && !grey) {
        throw CliError(path, "has no full-resolution R, G, B or Y channels");
    }
    if (!file.isComplete()) {
        throw CliError(path, "file is incomplete");
    }

    sim::Image image(sim::PixelDepth::Float, static_cast<int32_t>(width), static_cast<int32_t>(height));
    const sim::ImageView view = image.View();
    PF_PixelFloat *first = view.PixelAt<PF_PixelFloat>(0, 0);
    const std::size_t x_stride = sizeof(PF_PixelFloat);
    const auto y_stride = static_cast<std::size_t>(view.rowbytes);
    auto slice = [&](float *channel, double fill) {
        return Imf::Slice::Make(Imf::FLOAT, channel, window, x_stride, y_stride, 1, 1, fill);
    };
    Imf::FrameBuffer buffer;
    buffer.insert(rgb ? "R" : "Y", slice(&first->red, 0.0));
    if (rgb) {
        buffer.insert("G", slice(&first->green, 0.0));
        buffer.insert("B", slice(&first->blue, 0.0));
    }
    buffer.insert("A", slice(&first->alpha, 1.0));
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);

    if (grey) {
        for (int32_t y = 0; y < view.height; ++y) {
            PF_PixelFloat *row = view.PixelAt<PF_PixelFloat>(0, y);
            for (int32_t x = 0; x < view.width; ++x) {
                row[x].green = row[x].blue = row[x].red;
            }
        }
    }
    Unpremultiply(view);
    return image;
}

}  // namespace

sim::Image ReadExr(const std::string &path, std::optional<sim::PixelDepth> depth) {
    sim::Image image;
    try {
        image = ReadFloat(path);
    } catch (const CliError &) {
        throw;
    } catch (const std::exception &e) {
        throw CliError(path, OneLine(e.what()));
    }
    if (depth && *depth != sim::PixelDepth::Float) {
        return ConvertedImage(image.View(), *depth);
    }
    return image;
}

void WriteExr(const std::string &path, const sim::ImageView &image) {
    try {
        Imf::Header header(image.width, image.height);
        for (const char *name : {"R", "G", "B", "A"}) {
            header.channels().insert(name, Imf::Channel(Imf::FLOAT));
        }
        header.compression() = Imf::ZIP_COMPRESSION;
        Imf::OutputFile file(path.c_str(), header);

        // Rows go out in strips, converted and premultiplied on the way.
        const auto width = static_cast<std::size_t>(image.width);
        std::vector<PF_PixelFloat> strip(width * kStripRows);
        for (int32_t y0 = 0; y0 < image.height; y0 += kStripRows) {
            const int32_t rows = std::min(kStripRows, image.height - y0);
            for (int32_t r = 0; r < rows; ++r) {
                PF_PixelFloat *out = &strip[static_cast<std::size_t>(r) * width];
                for (int32_t x = 0; x < image.width; ++x) {
                    PF_PixelFloat p{};
                    switch (image.depth) {
                    case sim::PixelDepth::Eight:
                        p = ToFloatPixel(image.PixelAt<PF_Pixel>(0, y0 + r)[x]);
                        break;
                    case sim::PixelDepth::Sixteen:
                        p = ToFloatPixel(image.PixelAt<PF_Pixel16>(0, y0 + r)[x]);
                        break;
                    case sim::PixelDepth::Float:
                        p = image.PixelAt<PF_PixelFloat>(0, y0 + r)[x];
                        break;
                    }
                    out[x] = Premultiplied(p);
                }
            }
            const Imath::V2i origin(0, y0);
            auto slice = [&](float *channel) {
                return Imf::Slice::Make(Imf::FLOAT, channel, origin, image.width, rows,
                                        sizeof(PF_PixelFloat), width * sizeof(PF_PixelFloat));
            };
            Imf::FrameBuffer buffer;
            buffer.insert("R", slice(&strip[0].red));
            buffer.insert("G", slice(&strip[0].green));
            buffer.insert("B", slice(&strip[0].blue));
            buffer.insert("A", slice(&strip[0].alpha));
            file.setFrameBuffer(buffer);
            file.writePixels(rows);
        }
    } catch (const std::exception &e) {
        throw CliError(path, OneLine(e.what()));
    }
}

void SetExrThreads(int threads) {
    Imf::setGlobalThreadCount(threads);
}

}  // namespace tidalhalo::cli
