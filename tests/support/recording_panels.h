// A panel-service table that records every call the module makes, for the
// tests to compare with what they expect. Installed into the module's
// ImportTable for the lifetime of the object. A call into any slot the module
// has no business calling ends the test program with a message naming it.
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

    // What lookup_var leaves in a record's current value, by variable token;
    // variables not listed read 0.
    std::function<double(uint32_t token)> variable_value = [](uint32_t) { return 0.0; };

    static RecordingPanels* active;

private:
    const LoadedModule& module_;
    void* previous_table_;
};
