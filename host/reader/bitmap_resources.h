// A module's bitmap resources: where the resource directory says each one
// is stored, and each decoded (once, on first use) into a picture with pure
// black made see-through.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "host/base/image.h"
#include "host/reader/address_space.h"

namespace panelhost {

// A bitmap resource as the host draws it.
struct Bitmap {
    uint32_t id = 0;
    Image picture;
};

// Decodes a packed device-independent bitmap (header, colour table, rows)
// of 1, 4, 8, 24 or 32 bits per pixel, uncompressed; false with `why` set
// when it is not one.
bool decode_bitmap(const uint8_t* data, size_t size, Image& out, std::string& why);

class BitmapResources {
public:
    struct Stored {
        uint32_t address = 0;  // of the packed bitmap in the image
        uint32_t size = 0;
    };

    explicit BitmapResources(const AddressSpace& image) : image_(image) {}

    // Filled by the resource directory's reader.
    void add(uint32_t id, Stored stored) { stored_.try_emplace(id, stored); }
    // The directory could not be read: lookups fail without a fault of
    // their own, the directory's fault having been reported.
    void directory_unreadable() { usable_ = false; }
    bool usable() const { return usable_; }
    const std::map<uint32_t, Stored>& stored() const { return stored_; }

    struct Lookup {
        const Bitmap* bitmap = nullptr;
        std::string fault;        // why there is none: "bitmap resource 103 is missing", "bitmap resource 111: ..."
        bool told_before = false; // the same fault was given for an earlier lookup
        bool missing = false;     // the directory has no such bitmap
    };
    // Bitmap `id`, decoded once; a fault is told only to its first asker.
    Lookup find(uint32_t id);

private:
    struct Decoded {
        std::optional<Bitmap> bitmap;
        std::string fault;
        bool missing = false;
    };
    const AddressSpace& image_;
    std::map<uint32_t, Stored> stored_;
    std::map<uint32_t, Decoded> decoded_;
    bool usable_ = true;
};

// Reads the resource directory of `size` bytes at `address`, putting every
// bitmap (type 2, integer identifier, its first language) into `bitmaps`.
// Every table, entry, name and data entry is checked to lie inside the
// directory (data inside a readable section); false with `fault` set at
// the first that does not (left empty when the fault holds for a whole
// section and was told already).
bool read_resource_directory(const AddressSpace& image, uint32_t address, uint32_t size, BitmapResources& bitmaps,
                             std::string& fault);

}  // namespace panelhost
