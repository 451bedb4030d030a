// Finding the effect module the tool loads when no --module is given.
#pragma once

#include <string>

namespace tidalhalo::cli {

// The native module built beside the tool: looked for next to the
// executable and one folder up (the build tree's layout), then at the
// path the build recorded. Returns the first that exists, or the build's
// path when none does, so the error names where it was expected.
std::string DefaultModulePath();

// True when the file starts like a Windows PE image ("MZ").
bool IsWindowsModule(const std::string &path);

}  // namespace tidalhalo::cli
