#include "module/panel_services.h"

// Exported as data: the host writes its service table's address into the
// first entry after loading the module, before it installs any gauge.
extern "C" {

GAUGESIMPORT ImportTable[2] = {
    {.id = IMPORT_PANELS, .pointer = nullptr},
    {.id = 0, .pointer = nullptr},
};

}
