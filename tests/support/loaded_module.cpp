#include "tests/support/loaded_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

std::string module_path() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    path.erase(path.find_last_of("\\/") + 1);
    return path + "Corvalenx.gau";
}

const LoadedModule& corvalenx() {
    static LoadedModule module = [] {
        LoadedModule m;
        std::string path = module_path();
        m.handle = LoadLibraryA(path.c_str());
        if (!m.handle) {
            std::fprintf(stderr, "cannot load %s (error %lu)\n", path.c_str(), GetLastError());
            std::exit(2);
        }
        m.import_table =
            reinterpret_cast<GAUGESIMPORT*>(GetProcAddress(m.handle, "ImportTable"));
        m.linkage_words = reinterpret_cast<uint32_t*>(GetProcAddress(m.handle, "Linkage"));
        if (!m.import_table || !m.linkage_words) {
            std::fprintf(stderr, "%s does not export ImportTable and Linkage\n", path.c_str());
            std::exit(2);
        }
        return m;
    }();
    return module;
}

std::vector<GAUGEHDR*> LoadedModule::gauges() const {
    std::vector<GAUGEHDR*> table;
    auto** entry = reinterpret_cast<GAUGEHDR**>(linkage_words + 6);
    for (; *entry; ++entry) table.push_back(*entry);
    return table;
}

GAUGEHDR* LoadedModule::gauge(std::string_view name) const {
    for (GAUGEHDR* g : gauges()) {
        if (name == g->gauge_name) return g;
    }
    ADD_FAILURE() << "no gauge named \"" << name << "\" in the gauge table";
    return nullptr;
}

ELEMENT_HEADER* root_of(const GAUGEHDR* gauge) {
    return gauge->elements_list[0];
}

std::vector<ELEMENT_HEADER*> children_of(const ELEMENT_HEADER* element) {
    std::vector<ELEMENT_HEADER*> list;
    if (element->children) {
        for (ELEMENT_HEADER** child = element->children; *child; ++child) list.push_back(*child);
    }
    return list;
}
