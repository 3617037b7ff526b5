// The library's entry routine and the module's init/deinit routine. The
// module owns no resources, so there is nothing to set up or tear down.
#include <stdint.h>

extern "C" int __stdcall DllMain(void*, uint32_t, void*) {
    return 1;
}

void __stdcall module_init_deinit() {}
