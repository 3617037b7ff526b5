// A gauge module's file as stored, read without loading it: headers,
// section table, exports, imports, relocations, thread-storage and resource
// directories, each bounded and checked before it is used. As an address
// space it shows the image at the module's preferred base, the way the
// loader would map it there.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/reader/address_space.h"
#include "host/reader/bitmap_resources.h"
#include "host/reader/pe_format.h"
#include "host/base/report.h"

namespace panelhost {

class ModuleFile final : public AddressSpace {
public:
    // Files larger than this are refused before they are read.
    static constexpr size_t max_file_size = size_t(256) << 20;

    // Null, with one error in `report`, when the headers, the section table
    // or the export directory cannot be followed; a fault in a directory the
    // records do not depend on is reported and the file still returned.
    static std::unique_ptr<ModuleFile> open(const std::string& path, Report& report);
    static std::unique_ptr<ModuleFile> parse(std::vector<uint8_t> bytes, Report& report);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    uint32_t image_size() const { return uint32_t(end_ - base_); }
    uint32_t entry_point() const { return entry_point_; }  // RVA; 0 for none
    const std::vector<pe::SectionHeader>& section_headers() const { return headers_; }

    // The two exports the host needs, as addresses at the preferred base.
    uint32_t import_table() const { return import_table_; }
    uint32_t linkage() const { return linkage_; }

    BitmapResources& bitmaps() { return *bitmaps_; }

    // False when the relocations show the image base to be wrong: the
    // records' addresses then cannot be followed at it.
    bool addresses_agree_with_base() const { return addresses_agree_; }

    // Where in the file the byte at `address` is stored, if it is.
    std::optional<size_t> file_offset(uint32_t address) const;

protected:
    void copy(uint32_t address, void* out, size_t size) const override;

private:
    explicit ModuleFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    class Parser;

    std::vector<uint8_t> bytes_;
    std::vector<pe::SectionHeader> headers_;
    uint32_t entry_point_ = 0;
    uint32_t import_table_ = 0;
    uint32_t linkage_ = 0;
    bool addresses_agree_ = true;
    std::unique_ptr<BitmapResources> bitmaps_;
};

}  // namespace panelhost
