// What the native program has where the Windows one runs module code.
#include <cstdio>

#include "host/commands/mouse_point.h"
#include "host/module_call.h"

namespace panelhost {

namespace {
// --timeout is taken as the Windows program takes it (every command does),
// with no module routine to time.
double call_timeout_seconds = 10;
}  // namespace

void set_module_call_timeout(double seconds) { call_timeout_seconds = seconds; }
double module_call_timeout() { return call_timeout_seconds; }

ExitStatus mouse_at_point(const Arguments&, long, long) {
    std::fprintf(stderr,
                 "panelhost mouse: the area under a point is found by running the gauge's code, which this native "
                 "panelhost does not do: the Windows program (host/panelhost, under Wine) does; --list lists every "
                 "area without it\n");
    return ExitStatus::bad_input;
}

}  // namespace panelhost
