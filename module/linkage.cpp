// The two records the module exports. The host writes its service table into
// ImportTable and finds everything else through Linkage.
#include "gauges/gauge_headers.h"
#include "module/panel_services.h"

void __stdcall module_init_deinit();

extern "C" {

GAUGESIMPORT ImportTable[2] = {
    {.id = IMPORT_PANELS, .pointer = nullptr},
    {.id = 0, .pointer = nullptr},
};

// Gauges in table order, then null; panels select them by name.
GAUGESLINKAGE<8> Linkage = {
    .module_id = GAUGES_MODULE_ID,
    .module_init = module_init_deinit,
    .module_deinit = module_init_deinit,
    .gauge_table =
        {
            &airspeed_gauge,
            &manifold_pressure_gauge,
            &engine_tachometer_gauge,
            &fuel_quantity_gauge,
            &engine_instruments_gauge,
            &radar_altimeter_gauge,
            &labs_instrument_gauge,
            &direction_finder_gauge,
            nullptr,
        },
};

}
