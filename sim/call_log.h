// The record of every call a module makes into the host, and the plan of
// which calls the host makes fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace tidalhalo::sim {

struct HostCall {
    PF_Cmd command = -1;  // the command during which the module called
    std::string op;       // the operation's host name, e.g. "checkout_param"
    std::string args;     // the arguments that matter, e.g. "\"PF Handle Suite\", 2"
    PF_Err result = PF_Err_NONE;
    std::string outcome;  // what else came back: "h#1", "null", a rectangle
    bool injected = false;

    // "op(args)", the form tests compare against.
    std::string Call() const { return op + "(" + args + ")"; }
};

// How an injected failure answers.
enum class FailKind {
    Code,            // the call returns the chosen error code
    Null,            // handles and locks come back null; checkouts return 0 with no world
    RefuseNull,      // AcquireSuite: the chosen error code and a null table
    ZeroNullTable,   // AcquireSuite: 0 but a null table
    CodeWithTable    // AcquireSuite: the chosen error code and the table nonetheless
};

struct Failure {
    std::string op;          // the operation to fail
    std::string subject;     // empty: any; else the suite name (suite calls) or index (checkout_param)
    int occurrence = 0;      // 0: every matching call; n: only the n-th from when the failure was planned
    FailKind kind = FailKind::Code;
    PF_Err code = PF_Err_INTERNAL_STRUCT_DAMAGED;
};

class CallLog {
public:
    void Add(HostCall call) { calls_.push_back(std::move(call)); }
    const std::vector<HostCall> &Calls() const noexcept { return calls_; }
    void Clear() noexcept { calls_.clear(); }

    // Call() of every call during command cmd (all commands when cmd < 0),
    // optionally only those of one operation.
    std::vector<std::string> Of(PF_Cmd cmd, const std::string &op = {}) const;
    int Count(const std::string &op) const noexcept;

private:
    std::vector<HostCall> calls_;
};

class FailurePlan {
public:
    void Add(Failure failure);
    void Clear() noexcept { entries_.clear(); }
    // Counts this call against every planned failure for its operation and
    // returns the one that fires, or nullptr.
    const Failure *Match(const std::string &op, const std::string &subject) noexcept;

private:
    struct Entry {
        Failure failure;
        int seen = 0;
    };
    std::vector<Entry> entries_;
};

}  // namespace tidalhalo::sim
