// The module's texts are GBK (code page 936) bytes; terminals and JSON want
// UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tidalhalo::cli {

// Converts GBK bytes to UTF-8. A byte sequence that is not GBK becomes
// U+FFFD, so the result is always valid UTF-8.
std::string GbkToUtf8(std::string_view gbk);

// Columns the UTF-8 text takes in a terminal: East Asian wide characters
// count two.
std::size_t DisplayWidth(std::string_view utf8) noexcept;

}  // namespace tidalhalo::cli
