#include "tests/support/recording_panels.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "module/records/panel_services.h"

RecordingPanels* RecordingPanels::active = nullptr;

std::ostream& operator<<(std::ostream& out, const ServiceCall& call) {
    out << call.service << "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
        out << (i ? ", " : "") << "0x" << std::hex << call.args[i] << std::dec;
    }
    return out << ")";
}

namespace {

void record(const char* service, std::vector<uintptr_t> args) {
    RecordingPanels::active->calls.push_back({service, std::move(args)});
}

void __stdcall element_list_query(ELEMENT_HEADER* root) { record("element_list_query", {(uintptr_t)root}); }
void __stdcall element_list_install(ELEMENT_HEADER* root, uint32_t handle) {
    record("element_list_install", {(uintptr_t)root, handle});
}
void __stdcall element_list_initialize(ELEMENT_HEADER* root) {
    record("element_list_initialize", {(uintptr_t)root});
}
void __stdcall element_list_update(ELEMENT_HEADER* root) { record("element_list_update", {(uintptr_t)root}); }
void __stdcall element_list_generate(ELEMENT_HEADER* root, uint32_t phase) {
    record("element_list_generate", {(uintptr_t)root, phase});
}
void __stdcall element_list_plot(ELEMENT_HEADER* root) { record("element_list_plot", {(uintptr_t)root}); }
void __stdcall element_list_kill(ELEMENT_HEADER* root) { record("element_list_kill", {(uintptr_t)root}); }
void __stdcall initialize_var(MODULE_VAR* var) { record("initialize_var", {(uintptr_t)var}); }
void __stdcall lookup_var(MODULE_VAR* var) {
    record("lookup_var", {(uintptr_t)var});
    var->value.number = RecordingPanels::active->variable_value(var->id);
}

// Any other slot: the argument count is unknown, so returning would leave
// the caller's stack wrong. Name the slot and stop.
template <size_t Slot>
void __stdcall unexpected_service() {
    std::fprintf(stderr, "the module called panel service slot 0x%02X, which it must not use\n",
                 unsigned(Slot * sizeof(void*)));
    std::fflush(stderr);
    std::_Exit(3);
}

// Room for the host's whole table, so a stray slot beyond the named ones is
// caught too.
constexpr size_t table_slots = 256;

union ServiceTable {
    void* slots[table_slots];
    PANELS panels;
};

template <size_t... Slot>
ServiceTable trapping_table(std::index_sequence<Slot...>) {
    return {.slots = {reinterpret_cast<void*>(&unexpected_service<Slot>)...}};
}

ServiceTable make_recording_table() {
    ServiceTable table = trapping_table(std::make_index_sequence<table_slots>());
    PANELS& panels = table.panels;
    panels.element_list_query = element_list_query;
    panels.element_list_install = element_list_install;
    panels.element_list_initialize = element_list_initialize;
    panels.element_list_update = element_list_update;
    panels.element_list_generate = element_list_generate;
    panels.element_list_plot = element_list_plot;
    panels.element_list_kill = element_list_kill;
    panels.initialize_var = initialize_var;
    panels.lookup_var = lookup_var;
    return table;
}

ServiceTable recording_table = make_recording_table();

}  // namespace

RecordingPanels::RecordingPanels(const LoadedModule& module)
    : module_(module), previous_table_(module.import_table[0].pointer) {
    active = this;
    module_.import_table[0].pointer = &recording_table;
}

RecordingPanels::~RecordingPanels() {
    module_.import_table[0].pointer = previous_table_;
    active = nullptr;
}
