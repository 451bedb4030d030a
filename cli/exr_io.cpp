#include "cli/exr_io.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
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

// Rows converted and handed to the library at once: many of its 16-row ZIP
// blocks, so that its threads compress them side by side.
constexpr int32_t kStripRows = 512;

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

// Library messages may span lines and quote bytes from the file; the tool
// reports on one line.
std::string OneLine(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c >= 0 && c < ' '; }, ' ');
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

// A name from a file as it may appear in a one-line message.
std::string Printable(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c < ' ' || c > '~'; }, '?');
    return text;
}

// Bytes of the attribute types whose values have one size.
std::optional<int32_t> FixedSizeOf(const std::string &type) {
    static const std::pair<const char *, int32_t> kSizes[] = {
        {"box2i", 16}, {"box2f", 16},  {"chromaticities", 32}, {"compression", 1}, {"deepImageState", 1},
        {"double", 8}, {"envmap", 1},  {"float", 4},           {"int", 4},         {"keycode", 28},
        {"lineOrder", 1}, {"m33f", 36}, {"m33d", 72},          {"m44f", 64},       {"m44d", 128},
        {"rational", 8}, {"tiledesc", 9}, {"timecode", 8},     {"v2i", 8},         {"v2f", 8},
        {"v2d", 16},   {"v3i", 12},    {"v3f", 12},            {"v3d", 24},
    };
    for (const auto &[name, size] : kSizes) {
        if (type == name) {
            return size;
        }
    }
    return std::nullopt;
}

// Reads the headers as stored before the reader below does. That reader
// takes memory by the sizes a header states (an attribute's value, the
// table of chunk offsets) before it finds whether the file holds that much,
// and reads a channel list or a value of one size by its contents, not by
// the size stated. So every attribute must state a size that fits in the
// input and that its contents fill; then both readers walk the same bytes.
// Throws CliError for a header that breaks this, states a picture beyond
// the limit or holds deep data. A header cut short is left to the reader to
// report. The stream is left at its start.
class HeaderCheck {
public:
    HeaderCheck(Imf::IStream &stream, uint64_t input_size, const std::string &name, const SizeLimit &limit)
        : stream_(stream), input_size_(input_size), name_(name), limit_(limit) {}

    void Run() {
        try {
            Number();  // the magic number
            const auto flags = static_cast<uint32_t>(Number());
            if ((flags & 0x800u) != 0 && (flags & 0x1000u) == 0) {
                throw CliError(name_, kDeep);
            }
            // Each header ends with an empty name; so does the list of
            // headers of a multipart file.
            bool first = true;
            for (std::string attribute = Text(); !attribute.empty(); attribute = Text()) {
                Header(attribute, first);
                first = false;
                if ((flags & 0x1000u) == 0) {
                    break;
                }
            }
        } catch (const CliError &) {
            throw;
        } catch (const std::exception &) {
            // the reader reports what is wrong
        }
        stream_.clear();
        stream_.seekg(0);
    }

private:
    static constexpr const char *kDeep = "holds deep data; only flat pictures are read";

    int32_t Number() {
        unsigned char bytes[4];
        stream_.read(reinterpret_cast<char *>(bytes), 4);
        return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                                    uint32_t{bytes[3]} << 24);
    }

    std::string Text() {
        std::string text;
        for (char c = 0; stream_.read(&c, 1), c != '\0';) {
            if (text.size() == 255) {
                throw std::length_error("name too long");
            }
            text.push_back(c);
        }
        return text;
    }

    [[noreturn]] void Malformed(const std::string &attribute, const std::string &what) const {
        throw CliError(name_, "header attribute '" + Printable(attribute) + "' " + what);
    }

    // One header, its first attribute's name already read; only the first
    // header's picture is read, but every header is read whole.
    void Header(std::string attribute, bool first) {
        std::optional<Imath::Box2i> window;
        int64_t tile_width = 0, tile_height = 0;
        for (; !attribute.empty(); attribute = Text()) {
            const std::string type = Text();
            const int32_t size = Number();
            const uint64_t start = stream_.tellg();
            if (size < 0 || static_cast<uint64_t>(size) > input_size_ - std::min(input_size_, start)) {
                Malformed(attribute, "states " + std::to_string(size) + " bytes, more than the file holds");
            }
            const uint64_t end = start + static_cast<uint64_t>(size);
            const std::optional<int32_t> fixed = FixedSizeOf(type);
            if (fixed && size != *fixed) {
                Malformed(attribute, "of type " + type + " states " + std::to_string(size) + " bytes, not " +
                                         std::to_string(*fixed));
            }
            if (type == "chlist") {
                // Channels until an empty name: name, type, linear flag and
                // three reserved bytes, x and y sampling.
                for (std::string channel = Text(); !channel.empty(); channel = Text()) {
                    stream_.seekg(stream_.tellg() + 16);
                }
                if (stream_.tellg() != end) {
                    Malformed(attribute, "holds a channel list that does not fill its " + std::to_string(size) +
                                             " bytes");
                }
            } else if (type == "floatvector" && size % 4 != 0) {
                Malformed(attribute, "states " + std::to_string(size) + " bytes, not a whole number of floats");
            } else if (attribute == "dataWindow" && type == "box2i") {
                const int32_t x0 = Number(), y0 = Number(), x1 = Number(), y1 = Number();
                window = Imath::Box2i({x0, y0}, {x1, y1});
            } else if (attribute == "tiles" && type == "tiledesc") {
                tile_width = static_cast<uint32_t>(Number());
                tile_height = static_cast<uint32_t>(Number());
            } else if (attribute == "type" && type == "string" && first) {
                std::string kind(static_cast<std::size_t>(size), '\0');
                stream_.read(kind.data(), size);
                if (kind.rfind("deep", 0) == 0) {
                    throw CliError(name_, kDeep);
                }
            } else if (attribute == "chunkCount" && type == "int") {
                const int32_t chunks = Number();
                if (chunks < 0 || static_cast<uint64_t>(chunks) > input_size_ / 8) {
                    Malformed(attribute, "states " + std::to_string(chunks) + " chunks, more than the file holds");
                }
            }
            stream_.seekg(end);
        }
        if (first && window) {
            CheckWindow(*window, tile_width, tile_height);
        }
    }

    void CheckWindow(const Imath::Box2i &window, int64_t tile_width, int64_t tile_height) const {
        const int64_t width = int64_t{window.max.x} - window.min.x + 1;
        const int64_t height = int64_t{window.max.y} - window.min.y + 1;
        CheckPictureSize(name_, width, height, limit_);
        // Every tile of the first level has an 8-byte entry in the file.
        if (tile_width > 0 && tile_height > 0) {
            const int64_t tiles = (width + tile_width - 1) / tile_width * ((height + tile_height - 1) / tile_height);
            if (static_cast<uint64_t>(tiles) > input_size_ / 8) {
                throw CliError(name_, "states " + std::to_string(tiles) + " tiles, more than the file holds");
            }
        }
    }

    Imf::IStream &stream_;
    uint64_t input_size_;
    const std::string &name_;
    const SizeLimit &limit_;
};

sim::Image ReadFloat(Imf::IStream &stream, uint64_t input_size, const std::string &name, const SizeLimit &limit) {
    HeaderCheck(stream, input_size, name, limit).Run();
    // The reader refuses larger windows and tiles itself too.
    Imf::Header::setMaxImageSize(static_cast<int>(limit.side), static_cast<int>(limit.side));
    Imf::Header::setMaxTileSize(static_cast<int>(limit.side), static_cast<int>(limit.side));
    Imf::InputFile file(stream);
    const Imf::Header &header = file.header();
    const Imath::Box2i window = header.dataWindow();
    // The header check read this window already; checked again, as the
    // sizes below must fit.
    CheckPictureSize(name, int64_t{window.max.x} - window.min.x + 1, int64_t{window.max.y} - window.min.y + 1,
                     limit);
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
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(path, error);
        if (error) {
            throw CliError(path, error.message());
        }
        Imf::StdIFStream stream(path.c_str());
        return ReadFloat(stream, size, path, kPictureLimit);
    });
}

sim::Image ReadExrBytes(const std::string &name, const void *data, std::size_t size,
                        std::optional<sim::PixelDepth> depth, const SizeLimit &limit) {
    return Reading(name, depth, [&] {
        MemoryStream stream(name, static_cast<const char *>(data), size);
        return ReadFloat(stream, size, name, limit);
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
