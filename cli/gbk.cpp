#include "cli/gbk.h"

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include <iconv.h>

namespace tidalhalo::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
public:
    Converter() : cd_(iconv_open("UTF-8", "GBK")) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("GBK conversion is not available");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    iconv_t Get() const noexcept { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    Converter converter;
    std::string out;
    std::vector<char> input(gbk.begin(), gbk.end());
    char *in = input.data();
    std::size_t in_left = input.size();
    // Each GBK byte becomes at most three UTF-8 bytes.
    std::vector<char> buffer(input.size() * 3 + 4);
    while (in_left > 0) {
        char *out_ptr = buffer.data();
        std::size_t out_left = buffer.size();
        const std::size_t result = iconv(converter.Get(), &in, &in_left, &out_ptr, &out_left);
        out.append(buffer.data(), static_cast<std::size_t>(out_ptr - buffer.data()));
        if (result == static_cast<std::size_t>(-1) && (errno == EILSEQ || errno == EINVAL)) {
            out += kReplacement;
            ++in;
            --in_left;
        } else if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            break;
        }
    }
    return out;
}

std::size_t DisplayWidth(std::string_view utf8) noexcept {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = lead < 0x80 ? lead : lead & (0x3Fu >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        // CJK, Hangul and the full-width forms all lie from U+1100 up in
        // blocks that terminals draw two columns wide.
        const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                          (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                          (code >= 0xFF00 && code <= 0xFF60) || (code >= 0xFFE0 && code <= 0xFFE6);
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

}  // namespace tidalhalo::cli
