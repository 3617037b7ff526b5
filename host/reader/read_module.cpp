// Reads a module's records through an address space. Every record is placed
// before it is read (inside one section that allows what the host does with
// it), every list is walked only while its next entry is placed and within
// a bound, and every count is bounded, so a malformed module gets errors and
// never a crash or a hang. A record's first bad field is its only error:
// nothing after it, and nothing it points to, is read.
#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "host/reader/gauge_model.h"

namespace panelhost {

const char* element_kind_name(uint32_t kind) {
    switch (kind) {
        case stored::static_image: return "static image";
        case stored::needle: return "needle";
        case stored::icon: return "icon";
        case stored::moving_image: return "moving image";
        default: return "unknown kind";
    }
}

namespace {

constexpr uint32_t max_gauges = 64;
constexpr uint32_t max_imports = 32;
constexpr uint32_t max_roots = 16;
constexpr size_t max_elements = 256;
constexpr uint32_t max_children = 64;
constexpr uint32_t max_failures = 32;
constexpr uint32_t max_points = 64;
constexpr uint32_t max_mouse_areas = 256;
constexpr size_t max_name = 64;
constexpr uint32_t max_icons = 64;
// Beyond this a mouse box is no box on any face, and sums of boxes could
// overflow the hit test's arithmetic.
constexpr int64_t max_box = 1 << 20;

size_t record_size(uint32_t kind) {
    switch (kind) {
        case stored::static_image: return sizeof(stored::StaticImage);
        case stored::needle: return sizeof(stored::Needle);
        case stored::icon: return sizeof(stored::Icon);
        case stored::moving_image: return sizeof(stored::MovingImage);
        default: return 0;
    }
}

const char* routine_name(int routine) {
    static const char* const names[] = {"query", "install", "initialize", "update", "generate", "draw", "kill"};
    return names[routine];
}

class ModuleReader {
public:
    ModuleReader(const AddressSpace& image, BitmapResources& bitmaps, Report& report)
        : image_(image), bitmaps_(bitmaps), report_(report) {}

    // Where a record that cannot be used lies, as the rest of a sentence.
    // A section that lacks an access, or ends too soon, faults every record
    // placed there: that is told once, and later records fail silently.
    bool misplaced(const std::string& subject, const std::string& field, uint32_t address, uint64_t size,
                   const Placement& p, const char* reason) {
        if (p.section_wide()) {
            bool short_section = p.fault == Placement::between_sections || p.fault == Placement::past_section_end;
            if (!image_.first_telling(p)) return false;
            report_.error(format("%s: %s %s%s%s (other records %s are not listed)", subject.c_str(), field.c_str(),
                                 image_.explain(address, size, p).c_str(), *reason ? "; " : "", reason,
                                 short_section ? "past that section's end" : "in that section"));
            return false;
        }
        bool why = *reason && p.fault != Placement::null;
        report_.error(format("%s: %s %s%s%s", subject.c_str(), field.c_str(), image_.explain(address, size, p).c_str(),
                             why ? "; " : "", why ? reason : ""));
        return false;
    }

    // A routine pointer: null (allowed or not) or inside code.
    bool routine(const std::string& subject, const std::string& field, uint32_t address, bool required) {
        if (!address) {
            if (required) report_.error(format("%s: %s is null", subject.c_str(), field.c_str()));
            return !required;
        }
        Placement p = image_.place(address, 1, Access::code);
        return p || misplaced(subject, field, address, 1, p, "the host calls it");
    }

    // Bitmap `id`, for `use` ("", "window mask (bitmap + 1)"); a fault is
    // told only to its first asker. Missing bitmaps are told at the end:
    // one names the record that wants it, several the resource directory.
    const Bitmap* bitmap(const std::string& subject, const std::string& use, uint32_t id) {
        BitmapResources::Lookup found = bitmaps_.find(id);
        if (found.bitmap || found.told_before) return found.bitmap;
        std::string line = format("%s: %s%s%s", subject.c_str(), use.c_str(), use.empty() ? "" : ": ",
                                  found.fault.c_str());
        if (found.missing)
            missing_bitmaps_.push_back({id, line});
        else
            report_.error(line);
        return nullptr;
    }
    void tell_missing_bitmaps() {
        if (missing_bitmaps_.size() == 1) report_.error(missing_bitmaps_[0].second);
        if (missing_bitmaps_.size() < 2) return;
        std::string ids;
        for (const auto& [id, line] : missing_bitmaps_) ids += format("%s%u", ids.empty() ? "" : ", ", unsigned(id));
        report_.error(format("resource directory: %zu bitmap resources the records name are missing (%s); the "
                             "first: %s", missing_bitmaps_.size(), ids.c_str(), missing_bitmaps_[0].second.c_str()));
    }
    std::vector<std::pair<uint32_t, std::string>> missing_bitmaps_;

    // A list's fault after a walk that did not end, in words.
    void list_fault(const std::string& subject, const std::string& list, uint32_t address, uint32_t entry_size,
                    const ListWalk& walk, uint32_t limit, const char* ending, const char* reason) {
        if (walk.outcome == ListWalk::misplaced) {
            misplaced(subject, list, address, entry_size, walk.placement, reason);
        } else if (walk.outcome == ListWalk::runs_off) {
            const Placement p = image_.place(address, 1, Access::read);
            report_.error(format("%s: %s at 0x%08x runs off the end of section %s after %u entries without %s",
                                 subject.c_str(), list.c_str(), unsigned(address),
                                 p.section >= 0 ? image_.sections()[size_t(p.section)].name.c_str() : "?",
                                 unsigned(walk.entries), ending));
        } else if (walk.outcome == ListWalk::too_long) {
            report_.error(format("%s: %s at 0x%08x has more than %u entries without %s", subject.c_str(), list.c_str(),
                                 unsigned(address), unsigned(limit), ending));
        }
    }

    ModuleModel read(uint32_t import_table, uint32_t linkage);

    const AddressSpace& image_;
    BitmapResources& bitmaps_;
    Report& report_;
    // Failure lists are shared by elements of a gauge: each is read once.
    struct FailureList {
        bool ok = false;
        std::vector<stored::FailureRecord> records;
    };
    std::map<uint32_t, FailureList> failure_lists_;
    // The root elements of the gauges read so far: the host tells gauges
    // apart by their roots, so no two gauges may share one.
    std::map<uint32_t, std::string> roots_;

private:
    void read_import_table(ModuleModel& module);
};

class GaugeReader {
public:
    GaugeReader(ModuleReader& module, GaugeModel& gauge) : m_(module), image_(module.image_), gauge_(gauge) {}

    bool read();

private:
    std::string label() const {
        return gauge_.name.empty() ? format("gauge %d (table index)", gauge_.table_index)
                                   : "gauge \"" + escaped(gauge_.name) + "\"";
    }
    std::string subject(const std::string& where) const { return label() + ": " + where; }
    bool fail(const std::string& where, const std::string& what) {
        m_.report_.error(subject(where) + ": " + what);
        return false;
    }
    void warn(const std::string& where, const std::string& what) { m_.report_.warning(subject(where) + ": " + what); }

    bool read_name();
    bool read_header_fields();
    // An element's outcome: fine (with its subtree), faulty in one of its
    // own fields, or not an element at all, which ends the list it is in.
    enum class Outcome { fine, faulty, not_an_element };
    Outcome read_element(uint32_t address, int parent, int child_number, std::vector<uint32_t>& path);
    // For `return ends_list(fail(...))`: the fault is reported, the list ends.
    static Outcome ends_list(bool) { return Outcome::not_an_element; }
    bool read_kind_fields(ElementModel& e);
    bool read_needle(ElementModel& e);
    bool read_calibration(ElementModel& e);
    bool read_moving_image(ElementModel& e);
    bool read_icon(ElementModel& e);
    bool read_failures(ElementModel& e);
    bool read_children(int index, std::vector<uint32_t>& path);
    bool read_list(const std::vector<uint32_t>& listed, int parent, std::vector<uint32_t>& path);
    bool read_mouse_areas();
    std::string kinds_before(uint32_t count, size_t open) const;
    bool place_mouse_box(MouseArea& area, const std::string& where);
    void check_face();

    ModuleReader& m_;
    const AddressSpace& image_;
    GaugeModel& gauge_;
    std::set<uint32_t> seen_;
    bool warned_back_pointer_ = false;
};

bool GaugeReader::read_name() {
    uint32_t name = gauge_.header.name;
    Placement p = image_.place(name, 1, Access::read);
    if (!p) return m_.misplaced(subject("header"), "gauge name", name, 1, p, "");
    AddressSpace::Text text = image_.read_text(name, max_name);
    if (text.unended && image_.first_telling({Placement::past_section_end, p.section}))
        return fail("header", format("gauge name at 0x%08x runs off the end of its section without a terminating zero",
                                     unsigned(name)));
    if (text.unended) return false;
    if (text.too_long)
        return fail("header", format("gauge name at 0x%08x is longer than %zu bytes (no terminating zero?)",
                                     unsigned(name), max_name));
    if (text.bytes.empty()) return fail("header", "gauge name is empty: no panel can choose the gauge by it");
    for (char c : text.bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return fail("header", format("gauge name \"%s\" holds control byte 0x%02x: no panel can choose the "
                                         "gauge by it", escaped(text.bytes).c_str(), byte));
    }
    gauge_.name = text.bytes;
    return true;
}

bool GaugeReader::read_header_fields() {
    const stored::GaugeHeader& h = gauge_.header;
    for (int r = 0; r < stored::routine_count; ++r)
        if (!m_.routine(subject("header"), format("%s routine", routine_name(r)), h.routines[r], true)) return false;
    return m_.routine(subject("header"), "gauge callback", h.callback, false);
}

bool GaugeReader::read() {
    if (!read_name() || !read_header_fields()) return false;
    uint32_t list = gauge_.header.element_list;
    ListWalk walk = walk_list<uint32_t>(
        image_, list, Access::read, max_roots, [](uint32_t e) { return e == 0; },
        [&](uint32_t, uint32_t root) {
            gauge_.roots.push_back(root);
            return true;
        });
    if (walk.outcome != ListWalk::ended) {
        m_.list_fault(subject("header"), "element list", list, 4, walk, max_roots, "a terminating null", "");
        return false;
    }
    if (gauge_.roots.empty()) return fail("header", "element list is empty: the gauge has nothing to draw");
    for (size_t i = 0; i < gauge_.roots.size(); ++i) {
        auto shared = m_.roots_.find(gauge_.roots[i]);
        if (shared != m_.roots_.end())
            return fail(format("element list entry %zu", i + 1),
                        format("element 0x%08x is already the root of %s; the host tells gauges apart by their roots",
                               unsigned(gauge_.roots[i]), shared->second.c_str()));
    }
    for (uint32_t root : gauge_.roots) m_.roots_.emplace(root, label());
    std::vector<uint32_t> path;
    bool ok = read_list(gauge_.roots, -1, path);
    check_face();
    return read_mouse_areas() && ok;
}

// The elements of a root or child list; the first entry that is not an
// element ends it, since what follows is no more to be trusted.
bool GaugeReader::read_list(const std::vector<uint32_t>& listed, int parent, std::vector<uint32_t>& path) {
    bool ok = true;
    for (size_t i = 0; i < listed.size(); ++i) {
        Outcome outcome = read_element(listed[i], parent, int(i) + 1, path);
        if (outcome == Outcome::not_an_element) return false;
        ok &= outcome == Outcome::fine;
    }
    return ok;
}

GaugeReader::Outcome GaugeReader::read_element(uint32_t address, int parent, int child_number,
                                               std::vector<uint32_t>& path) {
    std::string where = parent < 0 ? format("element list entry %d", child_number)
                                   : format("child list of element %d, entry %d", parent + 1, child_number);
    const char* writes = "the host writes its own fields in every element";
    Placement p = image_.place(address, sizeof(stored::ElementHeader), Access::write);
    if (!p) {
        return ends_list(m_.misplaced(subject(where), "element", address, sizeof(stored::ElementHeader), p, writes));
    }
    if (std::find(path.begin(), path.end(), address) != path.end()) {
        auto ancestor = std::find_if(gauge_.elements.begin(), gauge_.elements.end(),
                                     [&](const ElementModel& e) { return e.address == address; });
        return ends_list(fail(where, format("child cycle: it lists %s, its own ancestor", ancestor->name.c_str())));
    }
    if (!seen_.insert(address).second) {
        return ends_list(fail(where, format("element 0x%08x already appears elsewhere in the tree", unsigned(address))));
    }
    if (gauge_.elements.size() >= max_elements) {
        return ends_list(fail(where, format("more than %zu elements", max_elements)));
    }
    ElementModel e;
    e.address = address;
    image_.read(address, e.header, Access::write);
    uint32_t kind = e.header.kind;
    size_t size = record_size(kind);
    if (!size) {
        return ends_list(fail(where, format("element 0x%08x has kind %u, which is none this host draws (0 static "
                                              "image, 1 needle, 4 icon, 5 moving image)", unsigned(address),
                                              unsigned(kind))));
    }
    e.kind = kind;
    e.parent = parent;
    int index = int(gauge_.elements.size());
    e.name = parent < 0 ? format("element %d (%s, bitmap %u, root)", index + 1, element_kind_name(kind),
                                 unsigned(e.header.bitmap))
                        : format("element %d (%s, bitmap %u, child %d of element %d)", index + 1,
                                 element_kind_name(kind), unsigned(e.header.bitmap), child_number, parent + 1);
    e.call_label = format("conversion routine of \"%s\" %s", escaped(gauge_.name).c_str(), e.name.c_str());
    p = image_.place(address, size, Access::write);
    if (!p) {
        m_.misplaced(subject(e.name), format("%s record (%zu bytes)", element_kind_name(kind), size), address, size,
                     p, writes);
        return Outcome::faulty;
    }
    if (kind == stored::needle) image_.read(address, e.needle, Access::write);
    if (kind == stored::moving_image) image_.read(address, e.moving, Access::write);
    if (kind == stored::icon) image_.read(address, e.icon, Access::write);
    if (e.header.gauge_header != gauge_.address && !warned_back_pointer_) {
        warned_back_pointer_ = true;  // elements borrowed from another gauge all say so: once is enough
        warn(e.name, format("gauge header field %s is not this gauge's header %s",
                            image_.describe(e.header.gauge_header).c_str(), image_.describe(gauge_.address).c_str()));
    }
    e.picture = m_.bitmap(subject(e.name), "", e.header.bitmap);
    if (!e.picture || !read_failures(e) || !read_kind_fields(e)) return Outcome::faulty;
    if (parent >= 0) gauge_.elements[size_t(parent)].children.push_back(index);
    gauge_.elements.push_back(std::move(e));
    return read_children(index, path) ? Outcome::fine : Outcome::faulty;
}

bool GaugeReader::read_kind_fields(ElementModel& e) {
    switch (e.kind) {
        case stored::needle: return read_needle(e);
        case stored::moving_image: return read_moving_image(e);
        case stored::icon: return read_icon(e);
        default: return true;
    }
}

bool GaugeReader::read_needle(ElementModel& e) {
    const stored::Needle& n = e.needle;
    stored::Point pivot = n.header.offset;
    const Image& p = e.picture->picture;
    if (pivot.x < 0 || pivot.y < 0 || pivot.x >= p.width || pivot.y >= p.height)
        return fail(e.name, format("pivot %d, %d lies outside its %d x %d bitmap", int(pivot.x), int(pivot.y), p.width,
                                   p.height));
    if (!m_.routine(subject(e.name), "update routine", n.routine, false)) return false;
    if (n.rate_limit < 0)
        return fail(e.name, format("rate limit %d degrees per update is negative", int(n.rate_limit)));
    return read_calibration(e);
}

bool GaugeReader::read_calibration(ElementModel& e) {
    const stored::Needle& n = e.needle;
    uint32_t table = n.calibration, count = n.point_count;
    if (!table && !count) return true;
    if (!table) return fail(e.name, format("calibration table is null but its point count is %u", unsigned(count)));
    if (count < 2 || count > max_points)
        return fail(e.name, format("calibration point count %u; a table needs 2 to %u points", unsigned(count),
                                   unsigned(max_points)));
    uint64_t bytes = uint64_t(count) * sizeof(stored::CalibrationPoint);
    Placement p = image_.place(table, bytes, Access::write);
    if (!p)
        return m_.misplaced(subject(e.name), format("calibration table (%u points)", unsigned(count)), table, bytes, p,
                            "the host writes each point's angle there");
    e.calibration_points.resize(count);
    image_.read_bytes(table, e.calibration_points.data(), bytes, Access::write);
    stored::Point at = n.header.position;
    double sweep = 0, previous_angle = 0;
    int direction = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const stored::CalibrationPoint& point = e.calibration_points[i];
        if (!std::isfinite(point.value))
            return fail(e.name, format("calibration point %u: value is not a finite number", unsigned(i + 1)));
        if (point.point.x == at.x && point.point.y == at.y)
            return fail(e.name, format("calibration point %u lies on the needle's pivot %d, %d: it gives no direction",
                                       unsigned(i + 1), int(at.x), int(at.y)));
        double angle = std::atan2(double(point.point.y) - at.y, double(point.point.x) - at.x) * (180.0 / std::numbers::pi);
        if (angle < 0) angle += 360;
        if (i > 0) {
            sweep += std::fmod(angle - previous_angle + 360.0, 360.0);
            double rise = point.value - e.calibration_points[i - 1].value;
            int d = rise > 0 ? 1 : rise < 0 ? -1 : 0;
            if (d == 0 || (direction && d != direction))
                return fail(e.name, format("calibration point %u: value %g does not continue the %s order of the "
                                           "values before it", unsigned(i + 1), point.value,
                                           direction >= 0 ? "increasing" : "decreasing"));
            direction = d;
        }
        e.calibration.push_back({point.value, angle, sweep});
        previous_angle = angle;
    }
    if (sweep > 360.0)
        return fail(e.name, format("calibration points go %.1f degrees round the pivot: they are not in clockwise "
                                   "order within one turn", sweep));
    return true;
}

bool GaugeReader::read_moving_image(ElementModel& e) {
    const stored::MovingImage& m = e.moving;
    uint32_t id = m.header.bitmap;
    e.window = m_.bitmap(subject(e.name), "window mask (bitmap + 1)", id + 1);
    if (!e.window) return false;
    const Image& strip = e.picture->picture;
    const Image& window = e.window->picture;
    if (window.width > strip.width || window.height > strip.height)
        return fail(e.name, format("window mask %u (%d x %d) is larger than its image (%d x %d)", unsigned(id + 1),
                                   window.width, window.height, strip.width, strip.height));
    struct Axis {
        const char* name;
        const stored::ModuleVar& variable;
        double min, max;
        uint32_t routine;
    } axes[] = {{"x axis", m.x_variable, m.x_min, m.x_max, m.x_routine},
                {"y axis", m.y_variable, m.y_min, m.y_max, m.y_routine}};
    for (const Axis& axis : axes) {
        if (!m_.routine(subject(e.name), format("%s routine", axis.name), axis.routine, false)) return false;
        bool driven = axis.variable.id != 0 || axis.routine;
        if (driven && (!std::isfinite(axis.min) || !std::isfinite(axis.max) || axis.min == axis.max))
            return fail(e.name, format("%s is driven but its range %g to %g is empty or not finite", axis.name,
                                       axis.min, axis.max));
    }
    return true;
}

bool GaugeReader::read_icon(ElementModel& e) {
    uint32_t count = e.icon.image_count;
    if (count < 1 || count > max_icons)
        return fail(e.name, format("image count %u; an icon shows 1 to %u images", unsigned(count), unsigned(max_icons)));
    for (uint32_t i = 0; i < count; ++i) {
        const Bitmap* picture = m_.bitmap(subject(e.name), format("icon image %u", unsigned(i + 1)), e.header.bitmap + i);
        if (!picture) return false;
        e.icons.push_back(picture);
    }
    return true;
}

bool GaugeReader::read_failures(ElementModel& e) {
    uint32_t list = e.header.failures;
    if (!list) return true;
    auto [known, first] = m_.failure_lists_.try_emplace(list);
    ModuleReader::FailureList& read = known->second;
    if (!first) {
        e.failures = read.records;
        return read.ok;
    }
    ListWalk walk = walk_list<stored::FailureRecord>(
        image_, list, Access::read, max_failures, [](const stored::FailureRecord& r) { return r.key == 0; },
        [&, warned = false](uint32_t, const stored::FailureRecord& r) mutable {
            if (r.action != stored::fail_freeze && r.action != stored::fail_zero && !warned) {
                warned = true;  // the first of a list is enough to look at it
                warn(e.name, format("failure list record %zu: action %u is neither freeze (1) nor zero (2); this "
                                    "host ignores it", read.records.size() + 1, unsigned(r.action)));
            }
            read.records.push_back(r);
            return true;
        });
    if (walk.outcome != ListWalk::ended) {
        m_.list_fault(subject(e.name), "failure list", list, sizeof(stored::FailureRecord), walk, max_failures,
                      "an end record (key 0)", "");
        return false;
    }
    read.ok = true;
    e.failures = read.records;
    return true;
}

bool GaugeReader::read_children(int index, std::vector<uint32_t>& path) {
    const ElementModel& e = gauge_.elements[size_t(index)];
    std::string name = e.name;
    uint32_t list = e.header.children, self = e.address;
    if (!list) return true;
    std::vector<uint32_t> listed;
    ListWalk walk = walk_list<uint32_t>(
        image_, list, Access::read, max_children, [](uint32_t child) { return child == 0; },
        [&](uint32_t, uint32_t child) {
            listed.push_back(child);
            return true;
        });
    if (walk.outcome != ListWalk::ended) {
        m_.list_fault(subject(name), "child list", list, 4, walk, max_children, "a terminating null", "");
        return false;
    }
    if (listed.empty()) warn(name, "child list is empty; a null list says the same");
    path.push_back(self);
    bool ok = read_list(listed, index, path);
    path.pop_back();
    return ok;
}

void GaugeReader::check_face() {
    if (gauge_.elements.empty() || gauge_.elements[0].address != gauge_.roots[0]) return;
    const Image& face = gauge_.elements[0].picture->picture;
    gauge_.width = face.width;
    gauge_.height = face.height;
    for (const ElementModel& e : gauge_.elements) {
        stored::Point at = e.header.position;
        if (at.x < 0 || at.y < 0 || at.x >= face.width || at.y >= face.height)
            warn(e.name, format("position %d, %d lies outside the %d x %d face", int(at.x), int(at.y), face.width,
                                face.height));
    }
}

// What the mouse-area list looks like up to record `count`: a stray kind is
// often a list that lost its end records and runs on into other data.
std::string GaugeReader::kinds_before(uint32_t count, size_t open) const {
    static const char* const names[] = {"end of list", "parent", "child", "end of parent"};
    uint32_t first = count > 4 ? count - 4 : 0;
    std::string seen;
    for (uint32_t i = first; i < count; ++i) {
        stored::MouseRect r;
        image_.read(gauge_.header.mouse_areas + i * uint32_t(sizeof r), r);
        seen += format("%s%u %s", seen.empty() ? "" : ", ", unsigned(i + 1),
                       r.rect_type < 4 ? names[r.rect_type] : "?");
    }
    if (seen.empty()) return "it is the list's first record";
    return format("the records before it: %s%s", seen.c_str(),
                  open ? " (did the list lose its end-of-parent and end-of-list records?)" : "");
}

// Places a box that is not the whole face: relative to its parent's, and
// told when it cannot be clicked, wholly or in part.
bool GaugeReader::place_mouse_box(MouseArea& area, const std::string& where) {
    const stored::MouseRect& r = area.record;
    const int face_width = gauge_.width, face_height = gauge_.height;
    // A nested box is placed relative to its parent's.
    const MouseArea* parent = area.parent < 0 ? nullptr : &gauge_.mouse_areas[size_t(area.parent)];
    int64_t x = (parent ? parent->x : 0) + int64_t(r.box_x), y = (parent ? parent->y : 0) + int64_t(r.box_y);
    int64_t width = r.box_width, height = r.box_height;
    // A nested box is stored relative to its parent: both are shown,
    // so a box written in face coordinates is recognised as such.
    std::string box = format("box %lld, %lld, %lld x %lld on the face", (long long)x, (long long)y,
                             (long long)width, (long long)height);
    if (parent)
        box += format(" (stored as %d, %d within area %d's box at %d, %d)", int(r.box_x), int(r.box_y),
                      parent->index, parent->x, parent->y);
    if (std::max({x < 0 ? -x : x, y < 0 ? -y : y, width, height}) > max_box)
        return fail(where, format("%s lies far outside the %d x %d face", box.c_str(), face_width, face_height));
    area.x = int(x);
    area.y = int(y);
    area.width = int(width);
    area.height = int(height);
    // An empty box never matches a point, which harms nothing.
    if (face_width > 0 && width && height) {
        if (x >= face_width || y >= face_height || x + width <= 0 || y + height <= 0)
            return fail(where, format("%s lies wholly off the %d x %d face: it can never be clicked",
                                      box.c_str(), face_width, face_height));
        else if (x < 0 || y < 0 || x + width > face_width || y + height > face_height)
            warn(where, format("%s reaches outside the %d x %d face", box.c_str(), face_width, face_height));
        // A point is in an area only if it is in all its parents too.
        else if (parent && parent->width && parent->height &&
                 (x < parent->x || y < parent->y || x + width > int64_t(parent->x) + parent->width ||
                  y + height > int64_t(parent->y) + parent->height))
            warn(where, format("%s reaches outside area %d's box %d, %d, %d x %d: the part outside can never "
                               "be clicked", box.c_str(), parent->index, parent->x, parent->y, parent->width,
                               parent->height));
    }
    return true;
}

bool GaugeReader::read_mouse_areas() {
    uint32_t list = gauge_.header.mouse_areas;
    if (!list) return true;
    std::vector<int> open;  // indexes of the parents not yet closed
    for (uint32_t i = 0;; ++i) {
        std::string where = format("mouse area %u", unsigned(i + 1));
        uint64_t at = uint64_t(list) + uint64_t(i) * sizeof(stored::MouseRect);
        stored::MouseRect r;
        Placement p = at > UINT32_MAX ? Placement{Placement::outside_image} : image_.read(uint32_t(at), r);
        if (!p && i == 0) return m_.misplaced(subject("header"), "mouse-area list", list, sizeof r, p, "");
        if (!p)
            return fail(where, format("the mouse-area list at 0x%08x runs off the end of its section without an "
                                      "end-of-list record", unsigned(list)));
        if (i >= max_mouse_areas)
            return fail(where, format("the mouse-area list has more than %u records without an end-of-list record",
                                      unsigned(max_mouse_areas)));
        if (r.rect_type == stored::mouse_end_of_list) {
            if (!open.empty())
                return fail(where, format("end of list with %zu parent area(s) still open", open.size()));
            return true;
        }
        if (r.rect_type == stored::mouse_end_of_parent) {
            if (open.empty()) return fail(where, "end of parent with no parent open");
            open.pop_back();
            continue;
        }
        if (r.rect_type != stored::mouse_parent && r.rect_type != stored::mouse_child)
            return fail(where, format("kind 0x%08x is none of end of list (0), parent (1), child (2), end of parent "
                                      "(3); %s", unsigned(r.rect_type), kinds_before(i, open.size()).c_str()));
        if (!m_.routine(subject(where), "mouse routine", r.mouse_function, false)) return false;
        if (r.box_width < 0 || r.box_height < 0)
            return fail(where, format("box size %d x %d is negative", int(r.box_width), int(r.box_height)));
        MouseArea area;
        area.address = uint32_t(at);
        area.record = r;
        area.index = int(i) + 1;
        area.parent = open.empty() ? -1 : open.back();
        area.depth = int(open.size());
        if (area.parent < 0 && r.box_x == 0 && r.box_y == 0 && r.box_width == 0 && r.box_height == 0) {
            area.width = gauge_.width;   // the outermost all-zero box: the whole gauge
            area.height = gauge_.height;
        } else if (!place_mouse_box(area, where)) {
            return false;
        }
        gauge_.mouse_areas.push_back(area);
        if (r.rect_type == stored::mouse_parent) open.push_back(int(gauge_.mouse_areas.size()) - 1);
    }
}

void ModuleReader::read_import_table(ModuleModel& module) {
    const char* writes = "the host writes its service table's address there";
    ListWalk walk = walk_list<stored::ImportEntry>(
        image_, module.import_table, Access::write, max_imports,
        [](const stored::ImportEntry& e) { return e.id == 0 && e.pointer == 0; },
        [&](uint32_t at, const stored::ImportEntry& e) {
            if (e.id == stored::import_panels && !module.panels_entry) module.panels_entry = at;
            return true;
        });
    if (walk.outcome != ListWalk::ended)
        list_fault("ImportTable", "the record", module.import_table, sizeof(stored::ImportEntry), walk, max_imports,
                   "an end entry of zeros", writes);
    else if (!module.panels_entry)
        report_.error(format("ImportTable: no entry with identifier 0x%02X for the panel-service table",
                             unsigned(stored::import_panels)));
}

ModuleModel ModuleReader::read(uint32_t import_table, uint32_t linkage) {
    ModuleModel module;
    module.import_table = import_table;
    module.linkage = linkage;
    read_import_table(module);
    Placement p = image_.read(linkage, module.linkage_record);
    if (!p) {
        misplaced("Linkage", "the record", linkage, sizeof(stored::Linkage), p, "");
        return module;
    }
    if (!routine("Linkage", "module-init routine", module.linkage_record.module_init, false) ||
        !routine("Linkage", "module-deinit routine", module.linkage_record.module_deinit, false))
        return module;
    uint32_t table = linkage + uint32_t(sizeof(stored::Linkage));
    std::map<uint32_t, int> headers;  // table index of each header read
    ListWalk walk = walk_list<uint32_t>(
        image_, table, Access::read, max_gauges, [](uint32_t header) { return header == 0; },
        [&](uint32_t at, uint32_t header) {
            GaugeModel gauge;
            gauge.address = header;
            gauge.table_index = int((at - table) / 4);
            std::string entry = format("gauge table entry %d:", gauge.table_index);
            auto [seen, first] = headers.try_emplace(header, gauge.table_index);
            if (!first) {
                report_.warning(format("Linkage: %s 0x%08x is entry %d's gauge header again; only entry %d can be "
                                       "chosen, so entry %d is left out", entry.c_str(), unsigned(header),
                                       seen->second, seen->second, gauge.table_index));
                return true;
            }
            Placement placed = image_.read(header, gauge.header);
            // An entry that is no gauge header ends the table: what follows
            // it is no more to be trusted.
            if (!placed) return misplaced("Linkage", entry + " gauge header", header, sizeof gauge.header, placed, "");
            if (gauge.header.version != stored::gauge_header_version) {
                report_.error(format("Linkage: %s 0x%08x is not a gauge header: its version word is %u, not %u",
                                     entry.c_str(), unsigned(header), unsigned(gauge.header.version),
                                     unsigned(stored::gauge_header_version)));
                return false;
            }
            if (!GaugeReader(*this, gauge).read()) return true;
            for (const GaugeModel& earlier : module.gauges)
                if (earlier.name == gauge.name)
                    report_.warning(format("Linkage: gauge table entries %d and %d are both named \"%s\"; only entry "
                                           "%d can be chosen by name", earlier.table_index, gauge.table_index,
                                           escaped(gauge.name).c_str(), earlier.table_index));
            module.gauges.push_back(std::move(gauge));
            return true;
        });
    if (walk.outcome != ListWalk::ended && walk.outcome != ListWalk::stopped)
        list_fault("Linkage", "gauge table", table, 4, walk, max_gauges, "a terminating null", "");
    else if (walk.outcome == ListWalk::ended && walk.entries == 0)
        report_.error("Linkage: the gauge table is empty: a panel can use no gauge of this module");
    tell_missing_bitmaps();
    return module;
}

}  // namespace

ModuleModel read_module(const AddressSpace& image, uint32_t import_table, uint32_t linkage, BitmapResources& bitmaps,
                        Report& report) {
    return ModuleReader(image, bitmaps, report).read(import_table, linkage);
}

}  // namespace panelhost
