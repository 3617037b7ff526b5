// What a validation test found, and how a test's result travels from the
// child process that ran it to the one that reports it (a JSON line).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "host/output.h"

namespace panelhost {

// The kinds of fault validate tells apart, each with the name reports use.
enum class Fault {
    not_finite,             // a routine returned a not-a-number or an infinity
    out_of_range,           // outside the axis range or calibration span
    not_repeatable,         // the same inputs gave other results
    caller_modes,           // results hang on the caller's x87 precision or rounding
    x87_control_word,       // a call left the x87 control word changed
    mxcsr,                  // a call left MXCSR's control bits changed
    callee_saved_register,  // ebx, esi, edi or ebp changed by a call
    direction_flag,         // a call returned with the direction flag set
    x87_stack,              // a call left the x87 register stack deeper or shallower
    memory_write,           // a call wrote where the module may not
    host_services,          // a routine drove another gauge's tree, or none
    handle_leak,            // handles grew with every install or load
    crash,
    hang,
    service_misuse,         // a panel service this host lacks, or a routine re-entering the host
    stack_convention,       // a routine did not remove its own arguments
    not_loaded,             // the module would not load or run at all
    host_fault,             // panelhost itself failed
};

const char* fault_name(Fault fault);
bool fault_from_name(const std::string& name, Fault& fault);

struct TestFinding {
    enum Level { error, warning } level = error;
    Fault fault{};
    std::string text;   // one line: what went wrong, and where
    std::string input;  // the first input it showed with; empty when it needs none
    uint64_t count = 1; // how many calls or inputs showed it
};

struct TestResult {
    uint64_t inputs = 0;  // variable settings (or codes, cycles) tried
    uint64_t calls = 0;   // module calls made
    double seconds = 0;
    std::vector<TestFinding> findings;

    size_t count(TestFinding::Level level) const;
};

// Findings gathered while a test runs: the first of each kind at each
// place is kept with its input, later ones only counted.
class FindingList {
public:
    void add(TestFinding::Level level, Fault fault, const std::string& place, std::string text, std::string input);
    // True, and counted once more, when a finding of `fault` at `place` is kept already.
    bool count_again(Fault fault, const std::string& place);
    std::vector<TestFinding> take();
    bool empty() const { return order_.empty(); }

private:
    std::map<std::pair<Fault, std::string>, size_t> index_;
    std::vector<TestFinding> order_;
};

Json result_json(size_t test, const TestResult& result);
// False when `line` is not a result as result_json writes it.
bool result_from_json(const std::string& line, size_t& test, TestResult& result);

}  // namespace panelhost
