// The Windows filter, tidalhalo.dll, read as a file: a 64-bit DLL that
// exports the frei0r functions by their plain names, nothing else, and
// imports only Windows' own DLLs, so that it loads from a plain folder of
// MLT's or ffmpeg's. The path is the cross build's ($TIDALHALO_FREI0R_DLL
// overrides it); the checks are skipped when it has not been built.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "sim/pe/pe_file.h"

namespace {

namespace pe = tidalhalo::pe;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(Frei0rWindowsFilter, ExportsTheFrei0rFunctionsAndImportsOnlyWindows) {
    const char *from_environment = std::getenv("TIDALHALO_FREI0R_DLL");
    const std::string path = from_environment && *from_environment ? from_environment : TIDALHALO_FREI0R_DLL_DEFAULT;
    if (!std::filesystem::is_regular_file(path)) GTEST_SKIP() << "no Windows filter at " << path;
    EXPECT_EQ(std::filesystem::path(path).filename(), "tidalhalo.dll");
    pe::PeFile file;
    std::string error;
    ASSERT_TRUE(pe::ReadPeFile(path, file, error)) << error;
    EXPECT_EQ(file.machine, pe::MACHINE_AMD64);
    EXPECT_TRUE(pe::IsDll(file));
    const std::set<std::string> expected = {"f0r_init",           "f0r_deinit",         "f0r_get_plugin_info",
                                            "f0r_get_param_info", "f0r_construct",      "f0r_destruct",
                                            "f0r_set_param_value", "f0r_get_param_value", "f0r_update",
                                            "f0r_update2"};
    EXPECT_EQ(std::set<std::string>(file.exports.begin(), file.exports.end()), expected);
    EXPECT_EQ(file.export_function_count, expected.size()) << "no exports by ordinal alone";
    std::set<std::string> imported;
    for (const pe::Import &import : file.imports) imported.insert(Lower(import.dll));
    EXPECT_EQ(imported, (std::set<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

}  // namespace
