#include "host/validation/test_results.h"

namespace panelhost {

namespace {

constexpr std::pair<Fault, const char*> fault_names[] = {
    {Fault::not_finite, "not-finite"},
    {Fault::out_of_range, "out-of-range"},
    {Fault::not_repeatable, "not-repeatable"},
    {Fault::caller_modes, "caller-modes"},
    {Fault::x87_control_word, "x87-control-word"},
    {Fault::mxcsr, "mxcsr"},
    {Fault::callee_saved_register, "callee-saved-register"},
    {Fault::direction_flag, "direction-flag"},
    {Fault::x87_stack, "x87-stack"},
    {Fault::memory_write, "memory-write"},
    {Fault::host_services, "host-services"},
    {Fault::handle_leak, "handle-leak"},
    {Fault::crash, "crash"},
    {Fault::hang, "hang"},
    {Fault::service_misuse, "service-misuse"},
    {Fault::stack_convention, "stack-convention"},
    {Fault::not_loaded, "not-loaded"},
    {Fault::host_fault, "host-fault"},
};

}  // namespace

const char* fault_name(Fault fault) {
    for (const auto& [f, name] : fault_names)
        if (f == fault) return name;
    return "?";
}

bool fault_from_name(const std::string& name, Fault& fault) {
    for (const auto& [f, n] : fault_names)
        if (name == n) {
            fault = f;
            return true;
        }
    return false;
}

size_t TestResult::count(TestFinding::Level level) const {
    size_t n = 0;
    for (const TestFinding& f : findings) n += f.level == level;
    return n;
}

void FindingList::add(TestFinding::Level level, Fault fault, const std::string& place, std::string text,
                      std::string input) {
    auto [it, fresh] = index_.try_emplace({fault, place}, order_.size());
    if (!fresh) {
        ++order_[it->second].count;
        return;
    }
    order_.push_back({level, fault, std::move(text), std::move(input)});
}

bool FindingList::count_again(Fault fault, const std::string& place) {
    auto it = index_.find({fault, place});
    if (it == index_.end()) return false;
    ++order_[it->second].count;
    return true;
}

std::vector<TestFinding> FindingList::take() {
    index_.clear();
    return std::move(order_);
}

Json result_json(size_t test, const TestResult& r) {
    Json findings = Json::array();
    for (const TestFinding& f : r.findings)
        findings.push_back({{"level", f.level == TestFinding::error ? "error" : "warning"},
                            {"fault", fault_name(f.fault)},
                            {"text", valid_utf8(f.text)},
                            {"input", valid_utf8(f.input)},
                            {"count", f.count}});
    return {{"test", test}, {"inputs", r.inputs}, {"calls", r.calls}, {"seconds", r.seconds}, {"findings", findings}};
}

bool result_from_json(const std::string& line, size_t& test, TestResult& r) {
    Json doc = Json::parse(line, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return false;
    try {
        test = doc.at("test").get<size_t>();
        r.inputs = doc.at("inputs").get<uint64_t>();
        r.calls = doc.at("calls").get<uint64_t>();
        r.seconds = doc.at("seconds").get<double>();
        for (const Json& f : doc.at("findings")) {
            TestFinding finding;
            finding.level = f.at("level").get<std::string>() == "warning" ? TestFinding::warning : TestFinding::error;
            if (!fault_from_name(f.at("fault").get<std::string>(), finding.fault)) return false;
            finding.text = f.at("text").get<std::string>();
            finding.input = f.at("input").get<std::string>();
            finding.count = f.at("count").get<uint64_t>();
            r.findings.push_back(std::move(finding));
        }
    } catch (const Json::exception&) {
        return false;
    }
    return true;
}

}  // namespace panelhost
