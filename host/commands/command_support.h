// What the commands share: opening the module and finding a gauge with the
// right exit status, reading --set and --fail, checking output paths before
// any work is done, and the warnings about variables and failures a run was
// given but did not use, or used without being given.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/panel_host.h"
#include "host/reader/check_module.h"

namespace panelhost {

// A module file that cannot be read is bad input; one that fails its checks
// is invalid. Errors are printed, warnings go to `out`; `host` is null
// unless `status` is ok.
struct OpenedModule {
    std::unique_ptr<Host> host;
    ExitStatus status = ExitStatus::ok;
};
OpenedModule open_module(const std::string& path, Output& out);
// The module's records from its file alone, the way check reads them: none
// of its code runs. `status` is bad_input or module_invalid, with the errors
// printed, when the file cannot be read or fails its checks.
struct CheckedRecords {
    CheckedModule checked;
    ExitStatus status = ExitStatus::ok;
};
CheckedRecords read_records(const std::string& path, Output& out);
// A module's findings: errors on stderr, warnings through `out`, notes on stdout (text only).
void print_findings(const Report& report, Output& out);

// False, with the reason printed, when `path` is not a file that can be read.
bool readable_file(const std::string& path, const char* what);

// Null, with the gauges the module has printed, when there is none by that name.
const GaugeModel* find_gauge(Host& host, const std::string& name);
const GaugeModel* find_gauge(const ModuleModel& module, const std::string& path, const std::string& name);

struct FailureAt {
    uint32_t key;
    int from_row;  // play: the first CSV row it is in force on, from 1
};
// KEY, or with `rows` KEY@ROW; false with the bad one printed.
bool parse_failures(const std::vector<std::string>& fails, std::vector<FailureAt>& out, bool rows);

// --set on the host's variables; false with the bad one printed. A BCD value
// that will not read as written gets a warning.
bool apply_sets(Host& host, const std::vector<std::string>& sets, Output& out);
std::set<uint32_t> tokens_of(const std::vector<std::string>& sets);

// One line per gauge for the tokens it was given but never read (`source`:
// "--set", a CSV file), and one per failure key none of its elements lists.
void warn_unused(Output& out, Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given,
                 const std::string& source, const std::vector<FailureAt>& failures);
// One line per gauge for the variables it read that nothing set (they read 0).
void warn_unset(Output& out, Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given);
// The same for any reader of variables (a panel window's gauges), named as given.
void warn_unset(Output& out, const std::string& reader, const std::set<uint32_t>& read,
                const std::set<uint32_t>& given);
// The host's own warnings (from running the module), once each.
void print_host_warnings(Host& host, Output& out);

// Whether a file can be written at `path`, asked before the work that
// makes it: false with the real cause printed (a folder of that name, a
// missing folder on the way, a file where a folder should be).
bool output_file_possible(const std::string& path);
// Makes the folder `path` and any missing folders above it; false with the
// cause printed.
bool make_folders(const std::string& path);
bool save_png(const Image& image, const std::string& path);

}  // namespace panelhost
