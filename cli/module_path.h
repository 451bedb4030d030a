// Finding the effect module the tool loads when no --module is given.
#pragma once

#include <string>

namespace tidalhalo::cli {

// The native module beside the tool: looked for next to the executable
// (an unpacked release), one folder up (the build tree's layout), in ../lib
// and in ../lib/tidalhalo (installed as /usr/bin/tidalhalo with the module
// in /usr/lib/tidalhalo). The executable's path has its symbolic links
// resolved, so a link to the tool finds the module beside the tool. Returns the first that exists, or the place next to the
// executable when none does, so the error names where it was expected.
// No path of the build is recorded in the tool, so that the same commit
// builds to the same bytes in any folder.
std::string DefaultModulePath();

// True when the file starts like a Windows PE image ("MZ").
bool IsWindowsModule(const std::string &path);

}  // namespace tidalhalo::cli
