// tidalhalo sheet: the five blend modes side by side in one picture, in
// the order of the effect's popup.
#pragma once

#include "cli/options.h"

namespace tidalhalo::cli {

// Renders the sheet as the options say; returns the exit status. Throws
// CliError.
int RunSheet(const Options &options);

}  // namespace tidalhalo::cli
