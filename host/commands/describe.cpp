// describe: what a module's gauges hold, read from its file alone.
#include <cstdio>

#include "host/commands/command_support.h"
#include "host/commands/gauge_description.h"

namespace panelhost {

namespace {

ExitStatus describe(const Arguments& a) {
    const std::string& path = a.operands[0];
    Output out(a.format);
    CheckedRecords read = read_records(path, out);
    if (read.status != ExitStatus::ok) return read.status;
    const ModuleModel& module = read.checked.records;
    std::vector<const GaugeModel*> gauges;
    if (a.operands.size() > 1) {
        const GaugeModel* gauge = find_gauge(module, path, a.operands[1]);
        if (!gauge) return ExitStatus::bad_input;
        gauges.push_back(gauge);
    } else {
        for (const GaugeModel& g : module.gauges) gauges.push_back(&g);
    }
    if (a.format == Format::json) {
        Json doc = {{"command", "describe"}, {"module", valid_utf8(path)}, {"gauges", Json::array()}};
        for (const GaugeModel* g : gauges) doc["gauges"].push_back(gauge_json(*g));
        out.print_json(doc);
        return ExitStatus::ok;
    }
    for (size_t i = 0; i < gauges.size(); ++i) std::printf("%s%s", i ? "\n" : "", gauge_text(*gauges[i]).c_str());
    return ExitStatus::ok;
}

}  // namespace

extern const Command describe_command = {
    .name = "describe",
    .operands = {"MODULE", "GAUGE"},
    .optional_operands = 1,
    .summary = "what each gauge holds, in words",
    .description =
        "Reads MODULE's file without loading it (none of its code runs), checks it as check does, and describes "
        "GAUGE (or every gauge): its face and default size; per element in drawing order its kind, bitmaps, "
        "position (a needle's pivot), the variables it reads with their names and units, axis ranges, "
        "calibration span, rate limit and failures; and its mouse areas as a tree, each with its box on the "
        "face, cursor, help identifier, flags and key event. Variables a conversion routine reads for itself "
        "(through lookup_var) show only when the gauge runs: render warns of them.",
    .formats = {Format::text, Format::json},
    .run = describe,
};

}  // namespace panelhost
