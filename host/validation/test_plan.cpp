#include "host/validation/test_plan.h"

#include "host/base/report.h"

namespace panelhost {

Effort effort_at(int s) {
    return {
        .random_inputs = size_t(200 * s * s),
        .variable_pairs = s >= 6,
        .repeat_inputs = size_t(100 * s),
        .install_cycles = 2 + 2 * s,
        .load_cycles = 2 + 2 * s,
        .unknown_callback_codes = s >= 3,
        .caller_modes = s >= 4,
    };
}

bool has_routine(const ElementModel& e) {
    if (e.kind == stored::needle) return e.needle.routine != 0;
    if (e.kind == stored::moving_image) return e.moving.x_routine || e.moving.y_routine;
    return false;
}

std::vector<PlannedTest> plan_tests(const ModuleModel& model, const ValidationSettings& settings) {
    const Effort effort = effort_at(settings.strictness);
    std::vector<PlannedTest> plan;
    for (int g : settings.gauges) {
        const GaugeModel& gauge = model.gauges[size_t(g)];
        const std::string& name = gauge.name;
        plan.push_back({TestKind::lifecycle, g, -1, name + "/lifecycle"});
        for (size_t e = 0; e < gauge.elements.size(); ++e)
            if (has_routine(gauge.elements[e]))
                plan.push_back({TestKind::results, g, int(e), format("%s/element %zu/results", name.c_str(), e + 1)});
        plan.push_back({TestKind::repeatable, g, -1, name + "/repeatable"});
        plan.push_back({TestKind::install_and_kill, g, -1, name + "/install and kill"});
        if (effort.caller_modes) plan.push_back({TestKind::caller_modes, g, -1, name + "/caller's x87 modes"});
    }
    plan.push_back({TestKind::load_and_unload, -1, -1, "module/load and unload"});
    return plan;
}

}  // namespace panelhost
