// A gauge module loaded through the Windows loader, with what the host needs
// to read it safely: the extent and sections of its image, its exports and
// its bitmap resources decoded into pictures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/image.h"
#include "host/report.h"
#include "module/records/gauge_records.h"

namespace panelhost {

struct Section {
    std::string name;
    uintptr_t start = 0;
    uintptr_t end = 0;  // one past its last byte (its virtual size, not rounded)
    bool writable = false;
    bool executable = false;
};

// A bitmap resource as the host draws it: pure black made see-through.
struct Bitmap {
    uint32_t id = 0;
    Image picture;
};

class GaugeModule {
public:
    // Checks the file's layout before the loader sees it (a truncated or
    // foreign file gets a clear error instead of a loader failure code), then
    // loads it. Null, with errors in `report`, when it cannot be used.
    static std::unique_ptr<GaugeModule> load(const std::string& path, Report& report);
    ~GaugeModule();
    GaugeModule(const GaugeModule&) = delete;
    GaugeModule& operator=(const GaugeModule&) = delete;

    const std::string& path() const { return path_; }
    HMODULE handle() const { return handle_; }
    uintptr_t base() const { return base_; }
    uintptr_t image_end() const { return base_ + image_size_; }

    // The section holding all `bytes` bytes from `address`, if one does.
    const Section* section_of(uintptr_t address, size_t bytes) const;
    bool holds(const void* address, size_t bytes) const {
        return section_of(reinterpret_cast<uintptr_t>(address), bytes) != nullptr;
    }
    bool holds_code(const void* address) const;
    bool holds_writable(const void* address, size_t bytes) const;

    GAUGESIMPORT* import_table() const { return import_table_; }
    uint32_t* linkage() const { return linkage_; }

    // The bitmap resource `id`, decoded once; null with `why` set when it is
    // missing or not a picture this host reads.
    const Bitmap* bitmap(uint32_t id, std::string& why);

    // "0x6a001234 (in .data)" or "0x00000010 (outside the module image
    // 0x6a000000..0x6a00d000)", for messages.
    std::string describe(const void* address) const;

private:
    GaugeModule() = default;
    std::string path_;
    HMODULE handle_ = nullptr;
    uintptr_t base_ = 0;
    size_t image_size_ = 0;
    std::vector<Section> sections_;
    GAUGESIMPORT* import_table_ = nullptr;
    uint32_t* linkage_ = nullptr;
    struct CachedBitmap {
        std::optional<Bitmap> bitmap;
        std::string why;
    };
    std::map<uint32_t, CachedBitmap> bitmaps_;
};

}  // namespace panelhost
