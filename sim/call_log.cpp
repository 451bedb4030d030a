#include "sim/call_log.h"

namespace tidalhalo::sim {

std::vector<std::string> CallLog::Of(PF_Cmd cmd, const std::string &op) const {
    std::vector<std::string> out;
    for (const HostCall &call : calls_) {
        if ((cmd < 0 || call.command == cmd) && (op.empty() || call.op == op)) {
            out.push_back(call.Call());
        }
    }
    return out;
}

int CallLog::Count(const std::string &op) const noexcept {
    int n = 0;
    for (const HostCall &call : calls_) {
        n += call.op == op ? 1 : 0;
    }
    return n;
}

void FailurePlan::Add(Failure failure) { entries_.push_back(Entry{std::move(failure), 0}); }

const Failure *FailurePlan::Match(const std::string &op, const std::string &subject) noexcept {
    const Failure *fired = nullptr;
    for (Entry &entry : entries_) {
        if (entry.failure.op != op || (!entry.failure.subject.empty() && entry.failure.subject != subject)) {
            continue;
        }
        ++entry.seen;
        if (fired == nullptr && (entry.failure.occurrence == 0 || entry.failure.occurrence == entry.seen)) {
            fired = &entry.failure;
        }
    }
    return fired;
}

}  // namespace tidalhalo::sim
