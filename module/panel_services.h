// The module's only way into the host: the service table whose address the
// host writes into ImportTable after loading the module, before it installs
// any gauge.
#pragma once

#include "module/records/panel_services.h"

extern "C" GAUGESIMPORT ImportTable[2];

inline PANELS& panels() {
    return *static_cast<PANELS*>(ImportTable[0].pointer);
}
