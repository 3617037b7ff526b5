#include "tests/support/recording_panels.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

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

void __stdcall element_list_query(void* root) { record("element_list_query", {(uintptr_t)root}); }
void __stdcall element_list_install(void* root, uint32_t handle) {
    record("element_list_install", {(uintptr_t)root, handle});
}
void __stdcall element_list_initialize(void* root) { record("element_list_initialize", {(uintptr_t)root}); }
void __stdcall element_list_update(void* root) { record("element_list_update", {(uintptr_t)root}); }
void __stdcall element_list_generate(void* root, uint32_t phase) {
    record("element_list_generate", {(uintptr_t)root, phase});
}
void __stdcall element_list_plot(void* root) { record("element_list_plot", {(uintptr_t)root}); }
void __stdcall element_list_kill(void* root) { record("element_list_kill", {(uintptr_t)root}); }
void __stdcall initialize_var(void* variable) { record("initialize_var", {(uintptr_t)variable}); }
void __stdcall lookup_var(void* variable) {
    record("lookup_var", {(uintptr_t)variable});
    const Record var(variable);
    const uint32_t token = var.word(host_layout::variable::id);
    var.set_number(host_layout::variable::value, RecordingPanels::active->variable_value(token));
}

// Any other slot: the argument count is unknown, so returning would leave
// the caller's stack wrong. Name the slot and stop.
template <size_t Slot>
void __stdcall unexpected_service() {
    std::fprintf(stderr, "the module called panel service slot 0x%02X, which it must not use\n",
                 unsigned(Slot * host_layout::pointer_size));
    std::fflush(stderr);
    std::_Exit(3);
}

// Room for the host's whole table, so a stray slot beyond the named ones is
// caught too.
constexpr size_t table_slots = 256;

struct ServiceTable {
    void* slots[table_slots];
    void put(size_t offset, void* service) { slots[offset / host_layout::pointer_size] = service; }
};

template <size_t... Slot>
ServiceTable trapping_table(std::index_sequence<Slot...>) {
    return {{reinterpret_cast<void*>(&unexpected_service<Slot>)...}};
}

ServiceTable make_recording_table() {
    namespace slot = host_layout::panels;
    ServiceTable table = trapping_table(std::make_index_sequence<table_slots>());
    table.put(slot::element_list_query, reinterpret_cast<void*>(element_list_query));
    table.put(slot::element_list_install, reinterpret_cast<void*>(element_list_install));
    table.put(slot::element_list_initialize, reinterpret_cast<void*>(element_list_initialize));
    table.put(slot::element_list_update, reinterpret_cast<void*>(element_list_update));
    table.put(slot::element_list_generate, reinterpret_cast<void*>(element_list_generate));
    table.put(slot::element_list_plot, reinterpret_cast<void*>(element_list_plot));
    table.put(slot::element_list_kill, reinterpret_cast<void*>(element_list_kill));
    table.put(slot::initialize_var, reinterpret_cast<void*>(initialize_var));
    table.put(slot::lookup_var, reinterpret_cast<void*>(lookup_var));
    return table;
}

ServiceTable recording_table = make_recording_table();

}  // namespace

RecordingPanels::RecordingPanels(const LoadedModule& module)
    : import_table_(module.import_table),
      previous_table_(module.import_table.word(host_layout::import_entry::pointer)) {
    active = this;
    import_table_.set_word(host_layout::import_entry::pointer, uint32_t(uintptr_t(&recording_table)));
}

RecordingPanels::~RecordingPanels() {
    import_table_.set_word(host_layout::import_entry::pointer, previous_table_);
    active = nullptr;
}
