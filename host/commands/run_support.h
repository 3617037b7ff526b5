// What the commands that run a module's code share: opening the module for
// the host, finding a gauge in the host's copy, --set on its variables, and
// the warnings about variables and failures a run was given but did not
// use, or used without being given.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/commands/command_support.h"
#include "host/panel_host.h"

namespace panelhost {

// A module file that cannot be read is bad input; one that fails its checks
// is invalid. Errors are printed, warnings go to `out`; `host` is null
// unless `status` is ok.
struct OpenedModule {
    std::unique_ptr<Host> host;
    ExitStatus status = ExitStatus::ok;
};
OpenedModule open_module(const std::string& path, Output& out);

// Null, with the gauges the module has printed, when there is none by that name.
const GaugeModel* find_gauge(Host& host, const std::string& name);

// --set on the host's variables; false with the bad one printed. A BCD value
// that will not read as written gets a warning.
bool apply_sets(Host& host, const std::vector<std::string>& sets, Output& out);

// One line per gauge for the tokens it was given but never read (`source`:
// "--set", a CSV file), and one per failure key none of its elements lists.
void warn_unused(Output& out, Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given,
                 const std::string& source, const std::vector<FailureAt>& failures);
// One line per gauge for the variables it read that nothing set (they read 0).
void warn_unset(Output& out, Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given);
// The host's own warnings (from running the module), once each.
void print_host_warnings(Host& host, Output& out);

}  // namespace panelhost
