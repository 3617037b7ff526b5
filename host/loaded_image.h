// The module as the Windows loader mapped it: its sections at the real base,
// each with the access its pages really have (VirtualQuery), so a record is
// read, and written, only where the process may.
#pragma once

#include <cstdint>

#include "host/reader/address_space.h"
#include "host/reader/module_file.h"

namespace panelhost {

class LoadedImage final : public AddressSpace {
public:
    // `base`: where the loader put the module `file` describes.
    LoadedImage(uintptr_t base, const ModuleFile& file);

    // The address the file gives at the preferred base, here.
    uint32_t relocated(uint32_t preferred) const { return preferred - preferred_base_ + base_; }

protected:
    void copy(uint32_t address, void* out, size_t size) const override;

private:
    uint32_t preferred_base_;
};

}  // namespace panelhost
