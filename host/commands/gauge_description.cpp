#include "host/commands/gauge_description.h"

#include <algorithm>
#include <set>

#include "host/record_words.h"
#include "host/base/report.h"

namespace panelhost {

namespace {

Json optional_variable_json(uint32_t token) { return token ? variable_json(token) : Json(nullptr); }

// A routine's address, null when there is none.
Json address_json(uint32_t address) { return address ? Json(address) : Json(nullptr); }

std::string address_text(uint32_t address) { return address ? format("0x%08X", unsigned(address)) : "none"; }

Json size_json(const Bitmap* bitmap) {
    return {{"width", bitmap->picture.width}, {"height", bitmap->picture.height}};
}

// Every variable token the elements name, in token order.
std::set<uint32_t> element_tokens(const GaugeModel& gauge) {
    std::set<uint32_t> tokens;
    for (const ElementModel& e : gauge.elements) {
        if (e.kind == stored::needle) tokens.insert(e.needle.variable.id);
        if (e.kind == stored::moving_image) tokens.insert({e.moving.x_variable.id, e.moving.y_variable.id});
        if (e.kind == stored::icon) tokens.insert(e.icon.variable.id);
    }
    tokens.erase(0);
    return tokens;
}

struct Axis {
    const char* name;
    const stored::ModuleVar& variable;
    double min, max;
    uint32_t routine;
    // An axis with no variable and no routine does not move.
    bool driven() const { return variable.id || routine; }
};

std::pair<Axis, Axis> axes_of(const stored::MovingImage& m) {
    return {{"x axis", m.x_variable, m.x_min, m.x_max, m.x_routine},
            {"y axis", m.y_variable, m.y_min, m.y_max, m.y_routine}};
}

Json axis_json(const Axis& axis) {
    if (!axis.driven()) return nullptr;
    return {{"variable", optional_variable_json(axis.variable.id)},
            {"min", axis.min},
            {"max", axis.max},
            {"routine", address_json(axis.routine)}};
}

std::string variable_or_none(uint32_t token) { return token ? "variable " + variable_text(token) : "no variable"; }

Json calibration_json(const ElementModel& e) {
    if (e.calibration.empty()) return nullptr;
    Json points = Json::array();
    for (size_t i = 0; i < e.calibration.size(); ++i) {
        const stored::CalibrationPoint& p = e.calibration_points[i];
        points.push_back({{"x", p.point.x}, {"y", p.point.y}, {"value", p.value}, {"angle", e.calibration[i].angle}});
    }
    const CalibrationPoint &first = e.calibration.front(), &last = e.calibration.back();
    return {{"points", points},
            {"first", {{"value", first.value}, {"angle", first.angle}}},
            {"last", {{"value", last.value}, {"angle", last.angle}}},
            {"sweep", last.sweep}};
}

std::string calibration_text(const ElementModel& e) {
    if (e.calibration.empty()) return "none: the routine's result is the needle's angle in degrees";
    const CalibrationPoint &first = e.calibration.front(), &last = e.calibration.back();
    return format("%zu points, %g at %.1f deg to %g at %.1f deg (clockwise from three o'clock), a sweep of %.1f deg",
                  e.calibration.size(), first.value, first.angle, last.value, last.angle, last.sweep);
}

std::string failures_text(const ElementModel& e) {
    std::string text;
    for (const stored::FailureRecord& f : e.failures) {
        text += format("%skey %u %s", text.empty() ? "" : ", ", unsigned(f.key), failure_action_name(f.action));
        if (f.action != stored::fail_freeze && f.action != stored::fail_zero)
            text += format(" (action %u, ignored by this host)", unsigned(f.action));
    }
    return text.empty() ? "none" : text;
}

Json element_json(const GaugeModel& gauge, size_t index) {
    const ElementModel& e = gauge.elements[index];
    Json children = Json::array();
    for (int c : e.children) children.push_back(c + 1);
    Json failures = Json::array();
    for (const stored::FailureRecord& f : e.failures)
        failures.push_back({{"key", f.key}, {"action", f.action}, {"action_name", failure_action_name(f.action)}});
    Json out = {{"index", index + 1},
                {"kind", element_kind_name(e.kind)},
                {"bitmap", e.header.bitmap},
                {"bitmap_size", size_json(e.picture)},
                {"position", {{"x", e.header.position.x}, {"y", e.header.position.y}}},
                {"parent", e.parent < 0 ? Json(nullptr) : Json(e.parent + 1)},
                {"children", children},
                {"image_flags", e.header.image_flags},
                {"failures", failures}};
    if (e.kind == stored::needle) {
        out["pivot"] = {{"x", e.header.offset.x}, {"y", e.header.offset.y}};
        out["variable"] = optional_variable_json(e.needle.variable.id);
        out["routine"] = address_json(e.needle.routine);
        out["calibration"] = calibration_json(e);
        out["rate_limit"] = e.needle.rate_limit;
    } else if (e.kind == stored::moving_image) {
        out["window"] = {{"bitmap", e.header.bitmap + 1},
                         {"width", e.window->picture.width},
                         {"height", e.window->picture.height}};
        auto [x, y] = axes_of(e.moving);
        out["x_axis"] = axis_json(x);
        out["y_axis"] = axis_json(y);
    } else if (e.kind == stored::icon) {
        out["variable"] = optional_variable_json(e.icon.variable.id);
        out["image_count"] = e.icon.image_count;
    }
    return out;
}

std::string element_text(const GaugeModel& gauge, size_t index) {
    const ElementModel& e = gauge.elements[index];
    const stored::ElementHeader& h = e.header;
    const Image& picture = e.picture->picture;
    std::string place;
    if (e.kind == stored::needle)
        place = format("pivot %d, %d of the bitmap on %d, %d", int(h.offset.x), int(h.offset.y), int(h.position.x),
                       int(h.position.y));
    else if (e.kind == stored::moving_image)
        place = format("seen through window mask %u (%d x %d) at %d, %d", unsigned(h.bitmap + 1),
                       e.window->picture.width, e.window->picture.height, int(h.position.x), int(h.position.y));
    else
        place = format("at %d, %d", int(h.position.x), int(h.position.y));
    std::string where = "root";
    if (e.parent >= 0) {
        const std::vector<int>& siblings = gauge.elements[size_t(e.parent)].children;
        long number = std::find(siblings.begin(), siblings.end(), int(index)) - siblings.begin() + 1;
        where = format("child %ld of element %d", number, e.parent + 1);
    }
    std::string text = format("    %zu %s, bitmap %u (%d x %d), %s; %s\n", index + 1, element_kind_name(e.kind),
                              unsigned(h.bitmap), picture.width, picture.height, place.c_str(), where.c_str());
    const char* detail = "        ";
    if (e.kind == stored::needle) {
        text += format("%s%s, conversion routine %s\n", detail, variable_or_none(e.needle.variable.id).c_str(),
                       address_text(e.needle.routine).c_str());
        text += format("%scalibration: %s\n", detail, calibration_text(e).c_str());
        text += format("%srate limit: %s\n", detail,
                       e.needle.rate_limit ? format("%d deg per update", int(e.needle.rate_limit)).c_str() : "none");
    } else if (e.kind == stored::moving_image) {
        auto [x, y] = axes_of(e.moving);
        for (const Axis& axis : {x, y}) {
            if (!axis.driven()) {
                text += format("%s%s: not driven\n", detail, axis.name);
                continue;
            }
            text += format("%s%s: %s, range %g to %g, conversion routine %s\n", detail, axis.name,
                           variable_or_none(axis.variable.id).c_str(), axis.min, axis.max,
                           address_text(axis.routine).c_str());
        }
    } else if (e.kind == stored::icon) {
        text += format("%s%s, %u image(s)\n", detail, variable_or_none(e.icon.variable.id).c_str(),
                       unsigned(e.icon.image_count));
    }
    text += format("%sfailures: %s\n", detail, failures_text(e).c_str());
    return text;
}

std::string box_text(const MouseArea& area) {
    return format("box %d, %d, %d x %d%s", area.x, area.y, area.width, area.height,
                  covers_whole_face(area) ? " (the whole face)" : "");
}

std::string flags_text(uint32_t flags) {
    if (!flags) return "no flags";
    std::string words;
    for (const std::string& w : mouse_flag_words(flags)) words += (words.empty() ? "" : "; ") + w;
    return format("flags 0x%08X (%s)", unsigned(flags), words.c_str());
}

std::string area_line(const MouseArea& area) {
    const stored::MouseRect& r = area.record;
    std::string line = format("%d %s: %s; cursor %s", area.index, mouse_area_kind(area), box_text(area).c_str(),
                              cursor_name(r.cursor));
    if (std::string(cursor_name(r.cursor)) == "other") line += format(" (%d)", int(r.cursor));
    line += r.help_id ? format("; help 0x%04X", unsigned(r.help_id)) : "; no help";
    line += "; " + flags_text(r.mouse_flags);
    line += r.event_id ? format("; key event 0x%05X", unsigned(r.event_id)) : "; no key event";
    if (r.mouse_function) line += format("; mouse routine 0x%08X", unsigned(r.mouse_function));
    return line;
}

Json area_tree_json(const GaugeModel& gauge, int index) {
    Json out = mouse_area_json(gauge.mouse_areas[size_t(index)]);
    Json children = Json::array();
    for (size_t i = 0; i < gauge.mouse_areas.size(); ++i)
        if (gauge.mouse_areas[i].parent == index) children.push_back(area_tree_json(gauge, int(i)));
    out["children"] = children;
    return out;
}

}  // namespace

Json variable_json(uint32_t token) {
    VariableWords v = variable_words(token);
    return {{"token", v.token}, {"name", v.name}, {"unit", v.unit}};
}

Json mouse_area_json(const MouseArea& area) {
    const stored::MouseRect& r = area.record;
    Json flag_words = Json::array();
    for (const std::string& w : mouse_flag_words(r.mouse_flags)) flag_words.push_back(w);
    return {{"index", area.index},
            {"kind", mouse_area_kind(area)},
            {"box", {{"x", area.x}, {"y", area.y}, {"width", area.width}, {"height", area.height}}},
            {"whole_face", covers_whole_face(area)},
            {"cursor", r.cursor},
            {"cursor_name", cursor_name(r.cursor)},
            {"help_id", r.help_id},
            {"mouse_flags", r.mouse_flags},
            {"mouse_flag_names", flag_words},
            {"key_event", r.event_id},
            {"mouse_routine", address_json(r.mouse_function)}};
}

Json mouse_tree_json(const GaugeModel& gauge) {
    Json tree = Json::array();
    for (size_t i = 0; i < gauge.mouse_areas.size(); ++i)
        if (gauge.mouse_areas[i].parent < 0) tree.push_back(area_tree_json(gauge, int(i)));
    return tree;
}

std::string mouse_tree_text(const GaugeModel& gauge, int indent) {
    std::string text;
    // The list is stored parents first, each followed by what it holds, so
    // its order is already the tree's.
    for (const MouseArea& area : gauge.mouse_areas)
        text += std::string(size_t(indent + 2 * area.depth), ' ') + area_line(area) + "\n";
    return text;
}

std::string gauge_text(const GaugeModel& gauge) {
    std::string text = format("\"%s\" (gauge table index %d)\n", escaped(gauge.name).c_str(), gauge.table_index);
    text += format("  face: %d x %d pixels (bitmap %u); default size %u mm\n", gauge.width, gauge.height,
                   unsigned(gauge.elements.empty() ? 0 : gauge.elements[0].header.bitmap),
                   unsigned(gauge.header.default_size_mm));
    text += format("  gauge callback: %s\n", address_text(gauge.header.callback).c_str());
    std::string tokens;
    for (uint32_t t : element_tokens(gauge)) tokens += (tokens.empty() ? "" : ", ") + variable_text(t);
    text += format("  variables its elements read: %s\n", tokens.empty() ? "none" : tokens.c_str());
    text += "  elements, in drawing order:\n";
    for (size_t i = 0; i < gauge.elements.size(); ++i) text += element_text(gauge, i);
    text += gauge.mouse_areas.empty() ? "  mouse areas: none\n" : "  mouse areas:\n" + mouse_tree_text(gauge, 4);
    return text;
}

Json gauge_json(const GaugeModel& gauge) {
    Json variables = Json::array();
    for (uint32_t t : element_tokens(gauge)) variables.push_back(variable_json(t));
    Json elements = Json::array();
    for (size_t i = 0; i < gauge.elements.size(); ++i) elements.push_back(element_json(gauge, i));
    return {{"index", gauge.table_index},
            {"name", valid_utf8(gauge.name)},
            {"face", {{"width", gauge.width}, {"height", gauge.height}}},
            {"default_size_mm", gauge.header.default_size_mm},
            {"gauge_callback", address_json(gauge.header.callback)},
            {"variables", variables},
            {"elements", elements},
            {"mouse_areas", mouse_tree_json(gauge)}};
}

}  // namespace panelhost
