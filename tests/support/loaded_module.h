// The built Corvalenx.gau, loaded through the Windows loader once per test
// program, and its records read the way the host reads them: by byte offset
// (host_layout.h), never through the module's own declarations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/host_layout.h"

// A record of the loaded module, read and written by byte offset.
class Record {
public:
    Record() = default;
    explicit Record(const void* at) : at_(static_cast<uint8_t*>(const_cast<void*>(at))) {}

    bool null() const { return at_ == nullptr; }
    uint8_t* address() const { return at_; }
    bool operator==(const Record&) const = default;

    uint32_t word(size_t offset) const;
    int32_t signed_word(size_t offset) const;
    double number(size_t offset) const;
    void set_word(size_t offset, uint32_t value) const;
    void set_number(size_t offset, double value) const;

    // What the pointer field at `offset` points to (a null record for null).
    Record at(size_t offset) const { return Record(reinterpret_cast<void*>(uintptr_t(word(offset)))); }
    // The record `index` places further on in an array of `size`-byte records.
    Record entry(size_t index, size_t size) const { return Record(at_ + index * size); }
    // The zero-ended string the pointer field at `offset` points to.
    std::string text(size_t offset) const { return reinterpret_cast<const char*>(at(offset).address()); }

private:
    uint8_t* at_ = nullptr;
};

struct LoadedModule {
    HMODULE handle = nullptr;
    Record import_table;
    Record linkage;

    // The gauge headers of the gauge table, up to its terminating null.
    std::vector<Record> gauges() const;
    // The gauge stored under exactly this name; fails the test if absent.
    Record gauge(std::string_view name) const;
    // Whether an address lies in the module's image, and in its code.
    bool holds(const void* address) const;
    bool holds_code(const void* address) const;
};

// Path of the module next to the running test program: Corvalenx.gau, or the
// file CORVALENX_MODULE names.
std::string module_path();

// Loads the module on first use; later calls return the same one.
LoadedModule& corvalenx();
// Frees the module until the loader has unloaded it (false if it stays
// mapped), then loads it again; corvalenx() then names the new one.
bool unload_and_load_corvalenx_again();

// The routine whose address the pointer field at `offset` holds, as the host
// calls it: callee removes the arguments, each one 32-bit word.
template <typename Routine>
Routine routine_at(Record record, size_t offset) {
    return reinterpret_cast<Routine>(uintptr_t(record.word(offset)));
}
using PlainRoutine = void(__stdcall*)();
using WordRoutine = void(__stdcall*)(uint32_t word);
using CallbackRoutine = void(__stdcall*)(void* gauge, int32_t service, uint32_t extra);
using ConversionRoutine = double(__stdcall*)(void* element);

// Walking a gauge's element tree.
Record root_of(Record gauge);
std::vector<Record> children_of(Record element);
// Every element of a gauge, parents before their children, in list order.
std::vector<Record> elements_of(Record gauge);
// An element's record size, by its kind; fails the test for an unknown kind.
size_t size_of_element(Record element);
// Records of a list up to and including its end record (key or kind 0).
size_t records_in_list(Record list, size_t record_size);
