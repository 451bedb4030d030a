// The C callback tables that the host hands to the module. Every function
// in them forwards to the SimHost whose command is running.
//
// C callbacks carry no context (suite functions, for one, get no
// effect_ref), so the host instance active in the current command is found
// through a pointer set for the duration of each command. Commands of all
// hosts in the process are serialised so that the pointer is unambiguous.
#pragma once

#include "host/host_interface.h"
#include "sim/suite_registry.h"

namespace tidalhalo::sim {

class SimHost;

// Makes host the active one for its lifetime; one at a time per process.
class ActiveCommand {
public:
    explicit ActiveCommand(SimHost &host);
    ~ActiveCommand();
    ActiveCommand(const ActiveCommand &) = delete;
    ActiveCommand &operator=(const ActiveCommand &) = delete;
};

// The callback tables. The basic suite and the suites find the host through
// the active pointer; so do the others.
SPBasicSuite BasicSuiteTable() noexcept;
PF_InteractCallbacks InteractTable() noexcept;
PF_UtilCallbacks UtilTable() noexcept;
PF_PreRenderCallbacks PreRenderTable() noexcept;
PF_SmartRenderCallbacks SmartRenderTable() noexcept;

// Registers the handle, colour-parameter, world and three iterate suites.
void RegisterStandardSuites(SuiteRegistry &registry);

}  // namespace tidalhalo::sim
