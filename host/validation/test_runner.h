// Runs validation tests in this process, each in a freshly loaded module,
// keeping a board up to date with the test, the stage and the input under
// way: if the module takes the process down, the board is what the process
// that started it reads to say where.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/panel_host.h"
#include "host/validation/call_checks.h"
#include "host/validation/test_inputs.h"
#include "host/validation/test_plan.h"
#include "host/validation/test_results.h"

namespace panelhost {

// Shared memory between the process running tests and the one reporting
// them. Plain data only: it is read after the writer died.
struct RunBoard {
    uint32_t first_test;  // written by the reporting process: where to start
    uint32_t running;     // the test under way, plus 1; 0 before the first
    uint32_t progress;    // counts up as inputs are tried
    uint32_t has_sample;
    Sample sample;        // the input being tried
    char stage[160];      // what the test is doing: "install, update, draw and kill, cycle 3"
    uint32_t module_base;    // where the module under test is loaded; 0 when it is not
    uint32_t access_fault;   // an access violation's kind: 1 reading, 2 writing, 9 executing; 0 none
    uint32_t fault_address;  // the address it touched
};

class TestRunner {
public:
    TestRunner(const ValidationSettings& settings, const std::vector<PlannedTest>& plan, RunBoard& board);
    TestResult run(size_t test);

private:
    struct Loaded;
    std::unique_ptr<Loaded> load(int gauge);
    void close(std::unique_ptr<Loaded>& loaded);

    void lifecycle(const PlannedTest& test);
    void results(const PlannedTest& test);
    void repeatable(const PlannedTest& test);
    void install_and_kill(const PlannedTest& test);
    void caller_modes(const PlannedTest& test);
    void load_and_unload(const PlannedTest& test);

    // Each output's results (bits) for each sample, by sample.
    using Results = std::vector<std::vector<uint64_t>>;
    // Installs the gauge and makes the inputs of a test going over them several times.
    std::vector<Sample> gauge_samples(Host& host, const GaugeModel& gauge, InputRandom& random);
    // The samples in `order` through the gauge's update routine, with the
    // x87 control word at `control_word` (0: as it is) around each update.
    Results pass(Host& host, const GaugeModel& gauge, const std::vector<Sample>& samples,
                 const std::vector<size_t>& order, uint16_t control_word = 0);
    // A finding for each output whose `later` results differ from its `first`.
    void differences(const GaugeModel& gauge, const std::vector<Sample>& samples, const Results& first,
                     const Results& later, TestFinding::Level level, Fault fault, const std::string& first_how,
                     const std::string& later_how);
    void handle_growth(unsigned long first, unsigned long last, int cycles, const std::string& over);

    void stage(const std::string& text);
    void trying(const Sample& sample);
    std::string current_input() const;
    void host_warnings(Host& host);

    const ValidationSettings& settings_;
    const std::vector<PlannedTest>& plan_;
    Effort effort_;
    RunBoard& board_;
    FindingList findings_;
    TestResult result_;
};

}  // namespace panelhost
