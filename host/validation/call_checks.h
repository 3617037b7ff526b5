// What validate checks on every module call a test makes: that the call
// kept what the host calling convention says it keeps (callee-saved
// registers, the x87 control word and register stack, MXCSR's control bits,
// the direction flag), and that the only bytes of the module's memory it
// changed are host-owned fields of the records of the gauge under test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/module_call.h"
#include "host/panel_host.h"
#include "host/validation/record_map.h"
#include "host/validation/test_results.h"

namespace panelhost {

class CallChecks final : public ModuleCallObserver {
public:
    // `gauge`: index of the gauge under test, whose records' host-owned
    // fields its calls may write; -1: any gauge's. `input` says what the
    // test is giving the module now, for the findings.
    // The host keeps a pointer into this while it lives: destroy the host
    // first (its kills and module-deinit are observed too).
    CallChecks(Host& host, int gauge, FindingList& findings, std::function<std::string()> input);
    ~CallChecks();
    CallChecks(const CallChecks&) = delete;
    CallChecks& operator=(const CallChecks&) = delete;

    void entering(const char* what) override;
    void left(const char* what, bool returns_double, const KeptState& before, const KeptState& after) override;

    // The whole image compared, large and read-only sections too, which a
    // call is not compared over (a test calls this at its end).
    void check_whole_image();
    uint64_t calls() const { return calls_; }

private:
    struct Region {
        uint32_t start;
        std::vector<uint8_t> copy;
        std::string section;
    };
    // Changes since the last look, written by the call running then.
    void compare(std::vector<Region>& regions, const std::vector<Region>* skip);
    void changed(uint32_t from, uint32_t to, const std::string& section);
    bool host_wrote(uint32_t address) const;
    void learn_host_writes();
    void convention(const char* what, bool returns_double, const KeptState& before, const KeptState& after);
    void add(Fault fault, const std::string& place, const std::string& text);

    Host& host_;
    int gauge_;
    FindingList& findings_;
    std::function<std::string()> input_;
    RecordMap records_;
    std::vector<Region> hot_;   // compared at every call
    std::vector<Region> cold_;  // every readable section, compared by check_whole_image
    std::vector<std::pair<uint32_t, uint32_t>> host_writes_;
    std::vector<const char*> running_;  // the calls under way, innermost last
    uint64_t calls_ = 0;
};

}  // namespace panelhost
