#include "sim/handle_table.h"

#include <cstdio>

namespace tidalhalo::sim {
namespace {

constexpr uint64_t kLargestHandle = uint64_t{1} << 30;

}  // namespace

PF_Handle HandleTable::New(uint64_t size, PF_Cmd cmd) {
    if (size > kLargestHandle) {
        return nullptr;
    }
    auto record = std::make_unique<HandleRecord>();
    record->number = next_number_++;
    record->size = size;
    // Fresh handles hold zero bytes, so whatever the module leaves unwritten
    // is at least reproducible.
    record->bytes.assign(static_cast<std::size_t>((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)),
                         std::max_align_t{});
    record->made_in = cmd;
    record->master = record->bytes.data();
    // The master pointer's address is the handle: unique, stable, and never
    // reused because records are kept after disposal.
    PF_Handle handle = &record->master;
    records_[handle] = std::move(record);
    return handle;
}

HandleRecord *HandleTable::Usable(PF_Handle handle, const char *op, ContractChecker &contract) {
    auto it = records_.find(handle);
    if (it == records_.end()) {
        contract.Break(std::string(op) + " on " + Name(handle) + ", which the host never made");
        return nullptr;
    }
    if (it->second->disposed) {
        contract.Break(std::string(op) + " on a disposed handle (" + Name(handle) + ")");
        return nullptr;
    }
    return it->second.get();
}

void *HandleTable::Lock(PF_Handle handle, ContractChecker &contract) {
    HandleRecord *record = Usable(handle, "host_lock_handle", contract);
    if (record == nullptr) {
        return nullptr;
    }
    ++record->locks;
    return record->bytes.data();
}

void HandleTable::Unlock(PF_Handle handle, ContractChecker &contract) {
    HandleRecord *record = Usable(handle, "host_unlock_handle", contract);
    if (record == nullptr) {
        return;
    }
    if (record->locks == 0) {
        contract.Break("host_unlock_handle(" + Name(handle) + ") on a handle that is not locked");
        return;
    }
    --record->locks;
}

void HandleTable::Dispose(PF_Handle handle, ContractChecker &contract) {
    HandleRecord *record = Usable(handle, "host_dispose_handle", contract);
    if (record == nullptr) {
        return;
    }
    if (record->host_owned) {
        contract.Break("host_dispose_handle(" + Name(handle) + ") on the host's pre_render_data");
        return;
    }
    if (record->locks > 0) {
        contract.Break("host_dispose_handle(" + Name(handle) + ") on a locked handle");
    }
    record->disposed = true;
    record->locks = 0;
    record->bytes.clear();
    record->bytes.shrink_to_fit();
    record->master = nullptr;
}

uint64_t HandleTable::Size(PF_Handle handle, ContractChecker &contract) {
    HandleRecord *record = Usable(handle, "host_get_handle_size", contract);
    return record == nullptr ? 0 : record->size;
}

bool HandleTable::Resize(PF_Handle handle, uint64_t new_size, ContractChecker &contract) {
    HandleRecord *record = Usable(handle, "host_resize_handle", contract);
    if (record == nullptr || new_size > kLargestHandle) {
        return false;
    }
    if (record->locks > 0) {
        contract.Break("host_resize_handle(" + Name(handle) + ") on a locked handle");
        return false;
    }
    record->bytes.resize(static_cast<std::size_t>((new_size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)),
                         std::max_align_t{});
    record->size = new_size;
    record->master = record->bytes.data();
    return true;
}

bool HandleTable::HandOver(PF_Handle handle) {
    auto it = records_.find(handle);
    if (it == records_.end() || it->second->disposed) {
        return false;
    }
    it->second->host_owned = true;
    return true;
}

void HandleTable::DisposeOwned(PF_Handle handle) noexcept {
    auto it = records_.find(handle);
    if (it == records_.end() || it->second->disposed) {
        return;
    }
    HandleRecord &record = *it->second;
    record.disposed = true;
    record.locks = 0;
    record.bytes.clear();
    record.bytes.shrink_to_fit();
    record.master = nullptr;
}

void HandleTable::BeginCommand() noexcept {
    for (auto &[handle, record] : records_) {
        record->locks_at_begin = record->locks;
    }
}

void HandleTable::EndCommand(ContractChecker &contract) {
    for (auto &[handle, record] : records_) {
        if (!record->disposed && record->locks > record->locks_at_begin) {
            contract.BreakAtEnd("host_lock_handle(" + Name(handle) + ") without host_unlock_handle");
        }
        if (!record->disposed && !record->host_owned && record->made_in == contract.Command()) {
            contract.BreakAtEnd("host_new_handle gave " + Name(handle) +
                                ", neither disposed of nor handed over as pre_render_data,");
        }
        // A handle left behind is reported once, by the command that made it.
        record->made_in = -1;
        record->locks = record->locks_at_begin;
    }
}

const HandleRecord *HandleTable::Find(PF_Handle handle) const noexcept {
    auto it = records_.find(handle);
    return it == records_.end() ? nullptr : it->second.get();
}

std::string HandleTable::Name(PF_Handle handle) const {
    if (handle == nullptr) {
        return "a null handle";
    }
    auto it = records_.find(handle);
    if (it == records_.end()) {
        char text[32];
        std::snprintf(text, sizeof text, "handle %p", static_cast<void *>(handle));
        return text;
    }
    return "h#" + std::to_string(it->second->number);
}

int HandleTable::LiveCount() const noexcept {
    int live = 0;
    for (const auto &[handle, record] : records_) {
        live += record->disposed ? 0 : 1;
    }
    return live;
}

}  // namespace tidalhalo::sim
