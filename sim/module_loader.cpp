#include "sim/module_loader.h"

#include <filesystem>
#include <system_error>

#include "sim/sim_types.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tidalhalo::sim {
namespace {

#ifdef _WIN32
void *OpenLibrary(const std::string &path, std::string &why) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        why = "LoadLibrary failed with error " + std::to_string(GetLastError());
    }
    return reinterpret_cast<void *>(library);
}

void *FindSymbol(void *library, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
void *OpenLibrary(const std::string &path, std::string &why) {
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *error = dlerror();
        why = error != nullptr ? error : "dlopen failed";
    }
    return library;
}

void *FindSymbol(void *library, const char *name) { return dlsym(library, name); }

void CloseLibrary(void *library) { dlclose(library); }
#endif

}  // namespace

LoadedModule::LoadedModule(const std::string &path) : path_(path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw ModuleLoadError("module file not found: " + path);
    }
    std::string why;
    library_ = OpenLibrary(path, why);
    if (library_ == nullptr) {
        throw ModuleLoadError("not a loadable module: " + path + " (" + why + ")");
    }
    // The symbol is a function; converting the data pointer that the loader
    // returns is how both platforms hand functions out.
    void *symbol = FindSymbol(library_, PF_ENTRY_POINT_NAME);
    if (symbol == nullptr) {
        CloseLibrary(library_);
        throw ModuleLoadError("module has no " PF_ENTRY_POINT_NAME " export: " + path);
    }
    entry_ = reinterpret_cast<PF_FilterProc>(symbol);
}

LoadedModule::~LoadedModule() { CloseLibrary(library_); }

}  // namespace tidalhalo::sim
