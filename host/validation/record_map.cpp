#include "host/validation/record_map.h"

#include <algorithm>
#include <cstddef>
#include <span>

#include "host/base/report.h"

namespace panelhost {

namespace {

struct FieldSpan {
    uint32_t offset, size;
    const char* name;
    bool host_owned;
};

using stored::ElementHeader;
using stored::GaugeHeader;
using stored::Icon;
using stored::MovingImage;
using stored::Needle;

constexpr uint32_t var_size = sizeof(stored::ModuleVar);
constexpr uint32_t var_host_part = var_size - offsetof(stored::ModuleVar, pointer);

// The fields every element starts with; the host keeps where it drew the
// element last and the element drawn before it.
constexpr FieldSpan element_header_fields[] = {
    {offsetof(ElementHeader, kind), 4, "kind", false},
    {offsetof(ElementHeader, bitmap), 4, "bitmap", false},
    {offsetof(ElementHeader, position), 8, "position", false},
    {offsetof(ElementHeader, previous_position), 8, "previous position", true},
    {offsetof(ElementHeader, offset), 8, "pivot offset", false},
    {offsetof(ElementHeader, gauge_header), 4, "gauge header", false},
    {offsetof(ElementHeader, previous_element), 4, "previous element", true},
    {offsetof(ElementHeader, children), 4, "child list", false},
    {offsetof(ElementHeader, failures), 4, "failure list", false},
    {offsetof(ElementHeader, image_flags), 4, "image flags", false},
    {offsetof(ElementHeader, special_flags), 4, "special-instrumentation flags", false},
    {offsetof(ElementHeader, reserved), 4, "reserved word", false},
};

// After the header; any byte of a record not listed is the host's.
constexpr FieldSpan needle_fields[] = {
    {offsetof(Needle, variable), 4, "variable token", false},
    {offsetof(Needle, calibration), 4, "calibration table", false},
    {offsetof(Needle, point_count), 4, "calibration point count", false},
    {offsetof(Needle, rate_limit), 4, "rate limit", false},
    {offsetof(Needle, routine), 4, "update routine", false},
};
constexpr FieldSpan moving_image_fields[] = {
    {offsetof(MovingImage, x_variable), 4, "x variable token", false},
    {offsetof(MovingImage, x_min), 8, "x minimum", false},
    {offsetof(MovingImage, x_max), 8, "x maximum", false},
    {offsetof(MovingImage, y_variable), 4, "y variable token", false},
    {offsetof(MovingImage, y_min), 8, "y minimum", false},
    {offsetof(MovingImage, y_max), 8, "y maximum", false},
    {offsetof(MovingImage, x_routine), 4, "x routine", false},
    {offsetof(MovingImage, y_routine), 4, "y routine", false},
};
constexpr FieldSpan icon_fields[] = {
    {offsetof(Icon, variable), 4, "variable token", false},
    {offsetof(Icon, image_count), 4, "image count", false},
};
constexpr FieldSpan gauge_header_fields[] = {
    {offsetof(GaugeHeader, version), 4, "header version", false},
    {offsetof(GaugeHeader, name), 4, "gauge name", false},
    {offsetof(GaugeHeader, element_list), 4, "element list", false},
    {offsetof(GaugeHeader, routines), 4 * stored::routine_count, "routines", false},
    {offsetof(GaugeHeader, reserved), 4, "reserved word", false},
    {offsetof(GaugeHeader, default_size_mm), 4, "default size", false},
    {offsetof(GaugeHeader, mouse_areas), 4, "mouse-area list", false},
    {offsetof(GaugeHeader, callback), 4, "gauge callback", false},
};
constexpr FieldSpan calibration_point_fields[] = {
    {offsetof(stored::CalibrationPoint, point), 8, "point", false},
    {offsetof(stored::CalibrationPoint, value), 8, "value", false},
    {offsetof(stored::CalibrationPoint, angle), 8, "angle", true},
};
constexpr FieldSpan variable_fields[] = {
    {0, 4, "variable token", false},
    {4, var_host_part, "pointer, type and values", true},
};
constexpr FieldSpan import_entry_fields[] = {
    {offsetof(stored::ImportEntry, id), 4, "identifier", false},
    {offsetof(stored::ImportEntry, pointer), 4, "service-table pointer", true},
};

// A field in `fields` covering `offset`, or (when none does and the
// record leaves the rest to the host) the host's words there.
const FieldSpan* field_in(std::span<const FieldSpan> fields, uint32_t offset) {
    for (const FieldSpan& f : fields)
        if (offset >= f.offset && offset < f.offset + f.size) return &f;
    return nullptr;
}

RecordField of_element(std::span<const FieldSpan> fields, uint32_t offset) {
    if (offset < sizeof(ElementHeader)) {
        const FieldSpan* f = field_in(element_header_fields, offset);
        return {f->name, f->host_owned};
    }
    // A variable record inside an element: its token is the module's, the rest the host's.
    if (const FieldSpan* f = field_in(fields, offset)) return {f->name, f->host_owned};
    return {format("host's bytes at offset %u", unsigned(offset)), true};
}

}  // namespace

RecordMap::RecordMap(const ModuleModel& model) {
    add(model.panels_entry, sizeof(stored::ImportEntry), RecordKind::import_entry, -1, "ImportTable's service-table entry");
    add(model.linkage, sizeof(stored::Linkage) + 4 * (model.gauges.size() + 1), RecordKind::linkage, -1,
        "Linkage (with its gauge table)");
    for (size_t g = 0; g < model.gauges.size(); ++g) {
        const GaugeModel& gauge = model.gauges[g];
        const int index = int(g);
        const std::string of = format(" of \"%s\"", escaped(gauge.name).c_str());
        add(gauge.address, sizeof(GaugeHeader), RecordKind::gauge_header, index, "gauge header" + of);
        add(gauge.header.name, gauge.name.size() + 1, RecordKind::gauge_name, index, "gauge name" + of);
        add(gauge.header.element_list, 4 * (gauge.roots.size() + 1), RecordKind::element_list, index,
            "element list" + of);
        // The areas, an end-of-parent record closing each parent, and the end of the list.
        size_t records = gauge.mouse_areas.size() + 1;
        for (const MouseArea& a : gauge.mouse_areas) records += a.record.rect_type == stored::mouse_parent;
        add(gauge.header.mouse_areas, sizeof(stored::MouseRect) * records, RecordKind::mouse_areas, index,
            "mouse-area list" + of);
        for (const ElementModel& e : gauge.elements) {
            RecordKind kind = e.kind == stored::needle         ? RecordKind::needle
                              : e.kind == stored::moving_image ? RecordKind::moving_image
                              : e.kind == stored::icon         ? RecordKind::icon
                                                               : RecordKind::static_image;
            size_t size = kind == RecordKind::needle         ? sizeof(Needle)
                          : kind == RecordKind::moving_image ? sizeof(MovingImage)
                          : kind == RecordKind::icon         ? sizeof(Icon)
                                                             : sizeof(stored::StaticImage);
            add(e.address, size, kind, index, e.name + of);
            if (e.header.children)
                add(e.header.children, 4 * (e.children.size() + 1), RecordKind::child_list, index,
                    "child list of " + e.name + of);
            if (e.header.failures)
                add(e.header.failures, sizeof(stored::FailureRecord) * (e.failures.size() + 1),
                    RecordKind::failure_list, index, "failure list of " + e.name + of);
            if (!e.calibration_points.empty())
                add(e.needle.calibration, sizeof(stored::CalibrationPoint) * e.calibration_points.size(),
                    RecordKind::calibration_table, index, "calibration table of " + e.name + of);
        }
    }
}

void RecordMap::add(uint32_t start, uint64_t size, RecordKind kind, int gauge, std::string name) {
    if (!start || !size) return;
    auto at = std::lower_bound(spans_.begin(), spans_.end(), start,
                               [](const RecordSpan& s, uint32_t a) { return s.start < a; });
    // Records shared or overlapping (a failure list two elements share): the first named keeps them.
    if (at != spans_.end() && at->start < start + size) return;
    if (at != spans_.begin() && std::prev(at)->start + std::prev(at)->size > start) return;
    spans_.insert(at, {start, uint32_t(size), kind, gauge, std::move(name)});
}

void RecordMap::add_variable(uint32_t address, int gauge, const std::string& gauge_name) {
    if (find(address)) return;
    add(address, var_size, RecordKind::variable, gauge,
        format("auxiliary variable record at 0x%08x of \"%s\"", unsigned(address), escaped(gauge_name).c_str()));
}

const RecordSpan* RecordMap::find(uint32_t address) const {
    auto at = std::upper_bound(spans_.begin(), spans_.end(), address,
                               [](uint32_t a, const RecordSpan& s) { return a < s.start; });
    if (at == spans_.begin()) return nullptr;
    const RecordSpan& s = *std::prev(at);
    return address - s.start < s.size ? &s : nullptr;
}

RecordField RecordMap::field(const RecordSpan& record, uint32_t offset) {
    switch (record.kind) {
        case RecordKind::needle: return of_element(needle_fields, offset);
        case RecordKind::moving_image: return of_element(moving_image_fields, offset);
        case RecordKind::icon: return of_element(icon_fields, offset);
        case RecordKind::static_image: return of_element({}, offset);
        case RecordKind::gauge_header: {
            if (const FieldSpan* f = field_in(gauge_header_fields, offset)) return {f->name, f->host_owned};
            return {format("host's bytes at offset %u", unsigned(offset)), true};
        }
        case RecordKind::calibration_table: {
            uint32_t point = offset / sizeof(stored::CalibrationPoint);
            const FieldSpan* f = field_in(calibration_point_fields, offset % sizeof(stored::CalibrationPoint));
            return {format("point %u's %s", unsigned(point + 1), f->name), f->host_owned};
        }
        case RecordKind::variable: {
            const FieldSpan* f = field_in(variable_fields, offset);
            return {f->name, f->host_owned};
        }
        case RecordKind::import_entry: {
            const FieldSpan* f = field_in(import_entry_fields, offset);
            return {f->name, f->host_owned};
        }
        case RecordKind::linkage:
            return {offset < sizeof(stored::Linkage) ? "fields" : format("gauge table entry %u",
                                                                          unsigned(offset - sizeof(stored::Linkage)) / 4),
                    false};
        case RecordKind::gauge_name:
        case RecordKind::element_list:
        case RecordKind::child_list:
        case RecordKind::failure_list:
        case RecordKind::mouse_areas: return {format("byte %u", unsigned(offset)), false};
    }
    return {"?", false};
}

}  // namespace panelhost
