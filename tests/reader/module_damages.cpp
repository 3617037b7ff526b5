#include "tests/reader/module_damages.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>

#include "host/reader/check_module.h"

namespace panelhost::testing {

namespace {

// Offsets inside the headers, records and directories, as the executable
// format and the panel records lay them out.
constexpr size_t pe_offset_field = 0x3C;
constexpr size_t section_header_size = 40;

template <typename T>
T get(const std::vector<uint8_t>& bytes, size_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

class Damager {
public:
    Damager(const std::vector<uint8_t>& module, uint32_t seed) : original_(module), random_(seed) {
        Report report;
        checked_ = check_module_bytes(module, report);
        if (!checked_.passed) throw std::runtime_error("the module to damage fails its checks:\n" + report.text());
        file_ = checked_.file.get();
        base_ = file_->base();
        pe_ = get<uint32_t>(module, pe_offset_field);
        optional_ = pe_ + 24;
        sections_ = optional_ + get<uint16_t>(module, pe_ + 4 + 16);
    }

    std::vector<Damage> all() {
        headers();
        sections();
        exports();
        resources();
        relocations();
        linkage();
        gauges();
        elements();
        mouse_areas();
        truncations();
        random_changes();
        return std::move(out_);
    }

private:
    // A copy with `value` written at `offset`: one field bent.
    template <typename T>
    void bend(const char* kind, std::string what, size_t offset, T value, std::string names) {
        std::vector<uint8_t> bytes = original_;
        std::memcpy(bytes.data() + offset, &value, sizeof value);
        out_.push_back({std::move(what), kind, true, std::move(names), std::move(bytes)});
    }
    // As `bend`, for a change whose finding depends on the bytes it brings
    // into play: at most one line, naming whatever it finds.
    template <typename T>
    void bend_somehow(const char* kind, std::string what, size_t offset, T value) {
        bend(kind, std::move(what), offset, value, "");
    }
    // `count` copies, each with one random byte of [start, start + length)
    // changed: one field bent, though which one is left to chance.
    void random_bytes(const char* kind, const char* what, size_t start, size_t length, int count) {
        for (int i = 0; i < count; ++i) {
            std::vector<uint8_t> bytes = original_;
            size_t offset = start + random_() % length;
            bytes[offset] = uint8_t(bytes[offset] ^ (1 + random_() % 255));
            out_.push_back({what, kind, true, "", std::move(bytes)});
        }
    }
    size_t at(uint32_t address) const {
        std::optional<size_t> offset = file_->file_offset(address);
        if (!offset) throw std::runtime_error("no file offset for an address the model gives");
        return *offset;
    }
    uint32_t directory_rva(int index) const { return get<uint32_t>(original_, optional_ + 96 + 8 * index); }
    size_t section(int index) const { return sections_ + section_header_size * index; }
    int section_holding(uint32_t address) const {
        for (size_t i = 0; i < file_->sections().size(); ++i)
            if (address >= file_->sections()[i].start && address < file_->sections()[i].end) return int(i);
        throw std::runtime_error("no section holds a record");
    }
    const ModuleModel& model() const { return checked_.records; }
    uint32_t code_address() const { return model().gauges[0].header.routines[0]; }
    uint32_t data_address() const { return model().linkage; }
    uint32_t read_only_address() const { return model().gauges[0].header.name; }

    void headers();
    void sections();
    void exports();
    void resources();
    void relocations();
    void linkage();
    void gauges();
    void elements();
    void mouse_areas();
    void truncations();
    void random_changes();

    const std::vector<uint8_t>& original_;
    CheckedModule checked_;
    const ModuleFile* file_ = nullptr;
    uint32_t base_ = 0;
    size_t pe_ = 0, optional_ = 0, sections_ = 0;
    std::mt19937 random_;
    std::vector<Damage> out_;
};

void Damager::headers() {
    const char* k = "headers";
    size_t file_header = pe_ + 4;
    uint16_t sections = get<uint16_t>(original_, file_header + 2);
    bend<uint16_t>(k, "DOS signature", 0, 0x5A4E, "DOS header");
    bend<int32_t>(k, "PE header offset negative", pe_offset_field, -8, "negative");
    bend<int32_t>(k, "PE header offset past the file", pe_offset_field, 0x7FFFFFF0, "DOS header");
    bend<int32_t>(k, "PE header offset 4 bytes late", pe_offset_field, int32_t(pe_ + 4), "signature");
    bend<uint32_t>(k, "PE signature", pe_, 0x00005850, "signature");
    bend<uint16_t>(k, "machine", file_header, 0x8664, "machine");
    bend<uint16_t>(k, "section count 0", file_header + 2, 0, "section count");
    bend<uint16_t>(k, "section count 0xFFFF", file_header + 2, 0xFFFF, "section count");
    bend<uint16_t>(k, "section count one more", file_header + 2, uint16_t(sections + 1), "section table");
    bend<uint16_t>(k, "optional header size 16", file_header + 16, 16, "optional header size");
    bend<uint16_t>(k, "optional header size 0xFFFF", file_header + 16, 0xFFFF, "optional header");
    bend<uint16_t>(k, "library flag cleared", file_header + 18,
                   uint16_t(get<uint16_t>(original_, file_header + 18) & ~0x2000), "library flag");
    bend<uint16_t>(k, "optional header magic", optional_, 0x020B, "magic");
    bend<uint32_t>(k, "entry point outside the image", optional_ + 16, 0x7FFFFFF0, "entry point");
    bend<uint32_t>(k, "entry point in data", optional_ + 16, data_address() - base_, "entry point");
    bend<uint32_t>(k, "image base moved by 64 KiB", optional_ + 28, base_ + 0x10000, "image base");
    bend<uint32_t>(k, "image base unaligned", optional_ + 28, base_ + 0x1234, "image base");
    bend<uint32_t>(k, "section alignment below file alignment", optional_ + 32, 0x100, "section alignment");
    bend<uint32_t>(k, "file alignment 3", optional_ + 36, 3, "file alignment");
    bend<uint32_t>(k, "image size too small", optional_ + 56, 0x2000, "image size");
    bend<uint32_t>(k, "image size past 4 GiB", optional_ + 56, 0xFFFFF000, "image size");
    // Larger than the sections reach: the loader refuses it, so must the check.
    uint32_t image_size = get<uint32_t>(original_, optional_ + 56);
    uint32_t alignment = get<uint32_t>(original_, optional_ + 32);
    bend<uint32_t>(k, "image size 2 GiB", optional_ + 56, 0x80000000, "image size 0x80000000 passes the end of");
    bend<uint32_t>(k, "image size one alignment more", optional_ + 56, image_size + alignment, "passes the end of");
    bend<uint32_t>(k, "image size one byte short of the aligned end", optional_ + 56, image_size - 1, "");
    bend<uint32_t>(k, "headers size 16", optional_ + 60, 16, "headers size");
    bend<uint32_t>(k, "headers size past the file", optional_ + 60, 0x7FFFFFF0, "headers size");
    bend<uint32_t>(k, "data directory count 0", optional_ + 92, 0, "data directories");
    bend<uint32_t>(k, "export directory RVA outside the image", optional_ + 96, 0x7FFFFFF0, "export directory");
    bend<uint32_t>(k, "export directory size 0", optional_ + 100, 0, "export directory");
    bend<uint32_t>(k, "export directory RVA 0", optional_ + 96, 0, "export directory");
    bend<uint32_t>(k, "resource directory RVA outside", optional_ + 96 + 16, 0x7FFFFFF0, "resource directory");
    bend<uint32_t>(k, "resource directory RVA 0", optional_ + 96 + 16, 0, "resource directory");
    bend<uint32_t>(k, "resource directory size huge", optional_ + 96 + 20, 0x7FFFFFF0, "resource directory");
    bend<uint32_t>(k, "relocation directory RVA outside", optional_ + 96 + 40, 0x7FFFFFF0, "base relocations");
    bend<uint32_t>(k, "relocation directory size huge", optional_ + 96 + 44, 0x7FFFFFF0, "base relocations");
}

void Damager::sections() {
    const char* k = "sections";
    const std::vector<Section>& all = file_->sections();
    // The flags the reader's checks depend on, in the sections that hold
    // what they are about.
    int data = section_holding(model().linkage), rdata = section_holding(read_only_address());
    int code = section_holding(code_address()), exports = section_holding(base_ + directory_rva(0));
    int resources = section_holding(base_ + directory_rva(2)), relocations = section_holding(base_ + directory_rva(5));
    auto flags = [&](int s) { return get<uint32_t>(original_, section(s) + 36); };
    auto name = [&](int s) { return all[size_t(s)].name; };
    for (int s : {data, rdata, exports, resources, relocations})
        bend<uint32_t>(k, name(s) + " read flag cleared", section(s) + 36, flags(s) & ~0x40000000u, name(s));
    bend<uint32_t>(k, name(data) + " write flag cleared", section(data) + 36, flags(data) & ~0x80000000u, "read-only");
    bend<uint32_t>(k, name(code) + " execute flag cleared", section(code) + 36, flags(code) & ~0x20000000u, "not code");
    for (int s = 0; s < int(all.size()); ++s) {
        uint32_t rva = all[size_t(s)].start - base_;
        bend<uint32_t>(k, name(s) + " virtual size huge", section(s) + 8, 0x7FFFFFF0, "image size");
        bend<uint32_t>(k, name(s) + " address unaligned", section(s) + 12, rva + 0x10, "section alignment");
        bend<uint32_t>(k, name(s) + " stored past the file", section(s) + 20, uint32_t(original_.size() + 0x1FF) & ~0x1FFu,
                       "truncated");
        bend<uint32_t>(k, name(s) + " stored at an unaligned offset", section(s) + 20,
                       get<uint32_t>(original_, section(s) + 20) + 0x10, "file alignment");
        bend<uint32_t>(k, name(s) + " stored size huge", section(s) + 16, 0x7FFFFFF0, "truncated");
        // Too short for what it holds: every record past its end lies
        // between sections; that is one finding.
        bend<uint32_t>(k, name(s) + " virtual size 16", section(s) + 8, 16, s == code ? "" : name(s));
    }
    // Stretched over the section after it: a writable section overlapping
    // read-only data.
    uint32_t next = all[size_t(data) + 1].start - all[size_t(data)].start;
    bend<uint32_t>(k, name(data) + " stretched over the next section", section(data) + 8, next + 0x800, "overlaps");
    // A name of control bytes, printed escaped in a finding about it.
    std::vector<uint8_t> bytes = original_;
    std::memcpy(bytes.data() + section(resources), "\x17\x17\x1b[31m", 8);
    std::memcpy(bytes.data() + section(resources) + 16, "\xF0\xFF\xFF\x7F", 4);
    out_.push_back({"section name of control bytes, and its stored size huge", k, true, "\\x17\\x17\\x1b[31m",
                    std::move(bytes)});
}

void Damager::exports() {
    const char* k = "exports";
    size_t d = at(base_ + directory_rva(0));
    uint32_t functions = get<uint32_t>(original_, d + 28), names = get<uint32_t>(original_, d + 32);
    uint32_t ordinals = get<uint32_t>(original_, d + 36);
    bend<uint32_t>(k, "function count huge", d + 20, 0xFFFFFFFF, "function count");
    bend<uint32_t>(k, "name count beyond the functions", d + 24, 0xFFFF, "name count");
    bend<uint32_t>(k, "name count one beyond the functions", d + 24, get<uint32_t>(original_, d + 20) + 1,
                   "exceeds the function count");
    bend<uint32_t>(k, "function table outside", d + 28, 0x7FFFFFF0, "function address table");
    bend<uint32_t>(k, "name table outside", d + 32, 0x7FFFFFF0, "name table");
    bend<uint32_t>(k, "ordinal table outside", d + 36, 0x7FFFFFF0, "ordinal table");
    bend<uint32_t>(k, "name 1 outside", at(base_ + names), 0x7FFFFFF0, "name 1");
    bend<uint32_t>(k, "name 2 in the headers", at(base_ + names) + 4, 0x10, "name 2");
    bend<uint16_t>(k, "ordinal 1 out of range", at(base_ + ordinals), 0x7FFF, "ordinal");
    // Ordinals index the function table: the count itself is one past it.
    uint32_t function_count = get<uint32_t>(original_, d + 20);
    bend<uint16_t>(k, "ordinal 1 the function count", at(base_ + ordinals), uint16_t(function_count),
                   format("has ordinal index %u, but there are only %u", unsigned(function_count),
                          unsigned(function_count)));
    bend<uint32_t>(k, "function 1 outside", at(base_ + functions), 0x7FFFFFF0, "function 1");
    bend<uint32_t>(k, "function 2 in the headers", at(base_ + functions) + 4, 0x10, "function 2");
    uint32_t first_name = get<uint32_t>(original_, at(base_ + names));
    bend<uint8_t>(k, "first name's last letter", at(base_ + first_name) + 3, 'X', "exports no");
    // ImportTable moved into read-only data: the host cannot write it.
    for (uint32_t i = 0; i < 2; ++i) {
        uint32_t name = get<uint32_t>(original_, at(base_ + names) + 4 * i);
        if (std::strcmp(reinterpret_cast<const char*>(original_.data() + at(base_ + name)), "ImportTable")) continue;
        uint16_t ordinal = get<uint16_t>(original_, at(base_ + ordinals) + 2 * i);
        bend<uint32_t>(k, "ImportTable in read-only data", at(base_ + functions) + 4 * ordinal,
                       read_only_address() - base_, "ImportTable");
    }
    random_bytes("random exports", "random byte in the export directory", d, get<uint32_t>(original_, optional_ + 100), 40);
}

void Damager::resources() {
    const char* k = "resources";
    size_t root = at(base_ + directory_rva(2));
    auto entries = [&](size_t table) {
        return size_t(get<uint16_t>(original_, table + 12)) + get<uint16_t>(original_, table + 14);
    };
    auto entry = [&](size_t table, uint32_t id) -> size_t {
        for (size_t i = 0; i < entries(table); ++i)
            if (get<uint32_t>(original_, table + 16 + 8 * i) == id) return table + 16 + 8 * i;
        throw std::runtime_error("no such resource entry");
    };
    auto below = [&](size_t at_entry) { return root + (get<uint32_t>(original_, at_entry + 4) & 0x7FFFFFFF); };
    size_t type = entry(root, 2), bitmaps = below(type);
    bend<uint16_t>(k, "root table's entry count", root + 14, 0xFFFF, "resource directory");
    // No bitmap type at all: every gauge misses its pictures, which is one
    // fault of the directory.
    bend<uint32_t>(k, "bitmap type renamed 3", type, 3, "bitmap resources the records name are missing");
    bend<uint32_t>(k, "bitmap type's table offset", type + 4, 0xFFFFFFF0, "resource directory");
    bend<uint16_t>(k, "bitmap type's entry count", bitmaps + 14, 0xFFFF, "resource directory");
    bend<uint16_t>(k, "bitmap type's last entry dropped", bitmaps + 14,
                   uint16_t(get<uint16_t>(original_, bitmaps + 14) - 1), "is missing");
    size_t face = entry(bitmaps, 100);
    bend<uint32_t>(k, "bitmap 100's entry points at data", face + 4, get<uint32_t>(original_, face + 4) & 0x7FFFFFFF,
                   "resource directory");
    bend<uint32_t>(k, "bitmap 100 renamed 99", face, 99, "bitmap resource 100 is missing");
    size_t languages = below(face), data = root + get<uint32_t>(original_, languages + 16 + 4);
    bend<uint32_t>(k, "bitmap 100's data outside", data, 0x7FFFFFF0, "bitmap 100");
    bend<uint32_t>(k, "bitmap 100's data size huge", data + 4, 0x7FFFFFF0, "bitmap 100");
    bend<uint32_t>(k, "bitmap 100's data entry offset", languages + 16 + 4, 0x7FFFFFF0, "resource directory");
    bend<uint32_t>(k, "bitmap 100's data size 10", data + 4, 10, "bitmap resource 100");
    random_bytes("random resources", "random byte in the resource directory's tables", root, data + 16 - root, 40);
    // The bitmaps' own headers.
    const char* b = "bitmaps";
    auto bitmap = [&](uint32_t id) {
        size_t stored_data = root + get<uint32_t>(original_, below(entry(bitmaps, id)) + 16 + 4);
        return at(base_ + get<uint32_t>(original_, stored_data));
    };
    bend<uint32_t>(b, "bitmap 100 header size", bitmap(100), 0xFFFF, "bitmap resource 100");
    bend<int32_t>(b, "bitmap 100 width 0", bitmap(100) + 4, 0, "bitmap resource 100");
    bend<int32_t>(b, "bitmap 100 height huge", bitmap(100) + 8, 0x7FFFFFFF, "bitmap resource 100");
    bend<uint16_t>(b, "bitmap 102 at 16 bits", bitmap(102) + 14, 16, "bitmap resource 102");
    bend<uint32_t>(b, "bitmap 102 compressed", bitmap(102) + 16, 1, "bitmap resource 102");
    bend<uint32_t>(b, "bitmap 115 with 300 colours", bitmap(115) + 32, 300, "bitmap resource 115");
    // Shared by three drums: one finding all the same.
    bend<uint16_t>(b, "bitmap 150 at 16 bits", bitmap(150) + 14, 16, "bitmap resource 150");
    bend<int32_t>(b, "bitmap 147 lower than its mask", bitmap(147) + 8, 169, "larger than its image");
}

void Damager::relocations() {
    const char* k = "relocations";
    size_t d = at(base_ + directory_rva(5));
    uint16_t first = get<uint16_t>(original_, d + 8);
    bend<uint32_t>(k, "block size 0", d + 4, 0, "base relocations");
    bend<uint32_t>(k, "block size 3", d + 4, 3, "base relocations");
    bend<uint32_t>(k, "block size huge", d + 4, 0x7FFFFFF0, "base relocations");
    bend<uint32_t>(k, "page outside the image", d, 0x7FFFF000, "page RVA");
    bend<uint32_t>(k, "page in the headers", d, 0, "base relocations");
    bend<uint16_t>(k, "entry type 7", d + 8, uint16_t((first & 0x0FFF) | 0x7000), "type 7");
    random_bytes("random relocations", "random byte in the relocations", d, get<uint32_t>(original_, optional_ + 96 + 44), 30);
}

void Damager::linkage() {
    const char* k = "records";
    size_t l = at(model().linkage);
    const std::vector<GaugeModel>& g = model().gauges;
    bend<uint32_t>(k, "Linkage: module-init routine in data", l + 4, data_address(), "module-init routine");
    bend<uint32_t>(k, "Linkage: gauge table entry 0 outside", l + 24, 0x10, "gauge table entry 0");
    bend<uint32_t>(k, "Linkage: gauge table entry 5 is gauge 3 again", l + 24 + 20, g[3].address, "is entry 3's");
    bend<uint32_t>(k, "gauge 4's element list gauge 2's", at(g[4].address) + 8, g[2].header.element_list,
                   "already the root of gauge \"Engine_Tachometer\"");
    bend<uint32_t>(k, "Linkage: gauge table entry 2 inside an element", l + 24 + 8, g[2].elements[0].address + 8,
                   "not a gauge header");
    bend<uint32_t>(k, "Linkage: gauge table entry 1 in the headers", l + 24 + 4, base_ + 0x100, "file headers");
    bend<uint32_t>(k, "Linkage: gauge table's end", l + 24 + 4 * g.size(), 0xFFFFFFF0, "gauge table entry");
    bend<uint32_t>(k, "Linkage: gauge table empty", l + 24, 0, "gauge table is empty");
    bend<uint32_t>(k, "ImportTable: panels identifier", at(model().import_table), 0x10, "ImportTable");
}

void Damager::gauges() {
    const char* k = "records";
    const std::vector<GaugeModel>& g = model().gauges;
    auto header = [&](size_t i) { return at(g[i % g.size()].address); };
    auto label = [&](size_t i) { return "gauge \"" + g[i % g.size()].name + "\": "; };
    bend<uint32_t>(k, label(0) + "header version", header(0), 701, "not a gauge header");
    bend<uint32_t>(k, label(1) + "name null", header(1) + 4, 0, "gauge name");
    bend<uint32_t>(k, label(2) + "name in code", header(2) + 4, code_address(), "gauge name");
    bend<uint8_t>(k, label(3) + "name empty", at(g[3].header.name), 0, "gauge name is empty");
    bend<uint8_t>(k, label(4) + "name with a control byte", at(g[4].header.name) + 2, 0x07, "control byte");
    bend<uint32_t>(k, label(5) + "element list null", header(5) + 8, 0, "element list");
    bend_somehow<uint32_t>(k, label(6) + "element list in code", header(6) + 8, code_address());
    bend<uint32_t>(k, label(7) + "update routine null", header(7) + 12 + 12, 0, "update routine is null");
    bend<uint32_t>(k, label(0) + "query routine in data", header(0) + 12, data_address(), "query routine");
    bend<uint32_t>(k, label(1) + "gauge callback in read-only data", header(1) + 84, read_only_address(),
                   "gauge callback");
    bend<uint32_t>(k, label(2) + "mouse-area list outside", header(2) + 80, 0x12, "mouse-area list");
    bend_somehow<uint32_t>(k, label(3) + "mouse-area list in code", header(3) + 80, code_address());
}

void Damager::elements() {
    const char* k = "records";
    const std::vector<GaugeModel>& gauges = model().gauges;
    const ElementModel* needle = nullptr;  // one with a calibration table
    const ElementModel* moving = nullptr;
    const ElementModel* icon = nullptr;
    const GaugeModel* needle_gauge = nullptr;
    for (const GaugeModel& g : gauges)
        for (const ElementModel& e : g.elements) {
            if (e.kind == stored::needle && !e.calibration.empty() && (!needle || e.calibration.size() > 2))
                needle = &e, needle_gauge = &g;
            if (e.kind == stored::moving_image && !moving) moving = &e;
            if (e.kind == stored::icon && !icon) icon = &e;
        }
    if (!needle || !moving) throw std::runtime_error("the module has no calibrated needle or no moving image");
    const GaugeModel& first = gauges[0];
    size_t root = at(first.elements[0].address);
    bend<uint32_t>(k, "root element kind 2", root, 2, "has kind 2");
    bend_somehow<uint32_t>(k, "root element read as a needle", root, stored::needle);
    bend<uint32_t>(k, "root element bitmap 9999", root + 4, 9999, "bitmap resource 9999");
    bend<int32_t>(k, "root element far right", root + 8, 100000, "position");
    bend<uint32_t>(k, "root element's gauge header another's", root + 32, gauges[1].address, "gauge header field");
    bend<uint32_t>(k, "root element's child list outside", root + 40, 0x10, "child list");
    bend<uint32_t>(k, "root element's child list its own element list", root + 40, first.header.element_list,
                   "child cycle");
    bend<uint32_t>(k, "root element's children another gauge's", root + 40,
                   gauges[1].elements[0].header.children, "gauge header field");
    bend<uint32_t>(k, "root element in read-only data", at(first.header.element_list), read_only_address(),
                   "read-only");
    size_t n = at(needle->address);
    std::string gauge = "gauge \"" + needle_gauge->name + "\" needle: ";
    bend<int32_t>(k, gauge + "pivot outside its bitmap", n + 24, needle->picture->picture.width, "pivot");
    bend<uint32_t>(k, gauge + "failure list outside", n + 44, 0x10, "failure list");
    bend<uint32_t>(k, gauge + "calibration table outside", n + 112, 0x10, "calibration table");
    bend<uint32_t>(k, gauge + "calibration table in read-only data", n + 112, read_only_address(), "read-only");
    bend<uint32_t>(k, gauge + "point count 1", n + 116, 1, "point count");
    bend<uint32_t>(k, gauge + "point count huge", n + 116, 0x40000000, "point count");
    bend<uint32_t>(k, gauge + "point count one past the most", n + 116, 65, "point count 65; a table needs 2 to 64");
    bend<uint32_t>(k, gauge + "point count 10 more", n + 116, uint32_t(needle->calibration.size() + 10), "calibration");
    bend<int32_t>(k, gauge + "rate limit negative", n + 120, -6, "rate limit");
    bend<uint32_t>(k, gauge + "update routine outside", n + 224, 0x10, "update routine");
    size_t table = at(needle->needle.calibration);
    bend<double>(k, gauge + "calibration value not a number", table + 8, NAN, "not a finite number");
    bend<double>(k, gauge + "calibration value infinite", table + 8, INFINITY, "not a finite number");
    bend<double>(k, gauge + "last calibration value minus infinity", table + 24 * (needle->calibration.size() - 1) + 8,
                 -INFINITY, "not a finite number");
    bend<double>(k, gauge + "calibration value repeated", table + 24 + 8, needle->calibration_points[0].value,
                 "calibration point 2");
    stored::Point pivot = needle->header.position;
    bend<uint64_t>(k, gauge + "calibration point on the pivot", table + 24,
                   uint64_t(uint32_t(pivot.x)) | uint64_t(uint32_t(pivot.y)) << 32, "pivot");
    // The last point moved just past the first: the points then go more
    // than once round the pivot.
    const stored::CalibrationPoint& p0 = needle->calibration_points[0];
    double a0 = std::atan2(double(p0.point.y) - pivot.y, double(p0.point.x) - pivot.x) + 0.1;
    double reach = std::hypot(double(p0.point.x) - pivot.x, double(p0.point.y) - pivot.y);
    int32_t x = int32_t(std::lround(pivot.x + reach * std::cos(a0))), y = int32_t(std::lround(pivot.y + reach * std::sin(a0)));
    bend<uint64_t>(k, gauge + "last point past the first", table + 24 * (needle->calibration.size() - 1),
                   uint64_t(uint32_t(x)) | uint64_t(uint32_t(y)) << 32, "round the pivot");
    if (!needle->failures.empty()) {
        size_t failures = at(needle->header.failures);
        bend<uint32_t>(k, gauge + "failure action 7", failures + 4, 7, "action 7");
        bend_somehow<uint32_t>(k, gauge + "failure list's end key", failures + 12 * needle->failures.size(), 99);
    }
    size_t m = at(moving->address);
    bend<double>(k, "moving image: y range empty", m + 152, moving->moving.y_min, "range");
    bend<double>(k, "moving image: y minimum not a number", m + 144, NAN, "range");
    bend<uint32_t>(k, "moving image: y routine in data", m + 248, data_address(), "y axis routine");
    bend<uint32_t>(k, "moving image: x routine set on the still axis", m + 244, code_address(), "x axis");
    bend<uint32_t>(k, "moving image: bitmap is its own mask", m + 4, moving->header.bitmap + 1, "is missing");
    if (icon) {
        size_t i = at(icon->address);
        bend<uint32_t>(k, "icon: image count 0", i + 112, 0, "image count");
        bend<uint32_t>(k, "icon: image count 2", i + 112, 2, "is missing");
    }
    std::vector<size_t> data_offsets;
    for (const GaugeModel& g : gauges)
        for (const ElementModel& e : g.elements) data_offsets.push_back(at(e.address));
    for (int i = 0; i < 60; ++i)
        random_bytes("random records", "random byte in an element record", data_offsets[random_() % data_offsets.size()],
                     sizeof(stored::StaticImage), 1);
}

void Damager::mouse_areas() {
    const char* k = "records";
    const GaugeModel* clickable = nullptr;
    for (const GaugeModel& g : model().gauges)
        if (g.mouse_areas.size() > 2) clickable = &g;
    if (!clickable) throw std::runtime_error("no gauge with nested mouse areas");
    size_t list = at(clickable->header.mouse_areas);
    size_t last = clickable->mouse_areas.size() + 1;  // a parent's end, then the list's end, follow the areas
    size_t child = at(clickable->mouse_areas.back().address);
    bend<uint32_t>(k, "mouse area 1 kind 9", list, 9, "kind 0x00000009");
    // A pointer where a kind belongs: a list that lost its end records.
    bend<uint32_t>(k, "mouse area kind a pointer", list + 44 * 3, data_address(),
                   format("kind 0x%08x is none of", unsigned(data_address())));
    // Still on the face, but out of its parent's box: never clickable there.
    bend<int32_t>(k, "child box wider than its parent", child + 12, 40, "reaches outside area");
    bend<int32_t>(k, "child box in face coordinates", child + 4, 98, "(stored as 98, ");
    bend<int32_t>(k, "mouse box far off the face", child + 4, 5040, "wholly off");
    bend<int32_t>(k, "mouse box width negative", child + 12, -5, "negative");
    bend<uint32_t>(k, "mouse routine in data", child + 36, data_address(), "mouse routine");
    bend<uint32_t>(k, "mouse list ended early", list + 44, 0, "still open");
    bend_somehow<uint32_t>(k, "mouse list's end record a parent", list + 44 * last, 1);
}

void Damager::truncations() {
    const char* k = "truncation";
    size_t headers = get<uint32_t>(original_, optional_ + 60);
    size_t table_end = sections_ + section_header_size * get<uint16_t>(original_, pe_ + 4 + 2);
    for (size_t length : {size_t(0), size_t(1), size_t(63), size_t(100), pe_ + 10, table_end - 1, headers - 1,
                          original_.size() / 3, original_.size() / 2, original_.size() - 1}) {
        std::vector<uint8_t> bytes(original_.begin(), original_.begin() + std::ptrdiff_t(length));
        out_.push_back({"cut to " + std::to_string(length) + " bytes", k, true, "", std::move(bytes)});
    }
}

void Damager::random_changes() {
    random_bytes("random headers", "random byte in the headers", 0, get<uint32_t>(original_, optional_ + 60), 40);
    random_bytes("random file", "random byte anywhere", 0, original_.size(), 60);
    // Several bytes at once: findings stay clear, however many there are.
    for (int i = 0; i < 30; ++i) {
        std::vector<uint8_t> bytes = original_;
        for (int j = 0; j < 16; ++j) {
            size_t offset = random_() % std::min(bytes.size(), size_t(0x8000));
            bytes[offset] = uint8_t(random_());
        }
        out_.push_back({"16 random bytes in the first 32 KiB", "random many", false, "", std::move(bytes)});
    }
}

}  // namespace

std::vector<Damage> damaged_copies(const std::vector<uint8_t>& module, uint32_t seed) {
    return Damager(module, seed).all();
}

bool names_a_structure(const std::string& finding) {
    static const char* const starts[] = {"DOS header:", "PE header:", "optional header:", "section table:",
                                         "export directory", "import directory", "resource directory",
                                         "base relocations", "thread-storage directory", "Linkage:", "ImportTable:",
                                         "gauge "};
    for (const char* start : starts)
        if (finding.rfind(start, 0) == 0) return true;
    return false;
}

}  // namespace panelhost::testing
