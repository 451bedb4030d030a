// The host's named, versioned function suites, as the basic suite finds them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace tidalhalo::sim {

class SuiteRegistry {
public:
    void Register(const std::string &name, int32_t version, const void *table) { tables_[{name, version}] = table; }
    // Null when no suite of that name and version is registered.
    const void *Find(const std::string &name, int32_t version) const noexcept {
        auto it = tables_.find({name, version});
        return it == tables_.end() ? nullptr : it->second;
    }

private:
    std::map<std::pair<std::string, int32_t>, const void *> tables_;
};

}  // namespace tidalhalo::sim
