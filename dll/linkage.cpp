// Linkage, the record through which the host finds the module's gauges: the
// gauge table is the one list of the module's gauges, in the order panels
// know them by.
#include "gauges/gauge_headers.h"

void __stdcall module_init_deinit();

extern "C" {

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
