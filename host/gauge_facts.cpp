// gauge_facts MODULE: the facts of every gauge of a module as JSON, for the
// pilot's guide generator: names, face and default sizes, each element's
// kind, variables and failures, the mouse areas, and the variables a gauge
// reads when it runs (its auxiliary ones included).
#include <cstdio>

#include <nlohmann/json.hpp>

#include "host/panel_host.h"

using namespace panelhost;
using nlohmann::json;

namespace {

json variable(uint32_t token) {
    const VariableInfo* info = variable_info(token);
    return {{"token", token}, {"name", info ? info->name : "unknown"}, {"unit", info ? info->unit : ""}};
}

json element_facts(const ElementModel& e) {
    json out = {{"kind", element_kind_name(e.kind)}, {"bitmap", e.header.bitmap}, {"parent", e.parent}};
    json variables = json::array();
    if (e.kind == ELEMENT_TYPE_NEEDLE) {
        variables.push_back(variable(e.needle.variable.id));
    } else if (e.kind == ELEMENT_TYPE_MOVING_IMAGE) {
        for (const stored::ModuleVar* axis : {&e.moving.x_variable, &e.moving.y_variable})
            if (axis->id) variables.push_back(variable(axis->id));
    }
    out["variables"] = variables;
    json failures = json::array();
    for (const stored::FailureRecord& f : e.failures)
        failures.push_back({{"key", f.key}, {"action", f.action == 1 ? "freeze" : f.action == 2 ? "zero" : "other"}});
    out["failures"] = failures;
    return out;
}

json mouse_facts(const MouseArea& a) {
    const stored::MouseRect& r = a.record;
    const char* cursor = r.cursor == CURSOR_UPARROW ? "up arrow" : r.cursor == CURSOR_DOWNARROW ? "down arrow" : "none";
    return {{"index", a.index}, {"kind", r.rect_type == MOUSE_RECT_PARENT ? "parent" : "child"},
            {"parent", a.parent}, {"box", {a.x, a.y, a.width, a.height}}, {"cursor", cursor},
            {"help_id", r.help_id}, {"mouse_flags", r.mouse_flags}, {"event", r.event_id}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: gauge_facts MODULE\n", stderr);
        return 1;
    }
    Report report;
    std::unique_ptr<Host> host = Host::open(argv[1], report);
    if (!host) {
        std::fprintf(stderr, "%s\n", report.text().c_str());
        return 2;
    }
    json gauges = json::array();
    for (const GaugeModel& g : host->gauges()) {
        host->install(g);
        host->update(g);
        json elements = json::array();
        for (const ElementModel& e : g.elements) elements.push_back(element_facts(e));
        json areas = json::array();
        for (const MouseArea& a : g.mouse_areas) areas.push_back(mouse_facts(a));
        json read = json::array();
        for (uint32_t token : host->tokens_read[&g]) read.push_back(variable(token));
        gauges.push_back({{"name", g.name}, {"index", g.table_index}, {"face", {{"width", g.width}, {"height", g.height}}},
                          {"default_size_mm", g.header.default_size_mm}, {"elements", elements},
                          {"mouse_areas", areas}, {"variables_read", read}});
        host->kill(g);
    }
    std::puts(json{{"gauges", gauges}}.dump(1).c_str());
    return 0;
}
