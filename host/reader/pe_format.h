// The parts of a 32-bit Windows library file the host reads, laid out as
// they are stored: little-endian, packed, every field at the byte offset the
// executable-file format gives it. Read by copying bytes into these
// structures, never by pointing into the file.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace panelhost::pe {

static_assert(std::endian::native == std::endian::little, "records are read by copying little-endian bytes");

#pragma pack(push, 1)

struct DosHeader {
    uint16_t magic;  // "MZ"
    uint8_t unused[58];
    int32_t pe_header_offset;
};

struct FileHeader {
    uint16_t machine;
    uint16_t section_count;
    uint32_t time_stamp;
    uint32_t symbol_table_offset;
    uint32_t symbol_count;
    uint16_t optional_header_size;
    uint16_t characteristics;
};

struct DataDirectory {
    uint32_t rva;
    uint32_t size;
};

// The 32-bit optional header up to its data directories, which follow it.
struct OptionalHeader {
    uint16_t magic;
    uint8_t linker_major, linker_minor;
    uint32_t code_size;
    uint32_t initialised_data_size;
    uint32_t uninitialised_data_size;
    uint32_t entry_point;  // RVA, 0 for none
    uint32_t code_base;
    uint32_t data_base;
    uint32_t image_base;
    uint32_t section_alignment;
    uint32_t file_alignment;
    uint16_t os_major, os_minor, image_major, image_minor, subsystem_major, subsystem_minor;
    uint32_t win32_version;
    uint32_t image_size;
    uint32_t headers_size;
    uint32_t checksum;
    uint16_t subsystem;
    uint16_t dll_characteristics;
    uint32_t stack_reserve, stack_commit, heap_reserve, heap_commit;
    uint32_t loader_flags;
    uint32_t directory_count;
};

struct SectionHeader {
    char name[8];  // not ended by a zero when all eight bytes are used
    uint32_t virtual_size;
    uint32_t rva;
    uint32_t raw_size;
    uint32_t raw_offset;
    uint32_t relocations_offset;
    uint32_t line_numbers_offset;
    uint16_t relocation_count;
    uint16_t line_number_count;
    uint32_t characteristics;
};

struct ExportDirectory {
    uint32_t characteristics;
    uint32_t time_stamp;
    uint16_t major_version, minor_version;
    uint32_t name;  // RVA of the library's own name
    uint32_t ordinal_base;
    uint32_t function_count;
    uint32_t name_count;
    uint32_t functions;  // RVA of function_count RVAs
    uint32_t names;      // RVA of name_count name RVAs, in name order
    uint32_t ordinals;   // RVA of name_count 16-bit indexes into functions
};

struct ImportDescriptor {
    uint32_t lookup_table;  // RVA of the names or ordinals imported
    uint32_t time_stamp;
    uint32_t forwarder_chain;
    uint32_t name;           // RVA of the library's name
    uint32_t address_table;  // RVA of the words the loader fills
};

struct ResourceTable {
    uint32_t characteristics;
    uint32_t time_stamp;
    uint16_t major_version, minor_version;
    uint16_t named_entry_count;
    uint16_t id_entry_count;
};

struct ResourceEntry {
    uint32_t name;    // an identifier, or (top bit set) the offset of a name
    uint32_t target;  // (top bit set) a table's offset, else a data entry's
};

struct ResourceDataEntry {
    uint32_t rva;
    uint32_t size;
    uint32_t code_page;
    uint32_t reserved;
};

struct RelocationBlock {
    uint32_t page_rva;
    uint32_t size;  // bytes, this header included
};

#pragma pack(pop)

static_assert(sizeof(DosHeader) == 64 && offsetof(DosHeader, pe_header_offset) == 0x3C);
static_assert(sizeof(FileHeader) == 20);
static_assert(offsetof(FileHeader, optional_header_size) == 16);
static_assert(sizeof(OptionalHeader) == 96);
static_assert(offsetof(OptionalHeader, entry_point) == 16);
static_assert(offsetof(OptionalHeader, image_base) == 28);
static_assert(offsetof(OptionalHeader, section_alignment) == 32);
static_assert(offsetof(OptionalHeader, image_size) == 56);
static_assert(offsetof(OptionalHeader, headers_size) == 60);
static_assert(offsetof(OptionalHeader, directory_count) == 92);
static_assert(sizeof(SectionHeader) == 40);
static_assert(offsetof(SectionHeader, rva) == 12 && offsetof(SectionHeader, raw_offset) == 20);
static_assert(offsetof(SectionHeader, characteristics) == 36);
static_assert(sizeof(ExportDirectory) == 40 && offsetof(ExportDirectory, functions) == 28);
static_assert(sizeof(ImportDescriptor) == 20);
static_assert(sizeof(ResourceTable) == 16 && sizeof(ResourceEntry) == 8 && sizeof(ResourceDataEntry) == 16);
static_assert(sizeof(RelocationBlock) == 8);

inline constexpr uint16_t dos_magic = 0x5A4D;          // "MZ"
inline constexpr uint32_t pe_signature = 0x00004550;   // "PE\0\0"
inline constexpr uint16_t machine_i386 = 0x014C;
inline constexpr uint16_t optional_magic_pe32 = 0x010B;
inline constexpr uint16_t file_executable = 0x0002;
inline constexpr uint16_t file_library = 0x2000;
inline constexpr uint32_t max_sections = 96;  // the most the Windows loader takes

inline constexpr uint32_t section_code = 0x00000020;
inline constexpr uint32_t section_execute = 0x20000000;
inline constexpr uint32_t section_read = 0x40000000;
inline constexpr uint32_t section_write = 0x80000000;

enum Directory : uint32_t {
    export_directory = 0,
    import_directory = 1,
    resource_directory = 2,
    relocation_directory = 5,
    thread_storage_directory = 9,
    directory_slots = 16,
};

inline constexpr uint32_t resource_subtable = 0x80000000;  // in ResourceEntry::target
inline constexpr uint32_t resource_named = 0x80000000;     // in ResourceEntry::name
inline constexpr uint32_t resource_type_bitmap = 2;

inline constexpr uint16_t relocation_padding = 0;
inline constexpr uint16_t relocation_whole_word = 3;  // add the load offset to 32 bits

}  // namespace panelhost::pe
