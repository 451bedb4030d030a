// Checks the module's side of the host contract and names the exact call
// that broke it: suites released that were never acquired, suites, layers
// and handle locks left open at the end of a command, and the like.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/host_interface.h"
#include "sim/sim_types.h"

namespace tidalhalo::sim {

class ContractChecker {
public:
    explicit ContractChecker(Strictness level = Strictness::Fail) : level_(level) {}

    Strictness Level() const noexcept { return level_; }
    void SetLevel(Strictness level) noexcept { level_ = level; }

    void BeginCommand(PF_Cmd cmd);
    PF_Cmd Command() const noexcept { return command_; }

    // Records a broken rule, written as the call that broke it; the
    // command is added in brackets.
    void Break(const std::string &what);
    // Records something the command left open: "what at end of command N".
    void BreakAtEnd(const std::string &what);

    void SuiteAcquired(const std::string &name, int32_t version);
    // False, and a broken rule, when no acquisition is open for it.
    bool SuiteReleased(const std::string &name, int32_t version);
    bool SuiteHeld(const std::string &name, int32_t version) const;

    void LayerCheckedOut(int32_t checkout_id);
    void LayerCheckedIn(int32_t checkout_id);

    // Checks the suite and layer balance of the command that ends and
    // returns everything broken during it.
    std::vector<std::string> EndCommand();

    // Every rule broken so far, oldest first.
    const std::vector<std::string> &Violations() const noexcept { return violations_; }
    void ClearViolations() noexcept { violations_.clear(); }

private:
    void Record(std::string message);

    Strictness level_;
    PF_Cmd command_ = -1;
    std::size_t first_of_command_ = 0;
    std::map<std::pair<std::string, int32_t>, int> suites_;
    std::map<int32_t, int> layers_;
    std::vector<std::string> violations_;
};

// Throws ContractViolation listing the rules broken, when there are any.
void ThrowIfBroken(const std::vector<std::string> &broken);

}  // namespace tidalhalo::sim
