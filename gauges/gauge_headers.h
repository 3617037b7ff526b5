// The module's gauge headers, one defined in each gauge's source.
#pragma once

#include "module/records/gauge_records.h"

extern GAUGEHDR airspeed_gauge;
