// The texts printed by --help.
#pragma once

#include <string>

#include "cli/options.h"

namespace tidalhalo::cli {

// The help for one command; Command::Help gives the overview.
std::string HelpText(Command command);

}  // namespace tidalhalo::cli
