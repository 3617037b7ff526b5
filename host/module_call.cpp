#include "host/module_call.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

extern "C" double panelhost_call_returning_double(const void* routine, const uint32_t* args, uint32_t count,
                                                  int32_t* imbalance);
extern "C" void panelhost_call_returning_nothing(const void* routine, const uint32_t* args, uint32_t count,
                                                 int32_t* imbalance);
extern "C" double panelhost_call_observed_double(const void* routine, const uint32_t* args, uint32_t count,
                                                 int32_t* imbalance, panelhost::KeptState* states);
extern "C" void panelhost_call_observed_nothing(const void* routine, const uint32_t* args, uint32_t count,
                                                int32_t* imbalance, panelhost::KeptState* states);

namespace panelhost {

namespace {

// What the module is doing now, for the crash handler and the watchdog
// thread: a text the caller keeps alive for the call (copying it would cost
// more than most conversion routines take).
std::atomic<const char*> current_call{""};
std::atomic<DWORD> call_started{0};  // tick count when the call began; 0 when none
std::atomic<DWORD> call_timeout_ms{10000};

// A crash inside the module: what and where, for the watchdog to report.
std::atomic<const char*> crash_what{nullptr};
std::atomic<uintptr_t> crash_address{0};
std::atomic<bool> watchdog_running{false};

ModuleCallObserver* call_observer = nullptr;

const char* exception_name(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION: return "an access violation";
        case EXCEPTION_ILLEGAL_INSTRUCTION: return "an illegal instruction";
        case EXCEPTION_PRIV_INSTRUCTION: return "a privileged instruction";
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return "an integer division by zero";
        case EXCEPTION_STACK_OVERFLOW: return "a stack overflow";
        case EXCEPTION_IN_PAGE_ERROR: return "an in-page error";
        case EXCEPTION_DATATYPE_MISALIGNMENT: return "a misaligned access";
        default: return nullptr;
    }
}

// Runs on the crashed thread, possibly with almost no stack left (a routine
// that recursed without end): it only records the crash and waits, and the
// watchdog thread, on a stack of its own, reports it and ends the process.
LONG CALLBACK module_crashed(EXCEPTION_POINTERS* info) {
    if (!call_started.load()) return EXCEPTION_CONTINUE_SEARCH;
    const char* what = exception_name(info->ExceptionRecord->ExceptionCode);
    if (!what) return EXCEPTION_CONTINUE_SEARCH;
    crash_address.store(uintptr_t(info->ExceptionRecord->ExceptionAddress));
    crash_what.store(what);
    for (;;) __asm__ volatile("pause");
}

// Any fault no one handled: panelhost's own. One line, never the debugger.
LONG WINAPI host_faulted(EXCEPTION_POINTERS* info) {
    static char text[200];
    const char* what = exception_name(info->ExceptionRecord->ExceptionCode);
    std::snprintf(text, sizeof text, "internal fault: panelhost itself stopped with %s (exception 0x%08lx) at 0x%08lx",
                  what ? what : "an exception", (unsigned long)info->ExceptionRecord->ExceptionCode,
                  (unsigned long)uintptr_t(info->ExceptionRecord->ExceptionAddress));
    stop(ExitStatus::host_fault, text);
}

void host_terminated() {
    const char* what = "an exception nothing caught";
    try {
        if (std::exception_ptr e = std::current_exception()) std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
        what = "out of memory";
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    char text[300];
    std::snprintf(text, sizeof text, "internal fault: panelhost itself stopped: %s", what);
    stop(ExitStatus::host_fault, text);
}

// Installed before main, so no fault in the process goes unreported.
const bool fault_guard_installed = [] {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(host_faulted);
    std::set_terminate(host_terminated);
    return true;
}();

DWORD WINAPI watchdog(void*) {
    watchdog_running.store(true);
    for (;;) {
        Sleep(20);
        char text[700];
        if (const char* what = crash_what.load()) {
            std::snprintf(text, sizeof text, "the module crashed with %s at 0x%08lx in %s", what,
                          (unsigned long)crash_address.load(), current_call.load());
            stop(ExitStatus::module_crashed, text);
        }
        DWORD started = call_started.load(), timeout = call_timeout_ms.load();
        if (started && GetTickCount() - started > timeout) {
            // Whole numbers only: formatting a double may need the loader
            // lock, which a hanging entry routine holds.
            std::snprintf(text, sizeof text, "the module's %s has not returned after %lu.%lu s", current_call.load(),
                          (unsigned long)timeout / 1000, (unsigned long)timeout % 1000 / 100);
            stop(ExitStatus::module_hung, text);
        }
    }
}

void install_module_guard() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    AddVectoredExceptionHandler(1, module_crashed);
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    // A new thread starts under the loader lock; were the first guarded
    // call the loading of a module whose entry routine hangs or crashes,
    // the watchdog would never start. Wait until it has.
    while (!watchdog_running.load()) Sleep(1);
}

void check_balance(const char* what, int32_t imbalance, uint32_t count) {
    if (imbalance == 0) return;
    char text[700];
    std::snprintf(text, sizeof text,
                  "the module's %s does not use the host calling convention: it %s %ld bytes of stack where it should "
                  "remove its %u argument word(s)",
                  what, imbalance < 0 ? "left" : "removed", (long)std::labs(imbalance), unsigned(count));
    stop(ExitStatus::calling_convention, text);
}

}  // namespace

namespace {
std::atomic<void (*)()> cleanup_before_stop{nullptr};
}  // namespace

void set_cleanup_before_stop(void (*cleanup)()) { cleanup_before_stop.store(cleanup); }

void stop(ExitStatus status, const char* text) {
    if (auto cleanup = cleanup_before_stop.exchange(nullptr)) cleanup();
    // WriteFile rather than stdio: this may run on a thread with almost no
    // stack, or while another thread holds stdio's lock.
    std::fflush(stdout);
    char line[1024];
    int length = std::snprintf(line, sizeof line, "panelhost: %s\n", text);
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, DWORD(std::min<int>(length, sizeof line - 1)), &written, nullptr);
    // Not ExitProcess: the stuck call may hold the loader lock (a hanging
    // entry routine), and ending the process must not wait for it.
    TerminateProcess(GetCurrentProcess(), UINT(code(status)));
    ExitProcess(UINT(code(status)));
}

ModuleCallScope::ModuleCallScope(const char* what) {
    install_module_guard();
    current_call.store(what);
    DWORD now = GetTickCount();
    call_started.store(now ? now : 1);
}

ModuleCallScope::~ModuleCallScope() { call_started.store(0); }

HostWorkScope::HostWorkScope() : paused_(call_started.exchange(0)), saved_(current_call.load()) {}

HostWorkScope::~HostWorkScope() {
    current_call.store(saved_);
    call_started.store(DWORD(paused_));
}

void set_module_call_timeout(double seconds) {
    // Past the largest count of milliseconds a DWORD holds, the conversion
    // would give 0 and every call would time out at once.
    call_timeout_ms.store(DWORD(std::clamp(seconds * 1000, 1.0, 4e9)));
}

void observe_module_calls(ModuleCallObserver* observer) { call_observer = observer; }

double module_call_timeout() { return call_timeout_ms.load() / 1000.0; }

double call_module_double(const char* what, const void* routine, const uint32_t* args, uint32_t count) {
    int32_t imbalance = 0;
    double result;
    ModuleCallObserver* observer = call_observer;
    KeptState states[2];
    if (observer) observer->entering(what);
    {
        ModuleCallScope scope(what);
        result = observer ? panelhost_call_observed_double(routine, args, count, &imbalance, states)
                          : panelhost_call_returning_double(routine, args, count, &imbalance);
    }
    check_balance(what, imbalance, count);
    if (observer) observer->left(what, true, states[0], states[1]);
    return result;
}

void call_module(const char* what, const void* routine, const uint32_t* args, uint32_t count) {
    int32_t imbalance = 0;
    ModuleCallObserver* observer = call_observer;
    KeptState states[2];
    if (observer) observer->entering(what);
    {
        ModuleCallScope scope(what);
        if (observer) panelhost_call_observed_nothing(routine, args, count, &imbalance, states);
        else panelhost_call_returning_nothing(routine, args, count, &imbalance);
    }
    check_balance(what, imbalance, count);
    if (observer) observer->left(what, false, states[0], states[1]);
}

}  // namespace panelhost
