// The linter: a module file read and every record checked, without loading
// it, so none of the module's code runs (not its entry routine, not its
// init or deinit routine). Commands that run a module check it this way
// before they load it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/reader/gauge_model.h"
#include "host/reader/module_file.h"
#include "host/base/report.h"

namespace panelhost {

struct CheckedModule {
    std::unique_ptr<ModuleFile> file;  // null when the file's headers could not be followed
    ModuleModel records;               // at the module's preferred base
    bool passed = false;               // no error found
};

CheckedModule check_module_file(const std::string& path, Report& report);
CheckedModule check_module_bytes(std::vector<uint8_t> bytes, Report& report);

// `0 "Airspeed": face 278 x 278, 2 elements (1 needles, 1 calibrated; ...), 3 mouse areas (0 send key events)`
std::string gauge_summary(const GaugeModel& gauge);

}  // namespace panelhost
