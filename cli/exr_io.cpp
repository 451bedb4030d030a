#include "cli/exr_io.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <vector>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>
#include <ImfStdIO.h>
#include <ImfThreading.h>
#include <Iex.h>

#include "cli/cli_error.h"
#include "cli/pixel_convert.h"
#include "cli/size_limit.h"

namespace tidalhalo::cli {
namespace {

constexpr int32_t kStripRows = 32;

// An EXR file held in memory, read as the library reads a file.
class MemoryStream final : public Imf::IStream {
public:
    MemoryStream(const std::string &name, const char *data, std::size_t size)
        : Imf::IStream(name.c_str()), data_(data), size_(size) {}

    bool read(char c[], int n) override {
        if (n < 0 || position_ > size_ || static_cast<std::size_t>(n) > size_ - position_) {
            throw Iex::InputExc("Early end of file.");
        }
        if (n > 0) {
            std::memcpy(c, data_ + position_, static_cast<std::size_t>(n));
        }
        position_ += static_cast<std::size_t>(n);
        return position_ < size_;
    }
    uint64_t tellg() override { return position_; }
    void seekg(uint64_t position) override {
        position_ = position < size_ ? static_cast<std::size_t>(position) : size_;
    }

private:
    const char *data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

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

int64_t WindowWidth(const Imath::Box2i &window) noexcept {
    return int64_t{window.max.x} - window.min.x + 1;
}
int64_t WindowHeight(const Imath::Box2i &window) noexcept {
    return int64_t{window.max.y} - window.min.y + 1;
}

// The first header's data window as stored, read before the library sizes
// its tables by it; nothing when the header does not get that far, and the
// library then says what is wrong. The stream is left at its start.
std::optional<Imath::Box2i> StatedDataWindow(Imf::IStream &stream) {
    std::optional<Imath::Box2i> window;
    auto number = [&stream] {
        unsigned char bytes[4];
        stream.read(reinterpret_cast<char *>(bytes), 4);
        return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                                    uint32_t{bytes[3]} << 24);
    };
    auto name = [&stream] {
        std::string text;
        for (char c = 0; stream.read(&c, 1), c != '\0';) {
            if (text.size() == 255) {
                throw std::length_error("attribute name too long");
            }
            text.push_back(c);
        }
        return text;
    };
    try {
        number();  // the magic number
        number();  // the version and flags
        for (std::string attribute = name(); !attribute.empty(); attribute = name()) {
            const std::string type = name();
            const int32_t size = number();
            if (size < 0) {
                break;
            }
            if (attribute == "dataWindow" && type == "box2i" && size == 16) {
                const int32_t x0 = number(), y0 = number(), x1 = number(), y1 = number();
                window = Imath::Box2i({x0, y0}, {x1, y1});
                break;
            }
            stream.seekg(stream.tellg() + static_cast<uint64_t>(size));
        }
    } catch (const std::exception &) {
        window.reset();
    }
    stream.clear();
    stream.seekg(0);
    return window;
}

sim::Image ReadFloat(Imf::IStream &stream, const std::string &name, const SizeLimit &limit) {
    if (const std::optional<Imath::Box2i> stated = StatedDataWindow(stream)) {
        CheckPictureSize(name, WindowWidth(*stated), WindowHeight(*stated), limit);
    }
    // The library refuses larger windows and tiles itself too, before it
    // sizes its tables by them.
    Imf::Header::setMaxImageSize(static_cast<int>(limit.side), static_cast<int>(limit.side));
    Imf::Header::setMaxTileSize(static_cast<int>(limit.side), static_cast<int>(limit.side));
    Imf::InputFile file(stream);
    const Imf::Header &header = file.header();
    const Imath::Box2i window = header.dataWindow();
    CheckPictureSize(name, WindowWidth(window), WindowHeight(window), limit);
    const int32_t width = window.max.x - window.min.x + 1;
    const int32_t height = window.max.y - window.min.y + 1;
    const Imf::ChannelList &channels = header.channels();
    const bool rgb = HasFullChannel(channels, "R") && HasFullChannel(channels, "G") &&
                     HasFullChannel(channels, "B");
    const bool grey = !rgb && HasFullChannel(channels, "Y");
    if (!rgb && !grey) {
        throw CliError(name, "has no full-resolution R, G, B or Y channels");
    }
    if (!file.isComplete()) {
        throw CliError(name, "file is incomplete");
    }

    sim::Image image(sim::PixelDepth::Float, width, height);
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

// The one way a read fails: a CliError naming the file.
template <class Read>
sim::Image Reading(const std::string &name, std::optional<sim::PixelDepth> depth, Read read) {
    sim::Image image;
    try {
        image = read();
    } catch (const CliError &) {
        throw;
    } catch (const std::exception &e) {
        throw CliError(name, OneLine(e.what()));
    }
    if (depth && *depth != sim::PixelDepth::Float) {
        return ConvertedImage(image.View(), *depth);
    }
    return image;
}

}  // namespace

sim::Image ReadExr(const std::string &path, std::optional<sim::PixelDepth> depth) {
    return Reading(path, depth, [&] {
        Imf::StdIFStream stream(path.c_str());
        return ReadFloat(stream, path, kPictureLimit);
    });
}

sim::Image ReadExrBytes(const std::string &name, const void *data, std::size_t size,
                        std::optional<sim::PixelDepth> depth, const SizeLimit &limit) {
    return Reading(name, depth, [&] {
        MemoryStream stream(name, static_cast<const char *>(data), size);
        return ReadFloat(stream, name, limit);
    });
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
