// tidalhalo: renders the effect onto pictures through our own host and
// reports what a module declares. Every failure ends in one line on stderr.
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>

#include "cli/cli_error.h"
#include "cli/help.h"
#include "cli/info_command.h"
#include "cli/options.h"
#include "cli/render_command.h"
#include "cli/sheet_command.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

int Fail(const char *message, int status) {
    std::fprintf(stderr, "tidalhalo: error: %s\n", message);
    return status;
}

int Run(const tidalhalo::cli::Options &options) {
    using tidalhalo::cli::Command;
    switch (options.command) {
    case Command::Render:
        return tidalhalo::cli::RunRender(options);
    case Command::Sheet:
        return tidalhalo::cli::RunSheet(options);
    case Command::Info:
        return tidalhalo::cli::RunInfo(options);
    case Command::Version:
        std::cout << "tidalhalo " TIDALHALO_TOOL_VERSION "\n";
        return 0;
    case Command::Help:
        break;
    }
    std::cout << tidalhalo::cli::HelpText(options.help_topic);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    tidalhalo::cli::Options options;
    try {
        options = tidalhalo::cli::ParseArguments(argc, argv);
    } catch (const tidalhalo::cli::CliError &e) {
        return Fail(e.what(), kUsageError);
    }
    try {
        return Run(options);
    } catch (const tidalhalo::cli::CliError &e) {
        return Fail(e.what(), kFailure);
    } catch (const std::bad_alloc &) {
        return Fail("out of memory", kFailure);
    } catch (const std::exception &e) {
        return Fail(e.what(), kFailure);
    }
}
