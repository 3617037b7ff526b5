#include "module/gauge_routines.h"

void __stdcall ignore_gauge_service(GAUGEHDR*, int32_t, uint32_t) {}
