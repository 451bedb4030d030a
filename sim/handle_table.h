// The host's memory handles: every handle made is tracked until the host
// itself is destroyed, so that a use after disposal is recognised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host_interface.h"
#include "sim/contract.h"

namespace tidalhalo::sim {

struct HandleRecord {
    // The handle points here: the host's pointer to the bytes, as a host's
    // handle is a pointer to its pointer.
    void *master = nullptr;
    int number = 0;  // h#number in messages
    std::vector<std::max_align_t> bytes;
    uint64_t size = 0;
    int locks = 0;
    int locks_at_begin = 0;
    bool disposed = false;
    bool host_owned = false;  // stored as pre_render_data: the host disposes of it
    PF_Cmd made_in = -1;
};

class HandleTable {
public:
    // Null when the size cannot be had.
    PF_Handle New(uint64_t size, PF_Cmd cmd);
    // The checks name the operation in the message.
    void *Lock(PF_Handle handle, ContractChecker &contract);
    void Unlock(PF_Handle handle, ContractChecker &contract);
    void Dispose(PF_Handle handle, ContractChecker &contract);
    uint64_t Size(PF_Handle handle, ContractChecker &contract);
    // False when the size cannot be had; the bytes kept are the same.
    bool Resize(PF_Handle handle, uint64_t new_size, ContractChecker &contract);

    // The handle became the frame's pre-render data: from now on the host's.
    // False when it is not a live handle of this table.
    bool HandOver(PF_Handle handle);
    // The host disposes of a handle it owns, after the frame.
    void DisposeOwned(PF_Handle handle) noexcept;

    void BeginCommand() noexcept;
    void EndCommand(ContractChecker &contract);

    const HandleRecord *Find(PF_Handle handle) const noexcept;
    std::string Name(PF_Handle handle) const;
    int LiveCount() const noexcept;  // made and not yet disposed of

private:
    HandleRecord *Usable(PF_Handle handle, const char *op, ContractChecker &contract);

    std::map<PF_Handle, std::unique_ptr<HandleRecord>> records_;
    int next_number_ = 1;
};

}  // namespace tidalhalo::sim
