// A panel-service table that records every call the module makes, for the
// tests to compare with what they expect. Its services sit at the slot
// offsets the host gives them (host_layout.h); every other slot of the host's
// table ends the test program with a message naming the slot, since a call
// the module has no business making cannot safely return. Installed into the
// module's ImportTable for the lifetime of the object.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/loaded_module.h"

struct ServiceCall {
    std::string service;
    std::vector<uintptr_t> args;

    bool operator==(const ServiceCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ServiceCall& call);

template <typename... Args>
ServiceCall service_call(std::string service, Args... args) {
    return {std::move(service), {(uintptr_t)args...}};
}

class RecordingPanels {
public:
    explicit RecordingPanels(const LoadedModule& module = corvalenx());
    ~RecordingPanels();
    RecordingPanels(const RecordingPanels&) = delete;
    RecordingPanels& operator=(const RecordingPanels&) = delete;

    std::vector<ServiceCall> calls;

    // What lookup_var leaves in a variable record's current value, given the
    // record's variable token; variables not listed read 0.
    std::function<double(uint32_t token)> variable_value = [](uint32_t) { return 0.0; };

    static RecordingPanels* active;

private:
    Record import_table_;
    uint32_t previous_table_;
};
