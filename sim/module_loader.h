// Loads an effect module file by path and finds its entry point.
#pragma once

#include <string>

#include "host/host_interface.h"

namespace tidalhalo::sim {

class LoadedModule {
public:
    // Throws ModuleLoadError naming the path and what went wrong: the file
    // is missing, cannot be loaded as a module, or lacks EntryPointFunc.
    explicit LoadedModule(const std::string &path);
    ~LoadedModule();
    LoadedModule(const LoadedModule &) = delete;
    LoadedModule &operator=(const LoadedModule &) = delete;

    PF_FilterProc Entry() const noexcept { return entry_; }
    const std::string &Path() const noexcept { return path_; }

private:
    std::string path_;
    void *library_ = nullptr;
    PF_FilterProc entry_ = nullptr;
};

}  // namespace tidalhalo::sim
