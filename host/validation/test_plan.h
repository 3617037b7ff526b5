// Which tests validate runs on a module, named and numbered the same in the
// process that reports them and in the child processes that run them, and
// how much each tries at each strictness.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/reader/gauge_model.h"

namespace panelhost {

struct ValidationSettings {
    std::string module;
    std::vector<int> gauges;  // indexes into the module's gauge table
    int strictness = 5;
    uint64_t seed = 1;
};

enum class TestKind {
    lifecycle,         // install, update, draw, kill through the header; the callback's codes
    results,           // one element's routines over edge and random inputs
    repeatable,        // the same inputs again, reordered, after a reinstall and a reload
    install_and_kill,  // install and kill over and over
    caller_modes,      // the same inputs under other x87 precision and rounding
    load_and_unload,   // the module loaded and unloaded over and over
};

struct PlannedTest {
    TestKind kind;
    int gauge = -1;    // index in the module's gauge table; -1 for the module as a whole
    int element = -1;  // for results: index in the gauge's elements
    std::string name;  // "Airspeed/element 2/results", "module/load and unload"
};

// How much the tests try at one strictness.
struct Effort {
    size_t random_inputs;      // per element, besides its edge inputs
    bool variable_pairs;       // two variables at once over their edges
    size_t repeat_inputs;      // random inputs of the repeatability passes
    int install_cycles;        // install and kill
    int load_cycles;           // load and unload
    bool unknown_callback_codes;
    bool caller_modes;
};
Effort effort_at(int strictness);

// A needle's update routine and a moving image's axis routines.
bool has_routine(const ElementModel& element);

std::vector<PlannedTest> plan_tests(const ModuleModel& model, const ValidationSettings& settings);

}  // namespace panelhost
