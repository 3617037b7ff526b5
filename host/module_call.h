// Calls into the module, guarded: the host calling convention checked, a
// crash or a routine that never returns reported by name and the process
// ended with its own exit status (4 crash, 5 no return, 6 convention). Any
// other fault in the process — panelhost's own — ends it too, with one line
// and exit status 7, never in a debugger or a wait.
#pragma once

#include <cstdint>

#include "host/exit_status.h"

namespace panelhost {

// `what` names the call in messages and must stay valid during it.
double call_module_double(const char* what, const void* routine, const uint32_t* args, uint32_t count);
void call_module(const char* what, const void* routine, const uint32_t* args, uint32_t count);

// For module code the host does not call itself (the entry routine, run by
// the loader): the crash and time guard over a scope.
class ModuleCallScope {
public:
    explicit ModuleCallScope(const char* what);
    ~ModuleCallScope();
    ModuleCallScope(const ModuleCallScope&) = delete;
    ModuleCallScope& operator=(const ModuleCallScope&) = delete;
};

// The host's own work inside a module call (a panel service): a fault here
// is panelhost's, not the module's, so the module guard steps aside; the
// call keeps its start time, so a routine that loops calling services
// still runs out of time.
class HostWorkScope {
public:
    HostWorkScope();
    ~HostWorkScope();
    HostWorkScope(const HostWorkScope&) = delete;
    HostWorkScope& operator=(const HostWorkScope&) = delete;

private:
    unsigned long paused_;
    const char* saved_;
};

// Seconds a module routine may run before the host gives up on it.
void set_module_call_timeout(double seconds);

// Prints "panelhost: TEXT" on its own line and ends the process at once
// with `status`, whatever other threads hold.
[[noreturn]] void stop(ExitStatus status, const char* text);

}  // namespace panelhost
