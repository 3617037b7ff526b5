// check: every record read only after it is checked; what the module holds.
#include <cstdio>

#include "host/commands/command_support.h"
#include "host/reader/check_module.h"

namespace panelhost {

namespace {

const char* level_name(Finding::Level level) {
    switch (level) {
        case Finding::Error: return "error";
        case Finding::Warning: return "warning";
        case Finding::Note: return "note";
    }
    return "?";
}

// Every format reads a finding through these two, so what a finding carries
// is turned into output in one place.
std::string finding_line(const Finding& f) {
    return f.level == Finding::Note ? f.text : std::string(level_name(f.level)) + ": " + f.text;
}
Json finding_json(const Finding& f) { return {{"level", level_name(f.level)}, {"text", valid_utf8(f.text)}}; }

struct GaugeSummary {
    const GaugeModel* gauge;
    int needles = 0, calibrated = 0, moving = 0, icons = 0, clickable = 0;
};

GaugeSummary summarise(const GaugeModel& g) {
    GaugeSummary s{&g};
    for (const ElementModel& e : g.elements) {
        s.needles += e.kind == stored::needle;
        s.calibrated += !e.calibration.empty();
        s.moving += e.kind == stored::moving_image;
        s.icons += e.kind == stored::icon;
    }
    for (const MouseArea& a : g.mouse_areas) s.clickable += a.record.event_id != 0;
    return s;
}

Json summary_json(const GaugeSummary& s) {
    const GaugeModel& g = *s.gauge;
    return {{"index", g.table_index},
            {"name", valid_utf8(g.name)},
            {"face", {{"width", g.width}, {"height", g.height}}},
            {"elements", g.elements.size()},
            {"needles", s.needles},
            {"calibrated_needles", s.calibrated},
            {"moving_images", s.moving},
            {"icons", s.icons},
            {"mouse_areas", g.mouse_areas.size()},
            {"clickable_areas", s.clickable}};
}

ExitStatus check(const Arguments& a) {
    const std::string& path = a.operands[0];
    if (!readable_file(path, "module")) return ExitStatus::bad_input;
    Report report;
    // The file alone: none of the module's code runs.
    CheckedModule checked = check_module_file(path, report);
    std::vector<GaugeSummary> gauges;
    if (checked.passed)
        for (const GaugeModel& g : checked.records.gauges) gauges.push_back(summarise(g));
    const size_t errors = report.count(Finding::Error), warnings = report.count(Finding::Warning);
    size_t elements = 0;
    for (const GaugeSummary& s : gauges) elements += s.gauge->elements.size();
    const bool passed = checked.passed;

    switch (a.format) {
        case Format::text:
            for (const Finding& f : report.findings)
                std::fprintf(f.level == Finding::Note ? stdout : stderr, "%s\n", finding_line(f).c_str());
            for (const GaugeSummary& s : gauges) std::printf("%s\n", gauge_summary(*s.gauge).c_str());
            if (passed)
                std::printf("%s: OK, %zu gauges, %zu elements, %zu warning(s)\n", path.c_str(), gauges.size(),
                            elements, warnings);
            else
                std::printf("%s: FAILED, %zu error(s), %zu warning(s)\n", path.c_str(), errors, warnings);
            break;
        case Format::json: {
            Json doc = {{"command", "check"}, {"module", valid_utf8(path)}, {"passed", passed},
                        {"errors", errors},   {"warnings_found", warnings}, {"findings", Json::array()},
                        {"gauges", Json::array()}};
            for (const Finding& f : report.findings) doc["findings"].push_back(finding_json(f));
            for (const GaugeSummary& s : gauges) doc["gauges"].push_back(summary_json(s));
            Output(a.format).print_json(doc);
            break;
        }
        case Format::junit: {
            // One case for reading the module as a whole, one per gauge read.
            JunitCase records{"module records", "check"};
            for (const Finding& f : report.findings) {
                if (f.level == Finding::Error) records.failures.push_back(f.text);
                else records.output += finding_line(f) + "\n";
            }
            JunitSuite suite{path, {records}};
            for (const GaugeSummary& s : gauges)
                suite.cases.push_back(
                    {format("gauge \"%s\"", escaped(s.gauge->name).c_str()), "check", {}, gauge_summary(*s.gauge)});
            std::fputs(junit_xml("panelhost check", {&suite, 1}).c_str(), stdout);
            break;
        }
    }
    return passed ? ExitStatus::ok : ExitStatus::module_invalid;
}

}  // namespace

extern const Command check_command = {
    .name = "check",
    .operands = {"MODULE"},
    .summary = "check every record; list what is there",
    .description =
        "Reads MODULE's file without loading it (none of its code runs) and checks its headers, sections and "
        "directories, then every record before reading it: pointers inside a section that allows their use, lists "
        "ended within bounds, no child cycles, sane counts, every bitmap present and readable (a moving image's "
        "mask at bitmap + 1 too), needle pivots inside their bitmaps, calibration tables in one clockwise turn. "
        "Lists the gauges found; exit status 2 if anything is wrong.",
    .formats = {Format::text, Format::json, Format::junit},
    .run = check,
};

}  // namespace panelhost
