// mouse: the mouse area under a point of a gauge's face.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "host/commands/command_support.h"

namespace panelhost {

namespace {

const char* cursor_name(int32_t cursor) {
    switch (cursor) {
        case CURSOR_NONE: return "none";
        case CURSOR_UPARROW: return "up arrow";
        case CURSOR_DOWNARROW: return "down arrow";
        default: return "host cursor";
    }
}

const char* area_kind(const MouseArea& area) {
    return area.record.rect_type == MOUSE_RECT_PARENT ? "parent" : "child";
}

Json box_json(const MouseArea& area) {
    return {{"x", area.x}, {"y", area.y}, {"width", area.width}, {"height", area.height}};
}

// An area as JSON: its place in the list, its box on the face, what it does.
Json area_json(const MouseArea& area) {
    const stored::MouseRect& r = area.record;
    return {{"index", area.index},
            {"kind", area_kind(area)},
            {"box", box_json(area)},
            {"cursor", r.cursor},
            {"cursor_name", cursor_name(r.cursor)},
            {"help_id", r.help_id},
            {"mouse_flags", r.mouse_flags},
            {"key_event", r.event_id}};
}

bool parse_coordinate(const std::string& text, const char* name, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && !*end && !errno && std::labs(value) <= 1000000) return true;
    std::fprintf(stderr, "panelhost mouse: %s is \"%s\"; X and Y are whole pixels on the face\n", name, text.c_str());
    return false;
}

ExitStatus mouse(const Arguments& a) {
    long x = 0, y = 0;
    if (!parse_coordinate(a.operands[2], "X", x) || !parse_coordinate(a.operands[3], "Y", y))
        return ExitStatus::bad_input;
    Output out(a.format);
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    const GaugeModel* gauge = find_gauge(*opened.host, a.operands[1]);
    if (!gauge) return ExitStatus::bad_input;
    MouseHit hit = opened.host->mouse(*gauge, int(x), int(y));
    if (a.format == Format::json) {
        Json doc = {{"command", "mouse"}, {"module", valid_utf8(a.operands[0])}, {"gauge", valid_utf8(gauge->name)},
                    {"x", x}, {"y", y}, {"area", nullptr}, {"enclosing", Json::array()}};
        if (hit.area) doc["area"] = area_json(*hit.area);
        for (const MouseArea* p : hit.enclosing) doc["enclosing"].push_back(area_json(*p));
        out.print_json(doc);
        return ExitStatus::ok;
    }
    if (!hit.area) {
        std::printf("\"%s\" at %ld, %ld: no mouse area\n", gauge->name.c_str(), x, y);
        return ExitStatus::ok;
    }
    const stored::MouseRect& r = hit.area->record;
    std::printf("\"%s\" at %ld, %ld: mouse area %d (%s), box %d, %d, %d x %d on the face\n", gauge->name.c_str(), x,
                y, hit.area->index, area_kind(*hit.area), hit.area->x, hit.area->y, hit.area->width,
                hit.area->height);
    std::printf("  cursor:          %d (%s)\n", int(r.cursor), cursor_name(r.cursor));
    std::printf("  help identifier: 0x%04X%s\n", unsigned(r.help_id), r.help_id ? "" : " (none)");
    std::printf("  mouse flags:     0x%08X\n", unsigned(r.mouse_flags));
    std::printf("  key event:       0x%05X%s\n", unsigned(r.event_id), r.event_id ? "" : " (none)");
    for (const MouseArea* p : hit.enclosing)
        std::printf("  inside area %d (parent, box %d, %d, %d x %d, help identifier 0x%04X)\n", p->index, p->x,
                    p->y, p->width, p->height, unsigned(p->record.help_id));
    return ExitStatus::ok;
}

}  // namespace

extern const Command mouse_command = {
    .name = "mouse",
    .operands = {"MODULE", "GAUGE", "X", "Y"},
    .summary = "the mouse area under a point of the face",
    .description = "Prints the innermost mouse area of GAUGE under face pixel X, Y (nested areas are placed "
                   "relative to their parent's box), with its cursor, help identifier, mouse flags and key event, "
                   "and the parent areas around it.",
    .formats = {Format::text, Format::json},
    .run = mouse,
};

}  // namespace panelhost
