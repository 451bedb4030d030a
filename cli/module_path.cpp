#include "cli/module_path.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tidalhalo::cli {

std::string DefaultModulePath() {
    constexpr const char *kFileName = "Kv_Tidalhalo.so";
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return kFileName;
    }
    const std::filesystem::path here = exe.parent_path();
    // Beside the tool (an unpacked release, ~/.local/lib/tidalhalo), one
    // folder up (the build tree), then ../lib and ../lib/tidalhalo (the
    // package's /usr/bin and /usr/lib/tidalhalo).
    const std::filesystem::path lib = here.parent_path() / "lib";
    for (const std::filesystem::path &candidate :
         {here / kFileName, here.parent_path() / kFileName, lib / kFileName, lib / "tidalhalo" / kFileName}) {
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate.string();
        }
    }
    return (here / kFileName).string();
}

bool IsWindowsModule(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::array<char, 2> magic{};
    const std::size_t got = std::fread(magic.data(), 1, magic.size(), file);
    std::fclose(file);
    return got == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

}  // namespace tidalhalo::cli
