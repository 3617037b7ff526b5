#include "tests/support/loaded_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

uint32_t Record::word(size_t offset) const {
    uint32_t value;
    std::memcpy(&value, at_ + offset, sizeof value);
    return value;
}

int32_t Record::signed_word(size_t offset) const {
    return static_cast<int32_t>(word(offset));
}

double Record::number(size_t offset) const {
    double value;
    std::memcpy(&value, at_ + offset, sizeof value);
    return value;
}

void Record::set_word(size_t offset, uint32_t value) const {
    std::memcpy(at_ + offset, &value, sizeof value);
}

void Record::set_number(size_t offset, double value) const {
    std::memcpy(at_ + offset, &value, sizeof value);
}

std::string module_path() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    path.erase(path.find_last_of("\\/") + 1);
    const char* other = std::getenv("CORVALENX_MODULE");
    return path + (other && *other ? other : "Corvalenx.gau");
}

namespace {

LoadedModule load() {
    LoadedModule m;
    std::string path = module_path();
    m.handle = LoadLibraryA(path.c_str());
    if (!m.handle) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", path.c_str(), GetLastError());
        std::exit(2);
    }
    m.import_table = Record(reinterpret_cast<void*>(GetProcAddress(m.handle, "ImportTable")));
    m.linkage = Record(reinterpret_cast<void*>(GetProcAddress(m.handle, "Linkage")));
    if (m.import_table.null() || m.linkage.null()) {
        std::fprintf(stderr, "%s does not export ImportTable and Linkage\n", path.c_str());
        std::exit(2);
    }
    return m;
}

}  // namespace

LoadedModule& corvalenx() {
    static LoadedModule module = load();
    return module;
}

bool unload_and_load_corvalenx_again() {
    LoadedModule& module = corvalenx();
    const std::string path = module_path();
    for (int references = 0; references < 16 && GetModuleHandleA(path.c_str()); ++references) {
        FreeLibrary(module.handle);
    }
    bool unloaded = GetModuleHandleA(path.c_str()) == nullptr;
    module = load();
    return unloaded;
}

std::vector<Record> LoadedModule::gauges() const {
    std::vector<Record> table;
    for (size_t i = 0; linkage.word(host_layout::linkage::gauge_table + 4 * i); ++i) {
        table.push_back(linkage.at(host_layout::linkage::gauge_table + 4 * i));
    }
    return table;
}

Record LoadedModule::gauge(std::string_view name) const {
    for (Record g : gauges()) {
        if (name == g.text(host_layout::gauge_header::name)) return g;
    }
    ADD_FAILURE() << "no gauge named \"" << name << "\" in the gauge table";
    return {};
}

bool LoadedModule::holds(const void* address) const {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(address, &info, sizeof info) && info.AllocationBase == handle;
}

bool LoadedModule::holds_code(const void* address) const {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(address, &info, sizeof info) && info.AllocationBase == handle &&
           (info.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY));
}

Record root_of(Record gauge) {
    return gauge.at(host_layout::gauge_header::element_list).at(0);
}

std::vector<Record> children_of(Record element) {
    std::vector<Record> list;
    Record children = element.at(host_layout::element::children);
    if (children.null()) return list;
    for (size_t i = 0; children.word(4 * i); ++i) list.push_back(children.at(4 * i));
    return list;
}

namespace {

void collect(Record element, std::vector<Record>& all) {
    all.push_back(element);
    for (Record child : children_of(element)) collect(child, all);
}

}  // namespace

std::vector<Record> elements_of(Record gauge) {
    std::vector<Record> all;
    collect(root_of(gauge), all);
    return all;
}

size_t size_of_element(Record element) {
    namespace layout = host_layout;
    switch (element.word(layout::element::kind)) {
    case layout::element::static_image: return layout::static_image::size;
    case layout::element::needle: return layout::needle::size;
    case layout::element::icon: return layout::icon::size;
    case layout::element::moving_image: return layout::moving_image::size;
    }
    ADD_FAILURE() << "element " << element.word(layout::element::bitmap) << " is of unknown kind "
                  << element.word(layout::element::kind);
    return layout::static_image::size;
}

size_t records_in_list(Record list, size_t record_size) {
    // Lists are short; one without its end record is reported, not followed.
    constexpr size_t longest = 64;
    size_t n = 1;
    while (list.entry(n - 1, record_size).word(0) && n < longest) ++n;
    EXPECT_LT(n, longest) << "a list without its end record";
    return n;
}
