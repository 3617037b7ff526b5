// mouse MODULE GAUGE X Y, in the Windows program: the gauge installed, the
// host asked for the area under the point.
#include "host/commands/mouse_point.h"

#include <cstdio>

#include "host/commands/gauge_description.h"
#include "host/commands/run_support.h"
#include "host/record_words.h"

namespace panelhost {

ExitStatus mouse_at_point(const Arguments& a, long x, long y) {
    Output out(a.format);
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    const GaugeModel* gauge = find_gauge(*opened.host, a.operands[1]);
    if (!gauge) return ExitStatus::bad_input;
    MouseHit hit = opened.host->mouse(*gauge, int(x), int(y));
    if (a.format == Format::json) {
        Json doc = {{"command", "mouse"}, {"module", valid_utf8(a.operands[0])}, {"gauge", valid_utf8(gauge->name)},
                    {"x", x}, {"y", y}, {"area", nullptr}, {"enclosing", Json::array()}};
        if (hit.area) doc["area"] = mouse_area_json(*hit.area);
        for (const MouseArea* p : hit.enclosing) doc["enclosing"].push_back(mouse_area_json(*p));
        out.print_json(doc);
        return ExitStatus::ok;
    }
    if (!hit.area) {
        std::printf("\"%s\" at %ld, %ld: no mouse area\n", gauge->name.c_str(), x, y);
        return ExitStatus::ok;
    }
    const stored::MouseRect& r = hit.area->record;
    std::printf("\"%s\" at %ld, %ld: mouse area %d (%s), box %d, %d, %d x %d on the face\n", gauge->name.c_str(), x,
                y, hit.area->index, mouse_area_kind(*hit.area), hit.area->x, hit.area->y, hit.area->width,
                hit.area->height);
    std::printf("  cursor:          %d (%s)\n", int(r.cursor), cursor_name(r.cursor));
    std::printf("  help identifier: 0x%04X%s\n", unsigned(r.help_id), r.help_id ? "" : " (none)");
    std::string flag_words;
    for (const std::string& w : mouse_flag_words(r.mouse_flags)) flag_words += (flag_words.empty() ? " (" : "; ") + w;
    std::printf("  mouse flags:     0x%08X%s\n", unsigned(r.mouse_flags), flag_words.empty() ? "" : (flag_words + ")").c_str());
    std::printf("  key event:       0x%05X%s\n", unsigned(r.event_id), r.event_id ? "" : " (none)");
    for (const MouseArea* p : hit.enclosing)
        std::printf("  inside area %d (parent, box %d, %d, %d x %d, help identifier 0x%04X)\n", p->index, p->x,
                    p->y, p->width, p->height, unsigned(p->record.help_id));
    return ExitStatus::ok;
}

}  // namespace panelhost
