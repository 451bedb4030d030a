// Where the cross-built module is: $TIDALHALO_AEX if set, else the path
// configured into the tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

inline std::string BuiltModulePath() {
    const char* from_environment = std::getenv("TIDALHALO_AEX");
    return from_environment && *from_environment ? from_environment : TIDALHALO_AEX_DEFAULT;
}

inline bool BuiltModuleExists() {
    return std::filesystem::is_regular_file(BuiltModulePath());
}
