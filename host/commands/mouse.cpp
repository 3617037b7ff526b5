// mouse: the mouse area under a point of a gauge's face, or all of them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "host/commands/command_support.h"
#include "host/commands/gauge_description.h"
#include "host/commands/mouse_point.h"

namespace panelhost {

namespace {

bool parse_coordinate(const std::string& text, const char* name, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && !*end && !errno && std::labs(value) <= 1000000) return true;
    std::fprintf(stderr, "panelhost mouse: %s is \"%s\"; X and Y are whole pixels on the face\n", name, text.c_str());
    return false;
}

// Every area, from the file alone: listing them runs none of the module's code.
ExitStatus list_areas(const Arguments& a) {
    Output out(a.format);
    CheckedRecords read = read_records(a.operands[0], out);
    if (read.status != ExitStatus::ok) return read.status;
    const GaugeModel* gauge = find_gauge(read.checked.records, a.operands[0], a.operands[1]);
    if (!gauge) return ExitStatus::bad_input;
    if (a.format == Format::json) {
        out.print_json({{"command", "mouse"},
                        {"module", valid_utf8(a.operands[0])},
                        {"gauge", valid_utf8(gauge->name)},
                        {"face", {{"width", gauge->width}, {"height", gauge->height}}},
                        {"areas", mouse_tree_json(*gauge)}});
        return ExitStatus::ok;
    }
    int clickable = 0;
    for (const MouseArea& area : gauge->mouse_areas) clickable += area.record.event_id != 0;
    std::printf("\"%s\": %zu mouse areas (%d send key events) on its %d x %d face\n", escaped(gauge->name).c_str(),
                gauge->mouse_areas.size(), clickable, gauge->width, gauge->height);
    std::fputs(mouse_tree_text(*gauge, 2).c_str(), stdout);
    return ExitStatus::ok;
}

ExitStatus mouse(const Arguments& a) {
    if (a.operands.size() != (a.list ? 2u : 4u)) {
        std::fprintf(stderr, "panelhost mouse: %s\n",
                     a.list ? "--list lists every area: it takes no X and Y" : "needs X and Y, or --list");
        return ExitStatus::bad_input;
    }
    if (a.list) return list_areas(a);
    long x = 0, y = 0;
    if (!parse_coordinate(a.operands[2], "X", x) || !parse_coordinate(a.operands[3], "Y", y))
        return ExitStatus::bad_input;
    return mouse_at_point(a, x, y);
}

}  // namespace

extern const Command mouse_command = {
    .name = "mouse",
    .operands = {"MODULE", "GAUGE", "X", "Y"},
    .optional_operands = 2,
    .summary = "the mouse area under a point of the face, or --list them all",
    .description = "Prints the innermost mouse area of GAUGE under face pixel X, Y (nested areas are placed "
                   "relative to their parent's box), with its cursor, help identifier, mouse flags and key event, "
                   "and the parent areas around it. With --list instead of X and Y: every area as a tree, read "
                   "from the file without running any of the module's code.",
    .options = {{OptionId::list, nullptr, "every mouse area of GAUGE, nested parents indented under theirs"}},
    .formats = {Format::text, Format::json},
    .run = mouse,
};

}  // namespace panelhost
