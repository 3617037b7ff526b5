// The gauge headers, each defined in its gauge's source. Their order as
// panels know them is the gauge table's, in dll/linkage.cpp.
#pragma once

#include "module/records/gauge_records.h"

extern GAUGEHDR engine_instruments_gauge;
extern GAUGEHDR engine_tachometer_gauge;
extern GAUGEHDR fuel_quantity_gauge;
extern GAUGEHDR manifold_pressure_gauge;

extern GAUGEHDR airspeed_gauge;
extern GAUGEHDR direction_finder_gauge;
extern GAUGEHDR labs_instrument_gauge;
extern GAUGEHDR radar_altimeter_gauge;
