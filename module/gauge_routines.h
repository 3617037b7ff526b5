// What every gauge header shares: the seven routines that hand the gauge's
// element tree to the host's element-list services, the gauge callbacks, and
// the reading of an auxiliary variable inside a conversion routine.
#pragma once

#include "module/panel_services.h"

// The routines take no gauge argument, so each gauge gets its own set, bound
// to its header. The root is looked up through the header on every call: the
// host may rewrite the element list while the gauge is installed.
template <GAUGEHDR& Gauge>
struct GaugeRoutineSet {
    static ELEMENT_HEADER* root() { return Gauge.elements_list[0]; }

    static void __stdcall query() { panels().element_list_query(root()); }
    static void __stdcall install(uint32_t resource_file) {
        panels().element_list_install(root(), resource_file);
    }
    static void __stdcall initialize() { panels().element_list_initialize(root()); }
    static void __stdcall update() { panels().element_list_update(root()); }
    static void __stdcall generate(uint32_t phase) {
        panels().element_list_generate(root(), phase);
    }
    static void __stdcall draw() { panels().element_list_plot(root()); }
    static void __stdcall kill() { panels().element_list_kill(root()); }
};

template <GAUGEHDR& Gauge>
inline constexpr GaugeRoutines routines_for = {
    .query = GaugeRoutineSet<Gauge>::query,
    .install = GaugeRoutineSet<Gauge>::install,
    .initialize = GaugeRoutineSet<Gauge>::initialize,
    .update = GaugeRoutineSet<Gauge>::update,
    .generate = GaugeRoutineSet<Gauge>::generate,
    .draw = GaugeRoutineSet<Gauge>::draw,
    .kill = GaugeRoutineSet<Gauge>::kill,
};

// The gauge callback of every gauge without an auxiliary variable.
void __stdcall ignore_gauge_service(GAUGEHDR* gauge, int32_t service_id, uint32_t extra_data);

// The gauge callback of a gauge that reads a second variable of its own:
// the host binds the record to its variable just before installing the gauge.
template <MODULE_VAR& Auxiliary>
void __stdcall bind_auxiliary_variable(GAUGEHDR*, int32_t service_id, uint32_t) {
    if (service_id == PANEL_SERVICE_PRE_INSTALL) panels().initialize_var(&Auxiliary);
}

// The auxiliary variable's current value, refreshed by the host first: never
// a value cached from an earlier call.
inline double refreshed_value(MODULE_VAR& auxiliary) {
    panels().lookup_var(&auxiliary);
    return auxiliary.value.number;
}
