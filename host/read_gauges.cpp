// Checks every record before it is read: a pointer is followed only after
// the whole record it names is known to lie inside one section of the module
// image, every list is walked only while its next entry does, and every count
// is bounded, so a malformed module gets an error and never a crash or hang.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "host/gauge_model.h"

namespace panelhost {

namespace {

constexpr int max_gauges = 64;
constexpr int max_roots = 16;
constexpr int max_elements = 256;
constexpr int max_children = 64;
constexpr int max_failures = 32;
constexpr int max_points = 64;
constexpr int max_mouse_areas = 256;
constexpr int max_name = 64;
constexpr int max_icons = 64;

const char* kind_name(uint32_t kind) {
    switch (kind) {
        case ELEMENT_TYPE_STATIC_IMAGE: return "static image";
        case ELEMENT_TYPE_NEEDLE: return "needle";
        case ELEMENT_TYPE_ICON: return "icon";
        case ELEMENT_TYPE_MOVING_IMAGE: return "moving image";
        default: return "unknown kind";
    }
}

size_t record_size(uint32_t kind) {
    switch (kind) {
        case ELEMENT_TYPE_STATIC_IMAGE: return sizeof(ELEMENT_STATIC_IMAGE);
        case ELEMENT_TYPE_NEEDLE: return sizeof(ELEMENT_NEEDLE);
        case ELEMENT_TYPE_ICON: return sizeof(ELEMENT_ICON);
        case ELEMENT_TYPE_MOVING_IMAGE: return sizeof(ELEMENT_MOVING_IMAGE);
        default: return 0;
    }
}

class GaugeReader {
public:
    GaugeReader(GaugeModule& module, Report& report, GaugeModel& gauge)
        : module_(module), report_(report), gauge_(gauge) {}

    bool read();

private:
    // A record that cannot be followed: nothing beyond it is read.
    void fail_structure(const std::string& where, const std::string& what) {
        structure_ok_ = false;
        fail(where, what);
    }
    void fail(const std::string& where, const std::string& what) {
        ok_ = false;
        report_.error(format("gauge %s: %s: %s", gauge_label().c_str(), where.c_str(), what.c_str()));
    }
    void warn(const std::string& where, const std::string& what) {
        report_.warning(format("gauge %s: %s: %s", gauge_label().c_str(), where.c_str(), what.c_str()));
    }
    std::string gauge_label() const {
        return gauge_.name.empty() ? format("%d (table index)", gauge_.table_index)
                                   : "\"" + gauge_.name + "\"";
    }
    bool code_pointer(const void* routine, const std::string& where, const char* field, bool required);
    void read_element(ELEMENT_HEADER* element, int parent, int child_number, std::vector<ELEMENT_HEADER*>& path);
    bool read_failures(ElementModel& model);
    void read_needle(ElementModel& model);
    void read_moving_image(ElementModel& model);
    void read_icon(ElementModel& model);
    void read_mouse_areas();
    const Bitmap* picture(uint32_t id, const std::string& where, const char* field);

    GaugeModule& module_;
    Report& report_;
    GaugeModel& gauge_;
    bool ok_ = true;
    bool structure_ok_ = true;
    std::set<ELEMENT_HEADER*> seen_;
};

bool GaugeReader::code_pointer(const void* routine, const std::string& where, const char* field,
                               bool required) {
    if (!routine) {
        if (required) fail(where, format("%s is null", field));
        return !required;
    }
    if (!module_.holds_code(routine)) {
        fail(where, format("%s %s is not in the module's code", field, module_.describe(routine).c_str()));
        return false;
    }
    return true;
}

const Bitmap* GaugeReader::picture(uint32_t id, const std::string& where, const char* field) {
    std::string why;
    const Bitmap* b = module_.bitmap(id, why);
    if (!b) fail(where, format("%s %u: %s", field, unsigned(id), why.c_str()));
    return b;
}

bool GaugeReader::read() {
    GAUGEHDR* h = gauge_.header;
    std::string where = "header";
    // The name first, so every later message can use it.
    const char* name = h->gauge_name;
    if (!name || !module_.holds(name, 1)) {
        fail(where, format("gauge name pointer %s", module_.describe(name).c_str()));
        return false;
    }
    std::string text;
    for (int i = 0;; ++i) {
        if (!module_.holds(name + i, 1)) {
            fail(where, "gauge name runs off the end of its section without a terminating zero");
            return false;
        }
        if (!name[i]) break;
        if (i >= max_name) {
            fail(where, format("gauge name longer than %d characters (no terminating zero?)", max_name));
            return false;
        }
        text += name[i];
    }
    gauge_.name = text;
    if (h->gauge_header_version != GAUGE_HEADER_VERSION_FS700)
        fail(where, format("header version %u; this host reads version %u headers",
                           unsigned(h->gauge_header_version), unsigned(GAUGE_HEADER_VERSION_FS700)));
    const GaugeRoutines& r = h->routines;
    code_pointer((void*)r.query, where, "query routine", true);
    code_pointer((void*)r.install, where, "install routine", true);
    code_pointer((void*)r.initialize, where, "initialize routine", true);
    code_pointer((void*)r.update, where, "update routine", true);
    code_pointer((void*)r.generate, where, "generate routine", true);
    code_pointer((void*)r.draw, where, "draw routine", true);
    code_pointer((void*)r.kill, where, "kill routine", true);
    code_pointer((void*)h->gauge_callback, where, "gauge callback", false);

    ELEMENT_HEADER** list = h->elements_list;
    if (!list || !module_.holds(list, sizeof *list)) {
        fail(where, format("element list %s", module_.describe(list).c_str()));
        return false;
    }
    for (int i = 0;; ++i) {
        if (!module_.holds(list + i, sizeof *list)) {
            fail(where, "element list runs off the end of its section without a terminating null");
            return false;
        }
        if (!list[i]) break;
        if (i >= max_roots) {
            fail(where, format("element list has more than %d roots (no terminating null?)", max_roots));
            return false;
        }
        gauge_.roots.push_back(list[i]);
    }
    if (gauge_.roots.empty()) fail(where, "element list is empty: the gauge has nothing to draw");
    std::vector<ELEMENT_HEADER*> path;
    for (size_t i = 0; i < gauge_.roots.size() && structure_ok_; ++i)
        read_element(gauge_.roots[i], -1, int(i) + 1, path);
    if (!structure_ok_) return false;
    if (gauge_.elements.empty() || !gauge_.elements[0].picture) {
        read_mouse_areas();
        return false;
    }
    const Image& face = gauge_.elements[0].picture->picture;
    gauge_.width = face.width;
    gauge_.height = face.height;
    for (const ElementModel& e : gauge_.elements) {
        const ELEMENT_HEADER* hd = e.record;
        if (hd->position.x < 0 || hd->position.y < 0 || hd->position.x >= face.width ||
            hd->position.y >= face.height)
            warn(e.name, format("position %d, %d lies outside the %d x %d face", int(hd->position.x),
                                int(hd->position.y), face.width, face.height));
    }
    read_mouse_areas();
    return ok_;
}

void GaugeReader::read_element(ELEMENT_HEADER* element, int parent, int child_number,
                               std::vector<ELEMENT_HEADER*>& path) {
    std::string where = parent < 0 ? format("element list entry %d", child_number)
                                   : format("child list of element %d, entry %d", parent + 1, child_number);
    if (!module_.holds(element, sizeof(ELEMENT_HEADER))) {
        fail_structure(where, format("element pointer %s", module_.describe(element).c_str()));
        return;
    }
    for (ELEMENT_HEADER* ancestor : path) {
        if (ancestor == element) {
            int at = 0;
            while (gauge_.elements[at].record != element) ++at;
            fail_structure(where, format("child cycle: it lists %s, its own ancestor",
                                         gauge_.elements[at].name.c_str()));
            return;
        }
    }
    if (seen_.count(element)) {
        fail_structure(where, "element already appears elsewhere in the tree");
        return;
    }
    if (gauge_.elements.size() >= size_t(max_elements)) {
        fail_structure(where, format("more than %d elements", max_elements));
        return;
    }
    seen_.insert(element);
    uint32_t kind = element->element_type;
    ElementModel model;
    model.record = element;
    model.kind = ElementKind(kind);
    model.parent = parent;
    int index = int(gauge_.elements.size());
    model.name = parent < 0 ? format("element %d (%s, bitmap %u, root)", index + 1, kind_name(kind),
                                     unsigned(element->resource_id))
                            : format("element %d (%s, bitmap %u, child %d of element %d)", index + 1,
                                     kind_name(kind), unsigned(element->resource_id), child_number, parent + 1);
    model.call_label = format("conversion routine of \"%s\" %s", gauge_.name.c_str(), model.name.c_str());
    size_t size = record_size(kind);
    if (!size) {
        fail_structure(model.name, format("kind %u is not one this host draws (0 static image, 1 needle, "
                                "4 icon, 5 moving image)", unsigned(kind)));
        return;
    }
    if (!module_.holds(element, size)) {
        fail_structure(model.name, format("a %zu-byte %s record at %s runs off the end of its section", size,
                                kind_name(kind), module_.describe(element).c_str()));
        return;
    }
    // The host writes variable values and calibration angles into elements.
    if (!module_.holds_writable(element, size))
        fail(model.name, "lies in read-only memory; the host writes its own fields in every element");
    if (element->gauge_header != gauge_.header)
        warn(model.name, format("gauge header field %s is not this gauge's header",
                                module_.describe(element->gauge_header).c_str()));
    model.picture = picture(element->resource_id, model.name, "bitmap");
    if (!read_failures(model)) return;
    if (kind == ELEMENT_TYPE_NEEDLE) read_needle(model);
    if (kind == ELEMENT_TYPE_MOVING_IMAGE) read_moving_image(model);
    if (kind == ELEMENT_TYPE_ICON) read_icon(model);
    gauge_.elements.push_back(std::move(model));
    if (!structure_ok_) return;

    ELEMENT_HEADER** children = element->children;
    if (!children) return;
    std::string field = gauge_.elements[index].name + ": child list";
    if (!module_.holds(children, sizeof *children)) {
        fail_structure(gauge_.elements[index].name, format("child list %s", module_.describe(children).c_str()));
        return;
    }
    std::vector<ELEMENT_HEADER*> listed;
    for (int i = 0;; ++i) {
        if (!module_.holds(children + i, sizeof *children)) {
            fail_structure(gauge_.elements[index].name,
                 format("child list runs off the end of its section after %d entries without a "
                        "terminating null", i));
            return;
        }
        if (!children[i]) break;
        if (i >= max_children) {
            fail_structure(gauge_.elements[index].name,
                 format("child list has more than %d entries (no terminating null?)", max_children));
            return;
        }
        listed.push_back(children[i]);
    }
    if (listed.empty())
        warn(gauge_.elements[index].name, "child list is empty; a null list says the same");
    path.push_back(element);
    for (size_t i = 0; i < listed.size() && structure_ok_; ++i) read_element(listed[i], index, int(i) + 1, path);
    path.pop_back();
}

bool GaugeReader::read_failures(ElementModel& model) {
    FAILURE_RECORD* list = model.record->failures;
    if (!list) return true;
    for (int i = 0;; ++i) {
        if (!module_.holds(list + i, sizeof *list)) {
            fail_structure(model.name, i == 0 ? format("failure list %s", module_.describe(list).c_str())
                                    : format("failure list runs off the end of its section after %d "
                                             "records without an end record (key 0)", i));
            return false;
        }
        if (list[i].key == 0) break;
        if (i >= max_failures) {
            fail_structure(model.name, format("failure list has more than %d records (no end record?)", max_failures));
            return false;
        }
        if (list[i].action != FAIL_ACTION_FREEZE && list[i].action != FAIL_ACTION_ZERO)
            warn(model.name, format("failure list record %d: action %u is neither freeze (1) nor "
                                    "zero (2); this host ignores it", i + 1, unsigned(list[i].action)));
        model.failures.push_back(list[i]);
    }
    return true;
}

void GaugeReader::read_needle(ElementModel& model) {
    ELEMENT_NEEDLE* n = model.needle();
    PIXPOINT pivot = n->header.offset;
    if (model.picture) {
        const Image& p = model.picture->picture;
        if (pivot.x < 0 || pivot.y < 0 || pivot.x >= p.width || pivot.y >= p.height)
            fail(model.name, format("pivot %d, %d lies outside its %d x %d bitmap", int(pivot.x),
                                    int(pivot.y), p.width, p.height));
    }
    code_pointer((void*)n->update, model.name, "update routine", false);
    if (n->max_degrees_per_tick < 0)
        fail(model.name, format("rate limit %d degrees per tick is negative", int(n->max_degrees_per_tick)));
    NONLINEARITY* table = n->nonlinearity;
    uint32_t count = n->point_count;
    if (!table && count == 0) return;
    if (!table) {
        fail(model.name, format("calibration table is null but its point count is %u", unsigned(count)));
        return;
    }
    if (count < 2 || count > uint32_t(max_points)) {
        fail(model.name, format("calibration point count %u; a table needs 2 to %d points",
                                unsigned(count), max_points));
        return;
    }
    if (!module_.holds(table, 1)) {
        fail(model.name, format("calibration table pointer %s", module_.describe(table).c_str()));
        return;
    }
    if (!module_.holds(table, sizeof(NONLINEARITY) * count)) {
        fail(model.name, format("calibration table of %u points at %s runs off the end of its section",
                                unsigned(count), module_.describe(table).c_str()));
        return;
    }
    if (!module_.holds_writable(table, sizeof(NONLINEARITY) * count))
        fail(model.name, "calibration table lies in read-only memory; the host writes each point's angle there");
    PIXPOINT at = n->header.position;
    double sweep = 0, previous_angle = 0;
    int direction = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const NONLINEARITY& p = table[i];
        if (!std::isfinite(p.value)) {
            fail(model.name, format("calibration point %u: value is not a finite number", unsigned(i + 1)));
            return;
        }
        if (p.point.x == at.x && p.point.y == at.y) {
            fail(model.name, format("calibration point %u lies on the needle's pivot %d, %d: it gives no "
                                    "direction", unsigned(i + 1), int(at.x), int(at.y)));
            return;
        }
        double angle = std::atan2(double(p.point.y - at.y), double(p.point.x - at.x)) * (180.0 / M_PI);
        if (angle < 0) angle += 360;
        if (i > 0) {
            double step = std::fmod(angle - previous_angle + 360.0, 360.0);
            sweep += step;
            double rise = p.value - table[i - 1].value;
            int d = rise > 0 ? 1 : rise < 0 ? -1 : 0;
            if (d == 0 || (direction && d != direction)) {
                fail(model.name, format("calibration point %u: value %g does not continue the %s order "
                                        "of the values before it", unsigned(i + 1), p.value,
                                        direction >= 0 ? "increasing" : "decreasing"));
                return;
            }
            direction = d;
        }
        model.calibration.push_back({p.value, angle, sweep});
        previous_angle = angle;
    }
    if (sweep > 360.0)
        fail(model.name, format("calibration points go %.1f degrees round the pivot: they are not in "
                                "clockwise order within one turn", sweep));
}

void GaugeReader::read_moving_image(ElementModel& model) {
    ELEMENT_MOVING_IMAGE* m = model.moving();
    uint32_t id = m->header.resource_id;
    model.window = picture(id + 1, model.name, "window mask (bitmap + 1)");
    if (!model.picture || !model.window) return;
    const Image& strip = model.picture->picture;
    const Image& window = model.window->picture;
    if (window.width > strip.width || window.height > strip.height)
        fail(model.name, format("window mask %u (%d x %d) is larger than its image (%d x %d)",
                                unsigned(id + 1), window.width, window.height, strip.width, strip.height));
    struct Axis {
        const char* name;
        MODULE_VAR& var;
        double min, max;
        MovingImageRoutine routine;
    } axes[] = {{"x axis", m->source_var_x, m->min_x, m->max_x, m->update_x},
                {"y axis", m->source_var_y, m->min_y, m->max_y, m->update_y}};
    for (const Axis& axis : axes) {
        std::string field = format("%s routine", axis.name);
        code_pointer((void*)axis.routine, model.name, field.c_str(), false);
        bool driven = axis.var.id != 0 || axis.routine;
        if (!driven) continue;
        if (!std::isfinite(axis.min) || !std::isfinite(axis.max) || axis.min == axis.max)
            fail(model.name, format("%s is driven but its range %g to %g is empty or not finite",
                                    axis.name, axis.min, axis.max));
    }
}

void GaugeReader::read_icon(ElementModel& model) {
    ELEMENT_ICON* icon = model.icon();
    uint32_t count = icon->picture_count;
    if (count < 1 || count > uint32_t(max_icons)) {
        fail(model.name, format("image count %u; an icon shows 1 to %d images", unsigned(count), max_icons));
        return;
    }
    for (uint32_t i = 0; i < count; ++i)
        model.icons.push_back(picture(icon->header.resource_id + i, model.name, "icon image"));
}

void GaugeReader::read_mouse_areas() {
    MOUSERECT* list = gauge_.header->mouse_rect;
    if (!list) return;
    std::vector<int> open;  // indices of the parents not yet closed
    for (int i = 0;; ++i) {
        std::string where = format("mouse area %d", i + 1);
        if (!module_.holds(list + i, sizeof *list)) {
            fail(where, i == 0 ? format("mouse-area list %s", module_.describe(list).c_str())
                               : "mouse-area list runs off the end of its section without an "
                                 "end-of-list record");
            return;
        }
        if (i >= max_mouse_areas) {
            fail(where, format("mouse-area list has more than %d records (no end-of-list record?)",
                               max_mouse_areas));
            return;
        }
        const MOUSERECT& r = list[i];
        if (r.rect_type == MOUSE_RECT_EOL) {
            if (!open.empty())
                fail(where, format("end of list with %zu parent area(s) still open", open.size()));
            return;
        }
        if (r.rect_type == MOUSE_RECT_END_OF_PARENT) {
            if (open.empty()) {
                fail(where, "end of parent with no parent open");
                return;
            }
            open.pop_back();
            continue;
        }
        if (r.rect_type != MOUSE_RECT_PARENT && r.rect_type != MOUSE_RECT_CHILD) {
            fail(where, format("kind %u is none of end of list (0), parent (1), child (2), end of parent (3)",
                               unsigned(r.rect_type)));
            return;
        }
        code_pointer(r.mouse_function, where, "mouse routine", false);
        if (r.box_width < 0 || r.box_height < 0) fail(where, "box has a negative size");
        MouseArea area;
        area.record = &r;
        area.index = i + 1;
        area.parent = open.empty() ? -1 : open.back();
        area.depth = int(open.size());
        if (area.parent < 0 && r.box_x == 0 && r.box_y == 0 && r.box_width == 0 && r.box_height == 0) {
            area.width = gauge_.width;  // the outermost all-zero box: the whole gauge
            area.height = gauge_.height;
        } else {
            // A nested box is placed relative to its parent's. Summed wide,
            // so a wild box is an error here and never an overflow later.
            const MouseArea* p = area.parent < 0 ? nullptr : &gauge_.mouse_areas[area.parent];
            int64_t x = (p ? p->x : 0) + int64_t(r.box_x), y = (p ? p->y : 0) + int64_t(r.box_y);
            constexpr int64_t sane = 1 << 20;
            if (std::max({std::llabs(x), std::llabs(y), int64_t(r.box_width), int64_t(r.box_height)}) > sane) {
                fail(where, format("box %lld, %lld, %d x %d on the face lies far outside the %d x %d face",
                                   (long long)x, (long long)y, int(r.box_width), int(r.box_height), gauge_.width,
                                   gauge_.height));
                return;
            }
            area.x = int(x);
            area.y = int(y);
            area.width = r.box_width;
            area.height = r.box_height;
            if (x < 0 || y < 0 || x + r.box_width > gauge_.width || y + r.box_height > gauge_.height)
                warn(where, format("box %d, %d, %d x %d on the face reaches outside the %d x %d face", area.x,
                                   area.y, area.width, area.height, gauge_.width, gauge_.height));
        }
        gauge_.mouse_areas.push_back(area);
        if (r.rect_type == MOUSE_RECT_PARENT) open.push_back(int(gauge_.mouse_areas.size()) - 1);
    }
}

}  // namespace

std::vector<GaugeModel> read_gauges(GaugeModule& module, Report& report) {
    std::vector<GaugeModel> gauges;
    uint32_t* linkage = module.linkage();
    if (!module.holds(linkage, 24)) {
        report.error("Linkage: the record runs off the end of its section");
        return gauges;
    }
    auto* words = reinterpret_cast<GAUGESLINKAGE<0>*>(linkage);
    for (auto [routine, field] : {std::pair{(void*)words->module_init, "module-init routine"},
                                  std::pair{(void*)words->module_deinit, "module-deinit routine"}}) {
        if (routine && !module.holds_code(routine))
            report.error(format("Linkage: %s %s is not in the module's code", field,
                                module.describe(routine).c_str()));
    }
    GAUGEHDR** table = reinterpret_cast<GAUGEHDR**>(linkage + 6);
    for (int i = 0;; ++i) {
        if (!module.holds(table + i, sizeof *table)) {
            report.error(format("Linkage: gauge table runs off the end of its section after %d entries "
                                "without a terminating null", i));
            return {};
        }
        if (!table[i]) break;
        if (i >= max_gauges) {
            report.error(format("Linkage: gauge table has more than %d entries (no terminating null?)",
                                max_gauges));
            return {};
        }
        GaugeModel gauge;
        gauge.header = table[i];
        gauge.table_index = i;
        if (!module.holds(table[i], sizeof(GAUGEHDR))) {
            report.error(format("Linkage: gauge table entry %d: header pointer %s", i,
                                module.describe(table[i]).c_str()));
            continue;
        }
        if (!GaugeReader(module, report, gauge).read()) continue;
        for (const GaugeModel& earlier : gauges)
            if (earlier.name == gauge.name)
                report.warning(format("Linkage: gauge table entries %d and %d are both named \"%s\"; only "
                                      "entry %d can be chosen by name", earlier.table_index, i,
                                      gauge.name.c_str(), earlier.table_index));
        gauges.push_back(std::move(gauge));
    }
    if (table[0] == nullptr) report.warning("Linkage: the gauge table is empty");
    return gauges;
}

}  // namespace panelhost
