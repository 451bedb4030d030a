#include "sim/contract.h"

#include <cstdio>

namespace tidalhalo::sim {

void ContractChecker::BeginCommand(PF_Cmd cmd) {
    command_ = cmd;
    first_of_command_ = violations_.size();
    suites_.clear();
    layers_.clear();
}

void ContractChecker::Break(const std::string &what) { Record(what + " (command " + std::to_string(command_) + ")"); }

void ContractChecker::BreakAtEnd(const std::string &what) {
    Record(what + " at end of command " + std::to_string(command_));
}

void ContractChecker::Record(std::string message) {
    if (level_ == Strictness::Off) {
        return;
    }
    if (level_ == Strictness::Warn) {
        std::fprintf(stderr, "host contract: %s\n", message.c_str());
    }
    violations_.push_back(std::move(message));
}

void ContractChecker::SuiteAcquired(const std::string &name, int32_t version) { ++suites_[{name, version}]; }

bool ContractChecker::SuiteReleased(const std::string &name, int32_t version) {
    auto it = suites_.find({name, version});
    if (it == suites_.end() || it->second == 0) {
        Break("ReleaseSuite(\"" + name + "\", " + std::to_string(version) + ") without a matching AcquireSuite");
        return false;
    }
    --it->second;
    return true;
}

bool ContractChecker::SuiteHeld(const std::string &name, int32_t version) const {
    auto it = suites_.find({name, version});
    return it != suites_.end() && it->second > 0;
}

void ContractChecker::LayerCheckedOut(int32_t checkout_id) { ++layers_[checkout_id]; }

void ContractChecker::LayerCheckedIn(int32_t checkout_id) {
    // Checking in what never came out is harmless to a host, so it is allowed.
    auto it = layers_.find(checkout_id);
    if (it != layers_.end() && it->second > 0) {
        --it->second;
    }
}

std::vector<std::string> ContractChecker::EndCommand() {
    for (const auto &[suite, open] : suites_) {
        for (int i = 0; i < open; ++i) {
            BreakAtEnd("AcquireSuite(\"" + suite.first + "\", " + std::to_string(suite.second) +
                       ") without ReleaseSuite");
        }
    }
    for (const auto &[id, open] : layers_) {
        if (open > 0) {
            BreakAtEnd("checkout_layer_pixels(" + std::to_string(id) + ") without checkin_layer_pixels");
        }
    }
    suites_.clear();
    layers_.clear();
    return {violations_.begin() + static_cast<std::ptrdiff_t>(first_of_command_), violations_.end()};
}

void ThrowIfBroken(const std::vector<std::string> &broken) {
    if (broken.empty()) {
        return;
    }
    std::string message = "module broke the host contract:";
    for (const std::string &what : broken) {
        message += "\n  " + what;
    }
    throw ContractViolation(message);
}

}  // namespace tidalhalo::sim
