// What the commands share, none of it running module code: reading the
// module's records and finding a gauge with the right exit status, reading
// --set and --fail, checking output paths before any work is done, and the
// warning about variables used without being given. What the commands that
// run a module share is in run_support.h.
#pragma once

#include <cstdint>
#include <set>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/base/image.h"
#include "host/reader/check_module.h"

namespace panelhost {

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
const GaugeModel* find_gauge(const ModuleModel& module, const std::string& path, const std::string& name);
const GaugeModel* find_gauge(const std::vector<GaugeModel>& gauges, const std::string& path, const std::string& name);

struct FailureAt {
    uint32_t key;
    int from_row;  // play: the first CSV row it is in force on, from 1
};
// KEY, or with `rows` KEY@ROW; false with the bad one printed.
bool parse_failures(const std::vector<std::string>& fails, std::vector<FailureAt>& out, bool rows);

// The tokens of --set TOKEN=VALUE assignments.
std::set<uint32_t> tokens_of(const std::vector<std::string>& sets);

// "variable 62" or "variables 62, 63"; `with_names`: "62 (airspeed)" where the catalogue names it.
std::string variable_list(const std::vector<uint32_t>& tokens, bool with_names);
// One line for the variables `reader` read that nothing set (they read 0).
void warn_unset(Output& out, const std::string& reader, const std::set<uint32_t>& read,
                const std::set<uint32_t>& given);

// Whether a file can be written at `path`, asked before the work that
// makes it: false with the real cause printed (a folder of that name, a
// missing folder on the way, a file where a folder should be).
bool output_file_possible(const std::string& path);
// An input a command reads, named for messages: {"the golden picture", path}.
struct ReadFile {
    const char* what;
    std::string path;
};
// False, with both named, when `output` is the same file as one of
// `inputs` (by the file's identity): writing it would destroy what the
// command reads.
bool output_is_no_input(const std::string& output, std::initializer_list<ReadFile> inputs);
// Makes the folder `path` and any missing folders above it; false with the
// cause printed.
bool make_folders(const std::string& path);
bool save_png(const Image& image, const std::string& path);

}  // namespace panelhost
