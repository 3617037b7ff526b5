#include "host/reader/check_module.h"

namespace panelhost {

namespace {

CheckedModule check(std::unique_ptr<ModuleFile> file, size_t errors_before, Report& report) {
    CheckedModule checked;
    checked.file = std::move(file);
    // A wrong image base was reported once; every record would only repeat it.
    if (checked.file && checked.file->addresses_agree_with_base())
        checked.records = read_module(*checked.file, checked.file->import_table(), checked.file->linkage(),
                                      checked.file->bitmaps(), report);
    checked.passed = checked.file && report.count(Finding::Error) == errors_before;
    return checked;
}

}  // namespace

CheckedModule check_module_file(const std::string& path, Report& report) {
    size_t errors = report.count(Finding::Error);
    return check(ModuleFile::open(path, report), errors, report);
}

CheckedModule check_module_bytes(std::vector<uint8_t> bytes, Report& report) {
    size_t errors = report.count(Finding::Error);
    return check(ModuleFile::parse(std::move(bytes), report), errors, report);
}

std::string gauge_summary(const GaugeModel& g) {
    int needles = 0, calibrated = 0, moving = 0, icons = 0, clickable = 0;
    for (const ElementModel& e : g.elements) {
        needles += e.kind == stored::needle;
        calibrated += !e.calibration.empty();
        moving += e.kind == stored::moving_image;
        icons += e.kind == stored::icon;
    }
    for (const MouseArea& a : g.mouse_areas) clickable += a.record.event_id != 0;
    return format("%d \"%s\": face %d x %d, %zu elements (%d needles, %d calibrated; %d moving images; %d icons), "
                  "%zu mouse areas (%d send key events)",
                  g.table_index, escaped(g.name).c_str(), g.width, g.height, g.elements.size(), needles, calibrated,
                  moving, icons, g.mouse_areas.size(), clickable);
}

}  // namespace panelhost
