// The two bundle binaries read as files: each exports exactly
// OfxGetNumberOfPlugins and OfxGetPlugin, neither links OpenGL, and the
// Win64 one is a 64-bit DLL that imports only Windows' own DLLs (opengl32
// among them would be OpenGL linked). The Win64 binary is the cross build's
// ($TIDALHALO_OFX_WIN64 overrides the path); its checks are skipped when it
// has not been built.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "sim/pe/pe_file.h"

namespace {

namespace pe = tidalhalo::pe;

const std::set<std::string> kExports = {"OfxGetNumberOfPlugins", "OfxGetPlugin"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(OfxBundleFiles, TheLinuxBinaryExportsTheTwoFunctionsOnly) {
    const std::string path = TIDALHALO_OFX_PLUGIN;
    EXPECT_TRUE(path.ends_with("/Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx")) << path;
    FILE *pipe = popen(("nm -D --defined-only '" + path + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        const std::size_t last = text.find_last_of(' ');
        std::string name = text.substr(last + 1);
        name.erase(name.find_last_not_of("\r\n") + 1);
        const char kind = last >= 2 ? text[last - 1] : '?';
        if (kind == 'T' || kind == 'D' || kind == 'B' || kind == 'W' || kind == 'V') exported.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(exported, kExports);
}

// A render node without OpenGL must still load it: the overlay finds OpenGL
// when it first draws.
TEST(OfxBundleFiles, TheLinuxBinaryNeedsNoOpenGlLibrary) {
    FILE *pipe = popen(("objdump -p '" + std::string(TIDALHALO_OFX_PLUGIN) + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> needed;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char name[256];
        if (std::sscanf(line, " NEEDED %255s", name) == 1) needed.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_TRUE(needed.count("libc.so.6")) << "objdump output not understood";
    for (const std::string &library : needed) {
        EXPECT_FALSE(library.starts_with("libGL") || library.starts_with("libEGL") ||
                     library.starts_with("libOpenGL"))
            << library;
    }
}

TEST(OfxBundleFiles, TheWin64BinaryExportsTheTwoFunctionsAndImportsOnlyWindows) {
    const char *from_environment = std::getenv("TIDALHALO_OFX_WIN64");
    const std::string path = from_environment && *from_environment ? from_environment : TIDALHALO_OFX_WIN64_DEFAULT;
    if (!std::filesystem::is_regular_file(path)) GTEST_SKIP() << "no Win64 bundle at " << path;
    pe::PeFile file;
    std::string error;
    ASSERT_TRUE(pe::ReadPeFile(path, file, error)) << error;
    EXPECT_EQ(file.machine, pe::MACHINE_AMD64);
    EXPECT_TRUE(pe::IsDll(file));
    EXPECT_EQ(std::set<std::string>(file.exports.begin(), file.exports.end()), kExports);
    EXPECT_EQ(file.export_function_count, 2u) << "no exports by ordinal alone";
    ASSERT_FALSE(file.imports.empty());
    for (const pe::Import &import : file.imports) {
        const std::string name = Lower(import.dll);
        EXPECT_TRUE(name == "kernel32.dll" || name == "msvcrt.dll" || name == "ucrtbase.dll" || name == "ntdll.dll" ||
                    name.starts_with("api-ms-win-"))
            << import.dll;
    }
}

}  // namespace
