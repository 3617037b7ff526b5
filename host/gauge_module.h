// A gauge module loaded through the Windows loader, only after its file
// passed every check, and its records read again from the loaded library by
// the same rules, against the pages' real protection. Exports and bitmaps
// come from the checked file: no Windows call is ever made on module data.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "host/reader/gauge_model.h"
#include "host/loaded_image.h"
#include "host/reader/module_file.h"
#include "host/base/report.h"
#include "host/windows_error.h"

namespace panelhost {

class GaugeModule {
public:
    // Null, with errors in `report`, when the module cannot be used.
    static std::unique_ptr<GaugeModule> load(const std::string& path, Report& report);
    ~GaugeModule();
    GaugeModule(const GaugeModule&) = delete;
    GaugeModule& operator=(const GaugeModule&) = delete;

    const std::string& path() const { return path_; }
    HMODULE handle() const { return handle_; }
    const LoadedImage& image() const { return *image_; }
    const ModuleModel& records() const { return records_; }

    // A record of the loaded module, for the host to read or write in
    // place; only addresses its checked model names.
    template <typename Record>
    Record* live(uint32_t address) const {
        return reinterpret_cast<Record*>(uintptr_t(address));
    }
    static uint32_t address_of(const void* pointer) { return uint32_t(uintptr_t(pointer)); }

    // "0x6a001234 (in .data)", for messages.
    std::string describe(uint32_t address) const { return image_->describe(address); }

private:
    GaugeModule() = default;
    std::string path_;
    std::unique_ptr<ModuleFile> file_;  // owns the bitmaps the model points to
    HMODULE handle_ = nullptr;
    std::unique_ptr<LoadedImage> image_;
    ModuleModel records_;
};

}  // namespace panelhost
