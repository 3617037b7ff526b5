// libFuzzer target: any bytes, read as a gauge module the way `check` reads
// one. A crash, a hang, a leak or a sanitizer report is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/reader/check_module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    panelhost::Report report;
    panelhost::CheckedModule checked = panelhost::check_module_bytes(std::vector<uint8_t>(data, data + size), report);
    for (const panelhost::GaugeModel& gauge : checked.records.gauges) (void)panelhost::gauge_summary(gauge);
    (void)report.text();
    return 0;
}
