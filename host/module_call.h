// Calls into the module, guarded: the host calling convention checked, a
// crash or a routine that never returns reported by name and the process
// ended with its own exit status (4 crash, 5 no return, 6 convention).
#pragma once

#include <cstdint>

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

// Seconds a module routine may run before the host gives up on it.
void set_module_call_timeout(double seconds);

}  // namespace panelhost
