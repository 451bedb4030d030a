// The blend text as SetFilterParam takes it from each host: frei0r's
// pointer, and from GStreamer's frei0r element, once its instance runs, the
// text itself. Every text handed itself lies in a heap block of exactly its
// size, as the element copies it, so that the sanitized build of this test
// reports any byte read past its terminator.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frei0r/filter_params.h"
#include "frei0r/host_string.h"

namespace {

constexpr auto kElement = HostStringCaller::GSTREAMER_ELEMENT;

std::unique_ptr<char[]> HeapText(const std::string &text) {
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

std::string BlendOf(FilterValues &values) {
    f0r_param_string name = nullptr;
    GetFilterParam(values, FILTER_BLEND, &name);
    return name;
}

// Every accepted value and texts that are none, among them each partial
// name a key at a time, handed itself after the element's start-up setting
// and through the element's own copy of the pointer.
TEST(HostString, TheElementsTextItselfAndItsPointerBothGiveTheMode) {
    const std::pair<std::string, const char *> cases[] = {
        {"none", "none"}, {"normal", "normal"}, {"add", "add"}, {"stencil-multiply", "stencil-multiply"},
        {"stencil-multiply-alpha", "stencil-multiply-alpha"}, {"1", "none"}, {"2", "normal"}, {"3", "add"},
        {"4", "stencil-multiply"}, {"5", "stencil-multiply-alpha"}, {"", "normal"}, {"a", "normal"},
        {"ad", "normal"}, {"n", "normal"}, {"no", "normal"}, {"nor", "normal"}, {"norm", "normal"},
        {"norma", "normal"}, {"s", "normal"}, {"stenci", "normal"}, {"stencil", "normal"},
        {"stencil-multiply-alph", "normal"}, {"adding", "normal"}, {"Add", "normal"}, {"0", "normal"},
        {"6", "normal"}, {"55", "normal"}, {"\x10\xb2\x44", "normal"}, {"\xc3\xa9", "normal"},
        {std::string(300, 'a'), "normal"}};
    FilterValues values = DefaultFilterValues();
    auto held = std::make_unique<const char *>("add");  // the element's copy of the pointer
    SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
    EXPECT_EQ(BlendOf(values), "add");
    for (const auto &[text, mode] : cases) {
        const std::unique_ptr<char[]> itself = HeapText(text);
        *held = "stencil-multiply-alpha";
        SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
        SetFilterParam(values, FILTER_BLEND, itself.get(), kElement);
        EXPECT_EQ(BlendOf(values), mode) << "the text itself: \"" << text << '"';

        SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
        *held = itself.get();
        SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
        EXPECT_EQ(BlendOf(values), mode) << "the element's pointer: \"" << text << '"';

        // Any other host hands frei0r's pointer, from anywhere.
        FilterValues other = DefaultFilterValues();
        SetFilterParam(other, FILTER_BLEND, held.get());
        auto elsewhere = std::make_unique<const char *>(itself.get());
        SetFilterParam(other, FILTER_BLEND, elsewhere.get());
        EXPECT_EQ(BlendOf(other), mode) << "another host's pointer: \"" << text << '"';
    }
    *held = nullptr;
    SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
    EXPECT_EQ(BlendOf(values), "normal");
}

// The element's start-up pointer to a text whose address has zero low
// bytes reads, byte by byte, as a short text: as the first setting, and
// from that same address later, it is the pointer.
TEST(HostString, TheElementsFirstSettingIsItsPointerEvenWhenItsBytesReadAsAText) {
    std::vector<char> block(4096);
    const auto base = reinterpret_cast<std::uintptr_t>(block.data());
    char *aligned = block.data() + (256 - base % 256) % 256;
    for (const char *name : {"add", "stencil-multiply", "none"}) {
        std::strcpy(aligned, name);
        auto held = std::make_unique<const char *>(aligned);
        FilterValues values = DefaultFilterValues();
        SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
        EXPECT_EQ(BlendOf(values), name);
        const std::unique_ptr<char[]> typed = HeapText("a");
        SetFilterParam(values, FILTER_BLEND, typed.get(), kElement);
        EXPECT_EQ(BlendOf(values), "normal");
        SetFilterParam(values, FILTER_BLEND, held.get(), kElement);
        EXPECT_EQ(BlendOf(values), name);
    }
}

TEST(HostString, GStreamersFrei0rPlugInIsKnownByItsFileName) {
    EXPECT_TRUE(IsGStreamerFrei0rModule("/usr/lib/x86_64-linux-gnu/gstreamer-1.0/libgstfrei0r.so"));
    EXPECT_TRUE(IsGStreamerFrei0rModule("C:\\gstreamer\\1.0\\msvc_x86_64\\lib\\gstreamer-1.0\\gstfrei0r.dll"));
    EXPECT_TRUE(IsGStreamerFrei0rModule("C:\\Program Files\\App\\LIBGSTFREI0R.DLL"));
    EXPECT_TRUE(IsGStreamerFrei0rModule("/opt/app/lib/libgstreamer-full-1.0.so"));
    EXPECT_FALSE(IsGStreamerFrei0rModule("/usr/lib/x86_64-linux-gnu/gstreamer-1.0/libgstvideoconvertscale.so"));
    EXPECT_FALSE(IsGStreamerFrei0rModule("/usr/lib/x86_64-linux-gnu/mlt-7/libmltfrei0r.so"));
    EXPECT_FALSE(IsGStreamerFrei0rModule("/home/gstfrei0r/bin/melt"));
    EXPECT_FALSE(IsGStreamerFrei0rModule(nullptr));
    EXPECT_EQ(HostStringCallerAt(reinterpret_cast<const void *>(&HeapText)), HostStringCaller::FREI0R_HOST);
}

}  // namespace
