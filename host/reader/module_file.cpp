#include "host/reader/module_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/reader/stored_records.h"

namespace panelhost {

namespace {

uint64_t round_up(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }
bool power_of_two(uint32_t value) { return value && !(value & (value - 1)); }

std::string section_name(const pe::SectionHeader& h) {
    std::string_view stored(h.name, sizeof h.name);
    stored = stored.substr(0, stored.find('\0'));
    return stored.empty() ? "(unnamed)" : escaped(stored);
}

constexpr uint32_t max_exports = 65536;
constexpr uint32_t max_name = 256;
constexpr uint32_t max_import_libraries = 256;
constexpr uint32_t max_imports_per_library = 4096;
constexpr uint32_t max_thread_callbacks = 64;
constexpr uint32_t page = 4096;

}  // namespace

// One pass over the file; each part reports at most one fault, naming the
// header or directory and its field.
class ModuleFile::Parser {
public:
    Parser(ModuleFile& file, Report& report) : file_(file), report_(report) {}

    bool headers();
    bool exports();
    void resources();
    bool relocations();
    void base_by_linkage();
    void imports();
    void thread_storage();

private:
    bool fail(std::string text) {
        report_.error(std::move(text));
        return false;
    }
    // A fault at a range of the image; one that holds for a whole section
    // was perhaps told already.
    bool fail_at(const Placement& p, std::string text) {
        if (file_.first_telling(p)) report_.error(std::move(text));
        return false;
    }
    template <typename Record>
    bool at(uint64_t offset, Record& out) const {
        if (offset > file_.bytes_.size() || file_.bytes_.size() - offset < sizeof(Record)) return false;
        std::memcpy(&out, file_.bytes_.data() + offset, sizeof(Record));
        return true;
    }
    pe::DataDirectory directory(uint32_t index) const {
        return index < directory_count_ ? directories_[index] : pe::DataDirectory{0, 0};
    }
    uint32_t address(uint32_t rva) const { return file_.base_ + rva; }  // after rva_fault found none
    // Why a directory the module needs is missing; empty when that was told
    // already (a short count of data directories misses them all).
    std::string missing(uint32_t index, const char* directory, const char* so) {
        if (index >= directory_count_)
            return told_count_++ ? "" : format("%s: the optional header lists only %u data directories, so the module has none (entry %u): "
                          "%s", directory, unsigned(directory_count_), unsigned(index), so);
        return format("%s: the module has none (data directory %u of the optional header is empty): %s", directory,
                      unsigned(index), so);
    }
    struct ExportTables {
        pe::DataDirectory d{};
        pe::ExportDirectory e{};
        std::vector<uint32_t> functions, names;
        std::vector<uint16_t> ordinals;
    };
    bool read_export_tables(ExportTables& t);
    bool dos_header(uint32_t& pe_offset);
    bool pe_header(uint32_t pe_offset, pe::FileHeader& header);
    bool optional_header(uint32_t pe_offset, const pe::FileHeader& header, uint64_t& optional_end);
    bool section_table(const pe::FileHeader& header, uint64_t optional_end);
    bool sections();
    // A name at `rva`. False when it cannot be read, with `why` set, or
    // empty when the fault holds for a whole section and was told already.
    bool name_at(uint32_t rva, std::string& name, std::string& why) const;
    // Reports `text` unless `why` is empty (told already); false.
    bool fail_unless_told(const std::string& why, std::string text) { return why.empty() ? false : fail(std::move(text)); }

    ModuleFile& file_;
    Report& report_;
    size_t size_ = 0;
    uint32_t table_offset_ = 0;
    uint32_t section_count_ = 0;
    pe::OptionalHeader optional_{};
    pe::DataDirectory directories_[pe::directory_slots]{};
    uint32_t directory_count_ = 0;
    int told_count_ = 0;
};

// The DOS header, for the offset of the PE header.
bool ModuleFile::Parser::dos_header(uint32_t& pe_offset) {
    pe::DosHeader dos{};
    if (size_ < 2 || (at(0, dos.magic), dos.magic != pe::dos_magic))
        return fail(format("DOS header: no \"MZ\" signature at the start: not a Windows library (the file has %zu "
                           "bytes)", size_));
    if (!at(0, dos)) return fail(format("DOS header: the file ends at byte %zu, inside its 64-byte DOS header", size_));
    if (dos.pe_header_offset < 0)
        return fail(format("DOS header: the PE header's offset (the word at 0x3c) is %d, negative",
                           int(dos.pe_header_offset)));
    pe_offset = uint32_t(dos.pe_header_offset);
    if (pe_offset >= size_)
        return fail(format("DOS header: the PE header's offset 0x%x (the word at 0x3c) lies past the end of the "
                           "%zu-byte file", unsigned(pe_offset), size_));
    return true;
}

bool ModuleFile::Parser::pe_header(uint32_t pe_offset, pe::FileHeader& header) {
    uint32_t signature = 0;
    if (!at(pe_offset, signature) || !at(uint64_t(pe_offset) + 4, header))
        return fail(format("PE header: the file ends at byte %zu, inside the PE header at 0x%x", size_,
                           unsigned(pe_offset)));
    if (signature != pe::pe_signature)
        return fail(format("PE header: signature 0x%08x at 0x%x is not \"PE\\0\\0\": not a Windows library "
                           "(or the DOS header's offset to it is wrong)", unsigned(signature), unsigned(pe_offset)));
    if (header.machine != pe::machine_i386)
        return fail(format("PE header: machine 0x%04x is not 32-bit x86 (0x014c)", unsigned(header.machine)));
    if (header.section_count == 0 || header.section_count > pe::max_sections)
        return fail(format("PE header: section count %u; a library has 1 to %u sections", unsigned(header.section_count),
                           unsigned(pe::max_sections)));
    if (header.optional_header_size < sizeof(pe::OptionalHeader))
        return fail(format("PE header: optional header size %u is less than a 32-bit optional header's %zu bytes",
                           unsigned(header.optional_header_size), sizeof(pe::OptionalHeader)));
    if (!(header.characteristics & pe::file_executable))
        return fail(format("PE header: characteristics 0x%04x lack the executable-image flag (0x0002)",
                           unsigned(header.characteristics)));
    if (!(header.characteristics & pe::file_library))
        return fail(format("PE header: characteristics 0x%04x lack the library flag (0x2000): a program, not a "
                           "library", unsigned(header.characteristics)));
    return true;
}

bool ModuleFile::Parser::optional_header(uint32_t pe_offset, const pe::FileHeader& header, uint64_t& optional_end) {
    uint64_t optional_offset = uint64_t(pe_offset) + 4 + sizeof header;
    optional_end = optional_offset + header.optional_header_size;
    if (optional_end > size_)
        return fail(format("optional header: the file ends at byte %zu, inside the optional header (0x%llx..0x%llx)",
                           size_, (unsigned long long)optional_offset, (unsigned long long)optional_end));
    pe::OptionalHeader& o = optional_;
    at(optional_offset, o);
    if (o.magic != pe::optional_magic_pe32)
        return fail(format("optional header: magic 0x%04x is not a 32-bit image's (0x010b)", unsigned(o.magic)));
    directory_count_ = std::min<uint32_t>(o.directory_count, pe::directory_slots);
    if (sizeof o + uint64_t(directory_count_) * sizeof(pe::DataDirectory) > header.optional_header_size)
        return fail(format("optional header: its %u data directories do not fit in its %u bytes (the PE header's "
                           "optional header size)", unsigned(o.directory_count), unsigned(header.optional_header_size)));
    for (uint32_t i = 0; i < directory_count_; ++i)
        at(optional_offset + sizeof o + i * sizeof(pe::DataDirectory), directories_[i]);
    bool low_alignment = o.section_alignment < page && o.section_alignment == o.file_alignment;
    if (!power_of_two(o.file_alignment) || (!low_alignment && (o.file_alignment < 512 || o.file_alignment > 65536)))
        return fail(format("optional header: file alignment %u is not a power of two from 512 to 65536",
                           unsigned(o.file_alignment)));
    if (!power_of_two(o.section_alignment) || o.section_alignment < o.file_alignment)
        return fail(format("optional header: section alignment 0x%x is not a power of two at least the file "
                           "alignment 0x%x", unsigned(o.section_alignment), unsigned(o.file_alignment)));
    if (o.image_base == 0 || o.image_base % 0x10000)
        return fail(format("optional header: image base 0x%08x is not a library's address (a non-zero multiple of "
                           "64 KiB)", unsigned(o.image_base)));
    if (uint64_t(o.image_base) + o.image_size > UINT32_MAX)
        return fail(format("optional header: image base 0x%08x plus image size 0x%x passes the end of 32-bit memory",
                           unsigned(o.image_base), unsigned(o.image_size)));

    return true;
}

// The section table and the sections, with the headers' size around them.
bool ModuleFile::Parser::section_table(const pe::FileHeader& header, uint64_t optional_end) {
    const pe::OptionalHeader& o = optional_;
    table_offset_ = uint32_t(optional_end);
    section_count_ = header.section_count;
    uint64_t table_end = optional_end + uint64_t(section_count_) * sizeof(pe::SectionHeader);
    if (table_end > size_)
        return fail(format("section table: the file ends at byte %zu, inside the section table (0x%x..0x%llx)", size_,
                           unsigned(table_offset_), (unsigned long long)table_end));
    if (o.headers_size < table_end)
        return fail(format("optional header: headers size 0x%x ends before the section table does (at 0x%llx, "
                           "after the %u-byte optional header the PE header announces)", unsigned(o.headers_size),
                           (unsigned long long)table_end, unsigned(header.optional_header_size)));
    if (o.headers_size > size_)
        return fail(format("optional header: headers size 0x%x passes the end of the %zu-byte file",
                           unsigned(o.headers_size), size_));
    if (o.headers_size > o.image_size)
        return fail(format("optional header: headers size 0x%x is larger than the image size 0x%x",
                           unsigned(o.headers_size), unsigned(o.image_size)));
    file_.base_ = o.image_base;
    file_.end_ = uint64_t(o.image_base) + o.image_size;
    file_.headers_end_ = uint64_t(o.image_base) + o.headers_size;
    return sections();
}

bool ModuleFile::Parser::headers() {
    size_ = file_.bytes_.size();
    uint32_t pe_offset = 0;
    pe::FileHeader header{};
    uint64_t optional_end = 0;
    if (!dos_header(pe_offset) || !pe_header(pe_offset, header) || !optional_header(pe_offset, header, optional_end) ||
        !section_table(header, optional_end))
        return false;
    const pe::OptionalHeader& o = optional_;
    file_.entry_point_ = o.entry_point;
    if (o.entry_point) {
        std::string wrong = file_.rva_fault(o.entry_point, 1, Access::code);
        if (!wrong.empty()) return fail("optional header: entry point at " + wrong);
    }
    return true;
}

bool ModuleFile::Parser::sections() {
    const pe::OptionalHeader& o = optional_;
    uint64_t previous_end = round_up(o.headers_size, o.section_alignment);
    std::string previous = "the headers";
    for (uint32_t i = 0; i < section_count_; ++i) {
        pe::SectionHeader h;
        at(table_offset_ + uint64_t(i) * sizeof h, h);
        std::string name = section_name(h);
        std::string label = format("section %u (%s)", unsigned(i + 1), name.c_str());
        uint32_t length = h.virtual_size ? h.virtual_size : h.raw_size;
        uint64_t start = h.rva, end = start + length;
        if (h.rva % o.section_alignment)
            return fail(format("section table: %s: address 0x%x is not a multiple of the section alignment 0x%x",
                               label.c_str(), unsigned(h.rva), unsigned(o.section_alignment)));
        if (start < previous_end)
            return fail(format("section table: %s at RVA 0x%llx..0x%llx overlaps %s, which reach%s 0x%llx",
                               label.c_str(), (unsigned long long)start, (unsigned long long)end, previous.c_str(),
                               i ? "es" : "", (unsigned long long)previous_end));
        if (round_up(end, page) > round_up(o.image_size, page))
            return fail(format("section table: %s at RVA 0x%llx..0x%llx reaches past the end of the image (the "
                               "optional header's image size is 0x%x)", label.c_str(), (unsigned long long)start,
                               (unsigned long long)end, unsigned(o.image_size)));
        if (h.raw_size && h.raw_offset % o.file_alignment)
            return fail(format("section table: %s: file offset 0x%x is not a multiple of the file alignment 0x%x",
                               label.c_str(), unsigned(h.raw_offset), unsigned(o.file_alignment)));
        uint64_t stored_end = uint64_t(h.raw_offset) + h.raw_size;
        if (h.raw_size && stored_end > size_)
            return fail(format("section table: %s is stored at file bytes 0x%x..0x%llx, but the file ends at byte "
                               "%zu (truncated?)", label.c_str(), unsigned(h.raw_offset), (unsigned long long)stored_end,
                               size_));
        previous_end = round_up(end, o.section_alignment);
        previous = label;
        file_.headers_.push_back(h);
        Section s;
        s.name = name;
        s.start = file_.base_ + h.rva;
        s.end = s.start + uint64_t(length);
        s.readable = h.characteristics & pe::section_read;
        s.writable = h.characteristics & pe::section_write;
        s.code = h.characteristics & pe::section_execute;
        s.access_source = format("flags 0x%08x", unsigned(h.characteristics));
        file_.sections_.push_back(s);
    }
    // Linkers write the aligned end of the last section; the loader maps
    // the whole image size and refuses a module claiming more than that.
    if (round_up(o.image_size, o.section_alignment) > previous_end)
        return fail(format("optional header: image size 0x%x passes the end of %s, which %s 0x%llx (rounded up to "
                           "the section alignment 0x%x): the Windows loader refuses such a module",
                           unsigned(o.image_size), previous.c_str(), section_count_ ? "reaches" : "reach",
                           (unsigned long long)previous_end, unsigned(o.section_alignment)));
    return true;
}

bool ModuleFile::Parser::name_at(uint32_t rva, std::string& name, std::string& why) const {
    Placement p;
    why = file_.rva_fault(rva, 1, Access::read, &p);
    if (!why.empty()) {
        if (!file_.first_telling(p)) why.clear();
        return false;
    }
    AddressSpace::Text text = file_.read_text(address(rva), max_name);
    name = std::move(text.bytes);
    if (text.unended) {
        if (file_.first_telling({Placement::past_section_end, text.placement.section}))
            why = format("RVA 0x%x runs off the end of its section without a terminating zero", unsigned(rva));
        return false;
    }
    if (text.too_long) {
        why = format("RVA 0x%x is longer than %u bytes", unsigned(rva), unsigned(max_name));
        return false;
    }
    return true;
}

// The export directory and its three tables, each checked where it lies.
bool ModuleFile::Parser::read_export_tables(ExportTables& t) {
    pe::DataDirectory& d = t.d;
    d = directory(pe::export_directory);
    if (!d.rva) return fail(missing(pe::export_directory, "export directory", "it exports neither ImportTable nor Linkage"));
    Placement p;
    std::string wrong = file_.rva_fault(d.rva, std::max<uint64_t>(d.size, sizeof(pe::ExportDirectory)), Access::read, &p);
    if (!wrong.empty())
        return fail_at(p, format("export directory (data directory 0 of the optional header): its %u bytes at %s",
                                 unsigned(d.size), wrong.c_str()));
    if (d.size < sizeof(pe::ExportDirectory))
        return fail(format("export directory: size %u (data directory 0 of the optional header) is less than the "
                           "directory's 40 bytes", unsigned(d.size)));
    pe::ExportDirectory& e = t.e;
    file_.read(address(d.rva), e);
    if (e.function_count > max_exports)
        return fail(format("export directory: function count %u is beyond %u", unsigned(e.function_count),
                           unsigned(max_exports)));
    if (e.name_count > e.function_count)
        return fail(format("export directory: name count %u exceeds the function count %u", unsigned(e.name_count),
                           unsigned(e.function_count)));
    std::vector<uint32_t>& functions = t.functions;
    std::vector<uint32_t>& names = t.names;
    std::vector<uint16_t>& ordinals = t.ordinals;
    functions.resize(e.function_count);
    names.resize(e.name_count);
    ordinals.resize(e.name_count);
    struct Table {
        const char* name;
        uint32_t rva;
        void* into;
        uint64_t bytes;
    } tables[] = {{"function address table", e.functions, functions.data(), functions.size() * 4ull},
                  {"name table", e.names, names.data(), names.size() * 4ull},
                  {"ordinal table", e.ordinals, ordinals.data(), ordinals.size() * 2ull}};
    for (const Table& table : tables) {
        if (!table.bytes) continue;
        wrong = file_.rva_fault(table.rva, table.bytes, Access::read, &p);
        if (!wrong.empty())
            return fail_at(p, format("export directory: %s (%llu bytes) at %s", table.name,
                                     (unsigned long long)table.bytes, wrong.c_str()));
        file_.read_bytes(address(table.rva), table.into, table.bytes);
    }
    return true;
}


bool ModuleFile::Parser::exports() {
    ExportTables t;
    if (!read_export_tables(t)) return false;
    const pe::DataDirectory& d = t.d;
    const pe::ExportDirectory& e = t.e;
    const std::vector<uint32_t>& functions = t.functions;
    Placement p;
    std::string wrong;
    std::vector<std::string> exported_as(functions.size());
    int64_t import_table = -1, linkage = -1;
    for (uint32_t i = 0; i < e.name_count; ++i) {
        std::string name;
        if (!name_at(t.names[i], name, wrong))
            return fail_unless_told(wrong, format("export directory: name %u at %s", unsigned(i + 1), wrong.c_str()));
        if (t.ordinals[i] >= e.function_count)
            return fail(format("export directory: name %u (\"%s\") has ordinal index %u, but there are only %u "
                               "functions", unsigned(i + 1), escaped(name).c_str(), unsigned(t.ordinals[i]),
                               unsigned(e.function_count)));
        exported_as[t.ordinals[i]] = name;
        if (name == "ImportTable") import_table = t.ordinals[i];
        if (name == "Linkage") linkage = t.ordinals[i];
    }
    for (uint32_t i = 0; i < e.function_count; ++i) {
        uint32_t rva = functions[i];
        std::string label = exported_as[i].empty() ? format("function %u", unsigned(i + 1))
                                                   : format("function %u (\"%s\")", unsigned(i + 1),
                                                            escaped(exported_as[i]).c_str());
        if (!rva) continue;
        if (rva >= d.rva && rva - d.rva < d.size) {
            // A forwarder: the name of an export in another library.
            if (int64_t(i) == import_table || int64_t(i) == linkage)
                return fail(format("export directory: %s is forwarded to another library, not stored in this one",
                                   label.c_str()));
            continue;
        }
        wrong = file_.rva_fault(rva, 1, Access::none, &p);
        if (!wrong.empty()) return fail_at(p, format("export directory: %s at %s", label.c_str(), wrong.c_str()));
    }
    if (import_table < 0 || linkage < 0)
        return fail(import_table < 0 && linkage < 0 ? "export directory: exports neither ImportTable nor Linkage"
                    : import_table < 0            ? "export directory: exports no ImportTable"
                                                  : "export directory: exports no Linkage");
    for (auto [index, into] : {std::pair{import_table, &file_.import_table_}, std::pair{linkage, &file_.linkage_}}) {
        if (!functions[size_t(index)])
            return fail(format("export directory: %s has address 0", exported_as[size_t(index)].c_str()));
        *into = address(functions[size_t(index)]);
    }
    return true;
}

void ModuleFile::Parser::resources() {
    pe::DataDirectory d = directory(pe::resource_directory);
    std::string fault;  // stays empty for a fault told already
    if (!d.rva) {
        fault = missing(pe::resource_directory, "resource directory", "it has no bitmaps");
    } else {
        Placement p;
        std::string wrong = file_.rva_fault(d.rva, std::max<uint32_t>(d.size, sizeof(pe::ResourceTable)), Access::read, &p);
        if (!wrong.empty()) {
            if (file_.first_telling(p))
                fault = format("resource directory (data directory 2 of the optional header): its %u bytes at %s",
                               unsigned(d.size), wrong.c_str());
        } else if (read_resource_directory(file_, address(d.rva), d.size, *file_.bitmaps_, fault)) {
            return;
        }
    }
    if (!fault.empty()) report_.error(fault);
    file_.bitmaps_->directory_unreadable();
}

bool ModuleFile::Parser::relocations() {
    pe::DataDirectory d = directory(pe::relocation_directory);
    if (!d.rva) return true;
    Placement p;
    std::string wrong = file_.rva_fault(d.rva, d.size, Access::read, &p);
    if (!wrong.empty()) {
        fail_at(p, format("base relocations (data directory 5 of the optional header): its %u bytes at %s",
                          unsigned(d.size), wrong.c_str()));
        return false;
    }
    std::vector<uint8_t> table(d.size);
    file_.read_bytes(address(d.rva), table.data(), table.size());
    uint32_t words = 0, outside = 0;
    uint32_t block = 0;
    for (uint32_t offset = 0; offset < d.size; ++block) {
        std::string label = format("base relocations: block %u at offset 0x%x", unsigned(block + 1), unsigned(offset));
        if (d.size - offset < sizeof(pe::RelocationBlock)) {
            fail(format("%s: only %u bytes are left, too few for a block's 8-byte header", label.c_str(),
                        unsigned(d.size - offset)));
            return false;
        }
        pe::RelocationBlock b;
        std::memcpy(&b, table.data() + offset, sizeof b);
        if (b.size < sizeof b || b.size % 2 || b.size > d.size - offset) {
            fail(format("%s (page RVA 0x%x): block size %u %s", label.c_str(), unsigned(b.page_rva), unsigned(b.size),
                        b.size < sizeof b ? "is less than its own 8-byte header"
                        : b.size % 2     ? "is odd; entries are 2 bytes each"
                                         : format("runs past the directory's end (it is %u bytes)", unsigned(d.size)).c_str()));
            return false;
        }
        if (b.page_rva >= file_.image_size()) {
            fail(format("%s: page RVA 0x%x lies outside the image (0x%x bytes)", label.c_str(), unsigned(b.page_rva),
                        file_.image_size()));
            return false;
        }
        for (uint32_t i = 0; i < (b.size - sizeof b) / 2; ++i) {
            uint16_t entry;
            std::memcpy(&entry, table.data() + offset + sizeof b + 2 * i, 2);
            unsigned type = entry >> 12, at = entry & 0xFFF;
            if (type == pe::relocation_padding) continue;
            if (type != pe::relocation_whole_word) {
                fail(format("%s (page RVA 0x%x), entry %u: type %u, which a 32-bit library does not use (3, or 0 for "
                            "padding)", label.c_str(), unsigned(b.page_rva), unsigned(i + 1), type));
                return false;
            }
            uint32_t target = b.page_rva + at;
            wrong = file_.rva_fault(target, 4, Access::none, &p);
            if (!wrong.empty()) {
                fail_at(p, format("%s (page RVA 0x%x), entry %u: the word it relocates, at %s", label.c_str(),
                            unsigned(b.page_rva), unsigned(i + 1), wrong.c_str()));
                return false;
            }
            uint32_t value;
            file_.read_bytes(address(target), &value, 4, Access::none);
            ++words;
            outside += value < file_.base_ || value >= file_.end_;
        }
        offset += b.size;
    }
    // The words relocations name are the module's own addresses: most lie
    // in its image unless the image base is not the one it was built for.
    if (words >= 4 && outside * 2 > words) {
        file_.addresses_agree_ = false;
        fail(format("optional header: image base 0x%08x disagrees with the module's own addresses: %u of the %u "
                    "words its relocations name point outside the image 0x%08x..0x%08llx",
                    unsigned(file_.base_), unsigned(outside), unsigned(words), unsigned(file_.base_),
                    (unsigned long long)file_.end_));
    }
    return true;
}

// With relocations that cannot be read, the image base is held against
// Linkage's own pointers instead: at the right base, the routines it names
// lie in the image. Once the base is found wrong, no record is read, so the
// fault is told once rather than at every pointer.
void ModuleFile::Parser::base_by_linkage() {
    stored::Linkage linkage;
    uint32_t first_gauge = 0;
    if (!file_.linkage_ || !file_.read(file_.linkage_, linkage) ||
        !file_.read(file_.linkage_ + uint32_t(sizeof linkage), first_gauge))
        return;
    uint32_t named = 0, outside = 0;
    for (uint32_t pointer : {linkage.module_init, linkage.module_deinit, first_gauge}) {
        if (!pointer) continue;
        ++named;
        outside += pointer < file_.base_ || pointer >= file_.end_;
    }
    if (!named || outside < named) return;
    file_.addresses_agree_ = false;
    fail(format("optional header: image base 0x%08x disagrees with Linkage's own pointers: the %u it holds point "
                "outside the image 0x%08x..0x%08llx (the base relocations, which would confirm it, cannot be read)",
                unsigned(file_.base_), unsigned(named), unsigned(file_.base_), (unsigned long long)file_.end_));
}

void ModuleFile::Parser::imports() {
    pe::DataDirectory d = directory(pe::import_directory);
    if (!d.rva) return;
    for (uint32_t i = 0;; ++i) {
        if (i == max_import_libraries) {
            fail(format("import directory: more than %u libraries without the all-zero end descriptor",
                        unsigned(max_import_libraries)));
            return;
        }
        uint32_t rva = d.rva + i * uint32_t(sizeof(pe::ImportDescriptor));
        std::string wrong = file_.rva_fault(rva, sizeof(pe::ImportDescriptor), Access::read);
        if (!wrong.empty()) {
            fail(i == 0 ? format("import directory (data directory 1 of the optional header) at %s", wrong.c_str())
                        : format("import directory: descriptor %u, before the all-zero end descriptor, at %s",
                                 unsigned(i + 1), wrong.c_str()));
            return;
        }
        pe::ImportDescriptor desc;
        file_.read(address(rva), desc);
        if (!desc.lookup_table && !desc.time_stamp && !desc.forwarder_chain && !desc.name && !desc.address_table)
            return;
        std::string library;
        if (!name_at(desc.name, library, wrong)) {
            fail_unless_told(wrong, format("import directory: library %u's name at %s", unsigned(i + 1), wrong.c_str()));
            return;
        }
        std::string label = format("import directory: library %u (\"%s\")", unsigned(i + 1), escaped(library).c_str());
        uint32_t lookup = desc.lookup_table ? desc.lookup_table : desc.address_table;
        uint32_t count = 0;
        for (;; ++count) {
            if (count == max_imports_per_library) {
                fail(format("%s: more than %u imports without the terminating zero", label.c_str(),
                            unsigned(max_imports_per_library)));
                return;
            }
            wrong = file_.rva_fault(lookup + 4 * count, 4, Access::read);
            if (!wrong.empty()) {
                fail(format("%s: lookup table entry %u at %s", label.c_str(), unsigned(count + 1), wrong.c_str()));
                return;
            }
            uint32_t thunk;
            file_.read_bytes(address(lookup + 4 * count), &thunk, 4);
            if (!thunk) break;
            if (thunk & 0x80000000) continue;  // by ordinal
            std::string name;
            if (!name_at(thunk + 2, name, wrong)) {
                fail_unless_told(wrong, format("%s: import %u's name at %s", label.c_str(), unsigned(count + 1),
                                               wrong.c_str()));
                return;
            }
        }
        wrong = file_.rva_fault(desc.address_table, 4ull * (count + 1), Access::none);
        if (!wrong.empty()) {
            fail(format("%s: address table for %u imports at %s", label.c_str(), unsigned(count), wrong.c_str()));
            return;
        }
    }
}

void ModuleFile::Parser::thread_storage() {
    pe::DataDirectory d = directory(pe::thread_storage_directory);
    if (!d.rva) return;
    struct ThreadStorage {
        uint32_t data_start, data_end, index, callbacks, zero_fill, characteristics;
    } t;
    std::string wrong = file_.rva_fault(d.rva, sizeof t, Access::read);
    if (!wrong.empty()) {
        fail("thread-storage directory (data directory 9 of the optional header) at " + wrong);
        return;
    }
    file_.read(address(d.rva), t);
    if (t.data_end > t.data_start) {
        Placement p = file_.place(t.data_start, t.data_end - t.data_start, Access::read);
        if (!p) {
            fail("thread-storage directory: template data " + file_.explain(t.data_start, t.data_end - t.data_start, p));
            return;
        }
    }
    Placement p = file_.place(t.index, 4, Access::write);
    if (!p) {
        fail("thread-storage directory: index word " + file_.explain(t.index, 4, p));
        return;
    }
    if (!t.callbacks) return;
    ListWalk walk = walk_list<uint32_t>(
        file_, t.callbacks, Access::read, max_thread_callbacks, [](uint32_t callback) { return callback == 0; },
        [&](uint32_t, uint32_t callback) {
            Placement code = file_.place(callback, 1, Access::code);
            if (!code) fail("thread-storage directory: callback " + file_.explain(callback, 1, code));
            return bool(code);
        });
    if (walk.outcome == ListWalk::misplaced)
        fail("thread-storage directory: callback list " + file_.explain(t.callbacks, 4, walk.placement));
    else if (walk.outcome == ListWalk::runs_off || walk.outcome == ListWalk::too_long)
        fail(format("thread-storage directory: the callback list at 0x%08x has no terminating zero within its "
                    "section or %u entries", unsigned(t.callbacks), unsigned(max_thread_callbacks)));
}

std::unique_ptr<ModuleFile> ModuleFile::open(const std::string& path, Report& report) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        report.error(format("%s: cannot open the file", escaped(path).c_str()));
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        if (bytes.size() + got > max_file_size) {
            std::fclose(in);
            report.error(format("%s: the file is larger than %zu MiB; a gauge module is far smaller",
                                escaped(path).c_str(), max_file_size >> 20));
            return nullptr;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    bool failed = std::ferror(in);
    std::fclose(in);
    if (failed) {
        report.error(format("%s: cannot read the file", escaped(path).c_str()));
        return nullptr;
    }
    return parse(std::move(bytes), report);
}

std::unique_ptr<ModuleFile> ModuleFile::parse(std::vector<uint8_t> bytes, Report& report) {
    std::unique_ptr<ModuleFile> file(new ModuleFile(std::move(bytes)));
    file->bitmaps_ = std::make_unique<BitmapResources>(*file);
    Parser parser(*file, report);
    if (!parser.headers()) return nullptr;
    // Each directory is reported on its own; only the exports stop the
    // reading, since every record is found through them.
    bool exports = parser.exports();
    parser.resources();
    if (!parser.relocations() && exports) parser.base_by_linkage();
    parser.imports();
    parser.thread_storage();
    if (!exports) return nullptr;
    return file;
}

void ModuleFile::copy(uint32_t address, void* out, size_t size) const {
    auto* to = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (address < s.start || address >= s.end) continue;
        uint64_t offset = address - s.start;
        uint64_t stored = std::min<uint64_t>(headers_[i].raw_size, s.end - s.start);
        size_t from_file = offset < stored ? size_t(std::min<uint64_t>(size, stored - offset)) : 0;
        if (from_file) std::memcpy(to, bytes_.data() + headers_[i].raw_offset + offset, from_file);
        std::memset(to + from_file, 0, size - from_file);  // the loader zero-fills past the stored bytes
        return;
    }
    std::memset(to, 0, size);
}

std::optional<size_t> ModuleFile::file_offset(uint32_t address) const {
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (address < s.start || address >= s.end) continue;
        uint64_t offset = address - s.start;
        if (offset >= headers_[i].raw_size) return std::nullopt;
        return size_t(headers_[i].raw_offset + offset);
    }
    return std::nullopt;
}

}  // namespace panelhost
