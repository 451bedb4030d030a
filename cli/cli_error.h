// The one kind of failure the tool reports to the user: a message that
// names the file or option at fault and the reason, on a single line.
#pragma once

#include <stdexcept>
#include <string>

namespace tidalhalo::cli {

class CliError : public std::runtime_error {
public:
    // subject is the file or option at fault, reason says what is wrong.
    CliError(const std::string &subject, const std::string &reason)
        : std::runtime_error(subject + ": " + reason), reason_(reason) {}

    const std::string &Reason() const noexcept { return reason_; }

private:
    std::string reason_;
};

}  // namespace tidalhalo::cli
