// The built Corvalenx.gau, loaded through the Windows loader once per test
// program, and the records reached from its two exports.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "module/records/gauge_records.h"

struct LoadedModule {
    HMODULE handle = nullptr;
    GAUGESIMPORT* import_table = nullptr;
    uint32_t* linkage_words = nullptr;  // Linkage, as the host reads it

    // The gauge table, up to (not including) its terminating null.
    std::vector<GAUGEHDR*> gauges() const;
    // The gauge stored under exactly this name; fails the test if absent.
    GAUGEHDR* gauge(std::string_view name) const;
};

// Path of the module next to the running test program.
std::string module_path();

// Loads the module on first use; later calls return the same one.
const LoadedModule& corvalenx();

// Element-record helpers for tests that walk a gauge's tree.
ELEMENT_HEADER* root_of(const GAUGEHDR* gauge);
std::vector<ELEMENT_HEADER*> children_of(const ELEMENT_HEADER* element);

template <typename Record>
Record* as(ELEMENT_HEADER* element) {
    return reinterpret_cast<Record*>(element);
}
