// tidalhalo info: what a module declares about itself.
#pragma once

#include "cli/options.h"

namespace tidalhalo::cli {

// Prints the report on stdout; returns the exit status. Throws CliError.
int RunInfo(const Options &options);

}  // namespace tidalhalo::cli
