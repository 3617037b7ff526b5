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

// What the host calling convention says a routine leaves as it found it,
// as it stood just before a module call and just after it.
struct KeptState {
    uint32_t ebx, esi, edi, ebp;  // callee-saved registers
    uint32_t eflags;              // of which the direction flag must stay clear
    uint16_t x87_control;
    uint16_t x87_status;  // its TOP field: how deep the x87 register stack is
    uint32_t mxcsr;       // its control bits; the status flags are sticky
};
static_assert(sizeof(KeptState) == 28);  // module_call.S writes it by offset

// Told of every module call while it is set (validate): before the call,
// and after it with the state on both sides. After an observed call the
// caller's x87 control word, MXCSR and direction flag are back as they
// were, whatever the routine left.
class ModuleCallObserver {
public:
    virtual void entering(const char* what) = 0;
    virtual void left(const char* what, bool returns_double, const KeptState& before, const KeptState& after) = 0;

protected:
    ~ModuleCallObserver() = default;
};
// Null: calls are no longer observed.
void observe_module_calls(ModuleCallObserver* observer);

// Seconds a module routine may run before the host gives up on it.
void set_module_call_timeout(double seconds);
double module_call_timeout();

// Prints "panelhost: TEXT" on its own line and ends the process at once
// with `status`, whatever other threads hold.
[[noreturn]] void stop(ExitStatus status, const char* text);
// Run by stop() first: a command's way to remove what it had half written.
// It may run on any thread and must not print. Null for none.
void set_cleanup_before_stop(void (*cleanup)());

}  // namespace panelhost
