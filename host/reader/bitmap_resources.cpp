#include "host/reader/bitmap_resources.h"

#include <cstring>
#include <vector>

#include "host/reader/pe_format.h"
#include "host/base/report.h"

namespace panelhost {

namespace {

#pragma pack(push, 1)
struct BitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;  // positive: rows stored bottom first
    uint16_t planes;
    uint16_t bits;
    uint32_t compression;
    uint32_t image_size;
    int32_t x_resolution, y_resolution;
    uint32_t colours_used;
    uint32_t colours_important;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

constexpr int max_side = 8192;
constexpr uint32_t uncompressed = 0;

}  // namespace

bool decode_bitmap(const uint8_t* data, size_t size, Image& out, std::string& why) {
    BitmapInfoHeader h;
    if (size < sizeof h) {
        why = format("only %zu bytes, less than a bitmap header's 40", size);
        return false;
    }
    std::memcpy(&h, data, sizeof h);
    if (h.size < sizeof h || h.size > size) {
        why = format("header size %u is not a bitmap header's (40 or more, within the resource's %zu bytes)",
                     unsigned(h.size), size);
        return false;
    }
    if (h.width <= 0 || h.width > max_side || h.height == 0 || h.height > max_side || h.height < -max_side) {
        why = format("size %d x %d is not a picture's (1 to %d pixels a side)", int(h.width), int(h.height), max_side);
        return false;
    }
    if (h.compression != uncompressed) {
        why = format("compression %u; this host reads uncompressed bitmaps only", unsigned(h.compression));
        return false;
    }
    unsigned bits = h.bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        why = format("%u bits per pixel; this host reads 1, 4, 8, 24 and 32", bits);
        return false;
    }
    // A 24- or 32-bit picture may still carry a colour table (a hint for
    // palette displays); its rows begin after it.
    size_t colours = h.colours_used ? h.colours_used : bits <= 8 ? size_t(1) << bits : 0;
    if (colours > 256 || (bits <= 8 && colours > (size_t(1) << bits))) {
        why = format("%zu colours for %u bits per pixel", colours, bits);
        return false;
    }
    int width = h.width, height = h.height < 0 ? -h.height : h.height;
    size_t row_bytes = (size_t(width) * bits + 31) / 32 * 4;
    size_t needed = h.size + colours * 4 + row_bytes * size_t(height);
    if (size < needed) {
        why = format("%zu bytes, but a %d x %d bitmap of %u bits with %zu colours needs %zu", size, width, height,
                     bits, colours, needed);
        return false;
    }
    const uint8_t* palette = data + h.size;
    const uint8_t* rows = palette + colours * 4;
    Image picture(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rows + row_bytes * size_t(h.height > 0 ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            uint8_t r, g, b;
            if (bits <= 8) {
                // The leftmost pixel sits in a byte's highest bits.
                unsigned index = bits == 8   ? row[x]
                                 : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF
                                             : (row[x / 8] >> (7 - x % 8)) & 1;
                if (index >= colours) {
                    why = format("pixel %d, %d uses colour %u of a %zu-colour table", x, y, index, colours);
                    return false;
                }
                b = palette[index * 4], g = palette[index * 4 + 1], r = palette[index * 4 + 2];
            } else {
                const uint8_t* p = row + size_t(x) * (bits / 8);
                b = p[0], g = p[1], r = p[2];
            }
            // See-through goes by colour value, whatever the table index.
            picture.at(x, y) = (r | g | b) ? opaque(r, g, b) : Rgba{};
        }
    }
    out = std::move(picture);
    return true;
}

BitmapResources::Lookup BitmapResources::find(uint32_t id) {
    Lookup lookup;
    if (!usable_) {
        lookup.told_before = true;
        lookup.fault = "the resource directory cannot be read";
        return lookup;
    }
    auto [entry, first] = decoded_.try_emplace(id);
    Decoded& d = entry->second;
    if (first) {
        auto stored = stored_.find(id);
        if (id == 0 || id > 0xFFFF) {
            d.fault = format("bitmap %u is not a resource identifier (1 to 65535)", unsigned(id));
        } else if (stored == stored_.end()) {
            d.fault = format("bitmap resource %u is missing", unsigned(id));
            d.missing = true;
        } else {
            // The directory's reader placed the data inside a readable section.
            std::vector<uint8_t> bytes(stored->second.size);
            image_.read_bytes(stored->second.address, bytes.data(), bytes.size());
            Image picture;
            std::string why;
            if (decode_bitmap(bytes.data(), bytes.size(), picture, why))
                d.bitmap = Bitmap{id, std::move(picture)};
            else
                d.fault = format("bitmap resource %u: %s", unsigned(id), why.c_str());
        }
    }
    lookup.bitmap = d.bitmap ? &*d.bitmap : nullptr;
    lookup.fault = d.fault;
    lookup.missing = d.missing;
    lookup.told_before = !first;
    return lookup;
}

namespace {

// One pass over the tree: type tables, then name tables, then language
// tables whose entries are data entries. Depth is fixed, and the count of
// entries visited is bounded, so a directory that points back into itself
// ends in a fault, not a loop.
class ResourceTreeReader {
public:
    ResourceTreeReader(const AddressSpace& image, uint32_t address, uint32_t size, BitmapResources& bitmaps,
                       std::string& fault)
        : image_(image), address_(address), size_(size), bitmaps_(bitmaps), fault_(fault) {}

    bool read() { return read_table(0, 0, 0, 0); }

private:
    static constexpr int max_entries = 4096;

    bool fail(std::string text) {
        fault_ = "resource directory: " + std::move(text);
        return false;
    }
    // Bytes at `offset` from the directory's start, when they lie inside it.
    template <typename Record>
    bool at(uint32_t offset, Record& out) {
        if (uint64_t(offset) + sizeof(Record) > size_) return false;
        image_.read(address_ + offset, out);
        return true;
    }
    std::string table_name(int level, uint32_t type, uint32_t id) const {
        if (level == 0) return "the root table";
        if (type == 0) return "a named type's table";
        if (level == 1)
            return type == pe::resource_type_bitmap ? "the bitmap type's table" : format("type %u's table", unsigned(type));
        return type == pe::resource_type_bitmap ? format("bitmap %u's table", unsigned(id))
                                                : format("type %u resource %u's table", unsigned(type), unsigned(id));
    }
    bool read_table(uint32_t offset, int level, uint32_t type, uint32_t id);
    bool read_data(uint32_t offset, uint32_t type, uint32_t id, bool first_language);

    const AddressSpace& image_;
    uint32_t address_, size_;
    BitmapResources& bitmaps_;
    std::string& fault_;
    int visited_ = 0;
};

bool ResourceTreeReader::read_table(uint32_t offset, int level, uint32_t type, uint32_t id) {
    std::string name = table_name(level, type, id);
    pe::ResourceTable table;
    if (!at(offset, table))
        return fail(format("%s at offset 0x%x lies past the directory's end (it is 0x%x bytes)", name.c_str(),
                           unsigned(offset), unsigned(size_)));
    uint32_t count = uint32_t(table.named_entry_count) + table.id_entry_count;
    if (uint64_t(offset) + sizeof table + uint64_t(count) * sizeof(pe::ResourceEntry) > size_)
        return fail(format("%s at offset 0x%x lists %u entries, which run past the directory's end (0x%x bytes)",
                           name.c_str(), unsigned(offset), unsigned(count), unsigned(size_)));
    visited_ += int(count);
    if (visited_ > max_entries)
        return fail(format("more than %d entries in all; %s at offset 0x%x leads back into tables already read",
                           max_entries, name.c_str(), unsigned(offset)));
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t entry_offset = offset + uint32_t(sizeof table) + i * uint32_t(sizeof(pe::ResourceEntry));
        pe::ResourceEntry entry;
        at(entry_offset, entry);
        std::string which = format("%s, entry %u", name.c_str(), unsigned(i + 1));
        if (entry.name & pe::resource_named) {
            uint32_t text = entry.name & ~pe::resource_named;
            uint16_t length = 0;
            if (!at(text, length) || uint64_t(text) + 2 + 2 * uint64_t(length) > size_)
                return fail(format("%s: its name at offset 0x%x runs past the directory's end", which.c_str(),
                                   unsigned(text)));
        }
        bool table_next = level < 2;
        if (bool(entry.target & pe::resource_subtable) != table_next)
            return fail(format("%s points at %s where %s belongs", which.c_str(),
                               table_next ? "a data entry" : "a table", table_next ? "a table" : "a data entry"));
        uint32_t target = entry.target & ~pe::resource_subtable;
        uint32_t key = entry.name & pe::resource_named ? 0 : entry.name;
        bool ok = level == 0   ? read_table(target, 1, key, 0)
                  : level == 1 ? read_table(target, 2, type, key)
                               : read_data(target, type, id, i == 0);
        if (!ok) return false;
    }
    return true;
}

bool ResourceTreeReader::read_data(uint32_t offset, uint32_t type, uint32_t id, bool first_language) {
    std::string what = type == pe::resource_type_bitmap ? format("bitmap %u's data entry", unsigned(id))
                                                        : format("type %u resource %u's data entry", unsigned(type), unsigned(id));
    pe::ResourceDataEntry data;
    if (!at(offset, data))
        return fail(format("%s at offset 0x%x lies past the directory's end (0x%x bytes)", what.c_str(),
                           unsigned(offset), unsigned(size_)));
    Placement p;
    std::string wrong = image_.rva_fault(data.rva, data.size, Access::read, &p);
    if (!wrong.empty()) {
        if (!image_.first_telling(p)) return false;  // told already; `fault` stays empty
        return fail(format("%s: its %u bytes at %s", what.c_str(), unsigned(data.size), wrong.c_str()));
    }
    uint32_t start = image_.base() + data.rva;
    if (type == pe::resource_type_bitmap && id && first_language) bitmaps_.add(id, {start, data.size});
    return true;
}

}  // namespace

bool read_resource_directory(const AddressSpace& image, uint32_t address, uint32_t size, BitmapResources& bitmaps,
                             std::string& fault) {
    Placement p = image.place(address, size, Access::read);
    if (!p) {
        if (image.first_telling(p)) fault = "resource directory: " + image.explain(address, size, p);
        return false;
    }
    return ResourceTreeReader(image, address, size, bitmaps, fault).read();
}

}  // namespace panelhost
