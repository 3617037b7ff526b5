// The module's gauge headers, one defined in each gauge's source, listed in
// gauge-table order.
#pragma once

#include "module/records/gauge_records.h"

extern GAUGEHDR airspeed_gauge;
extern GAUGEHDR manifold_pressure_gauge;
extern GAUGEHDR engine_tachometer_gauge;
extern GAUGEHDR fuel_quantity_gauge;
extern GAUGEHDR engine_instruments_gauge;
extern GAUGEHDR radar_altimeter_gauge;
extern GAUGEHDR labs_instrument_gauge;
extern GAUGEHDR direction_finder_gauge;
