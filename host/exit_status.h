// panelhost's exit statuses: one list, used by the command line, by the
// guard that ends the process when a module call goes wrong, and by --help.
#pragma once

#include <span>

namespace panelhost {

enum class ExitStatus : int {
    ok = 0,
    bad_input = 1,          // bad command line, or an input file that cannot be read
    module_invalid = 2,     // the module failed its checks
    pictures_differ = 2,    // a picture is not the one expected (render --expect, compare): a failed check too
    service_misuse = 3,     // it called a service this host lacks, or passed one a record not its own
    module_crashed = 4,
    module_hung = 5,        // a routine ran longer than --timeout
    calling_convention = 6, // a routine did not remove its own arguments
    host_fault = 7,         // panelhost itself failed (a fault outside any module call)
    encoder_failed = 8,     // no ffmpeg to make the video, or it failed
};

constexpr int code(ExitStatus status) { return static_cast<int>(status); }

struct ExitStatusText {
    ExitStatus status;
    const char* meaning;
};

// What each status means, for --help and the README.
constexpr ExitStatusText exit_status_texts[] = {
    {ExitStatus::ok, "done (for check: the module passed)"},
    {ExitStatus::bad_input, "bad command line, or an input file (module, CSV) that cannot be read"},
    {ExitStatus::module_invalid,
     "the module is invalid: it failed its checks (render --expect, compare: the pictures differ; validate: a "
     "test failed)"},
    {ExitStatus::service_misuse,
     "the module called a panel service this host does not provide, or passed one a record that is not its own"},
    {ExitStatus::module_crashed, "the module crashed"},
    {ExitStatus::module_hung, "a module routine ran longer than --timeout"},
    {ExitStatus::calling_convention, "a module routine broke the host calling convention (callee removes its arguments)"},
    {ExitStatus::host_fault, "panelhost itself failed (an internal fault); it says where"},
    {ExitStatus::encoder_failed, "no ffmpeg to make the video, or it failed: no video was written"},
};

}  // namespace panelhost
