// validate: a module's behaviour under edge and random inputs, each test in
// a child process, reported as a log, JSON or JUnit.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "host/commands/run_support.h"
#include "host/module_call.h"
#include "host/reader/check_module.h"
#include "host/validation/child_runs.h"
#include "host/validation/test_plan.h"

namespace panelhost {

namespace {

const char* level_name(TestFinding::Level level) { return level == TestFinding::error ? "error" : "warning"; }

// "Airspeed/element 2/results" -> "results"
std::string check_of(const PlannedTest& test) { return test.name.substr(test.name.rfind('/') + 1); }

// The finding as a log shows it, and as a JUnit failure carries it.
std::string finding_text(const TestFinding& f) {
    std::string text = format("%s, %s: %s", level_name(f.level), fault_name(f.fault), f.text.c_str());
    if (!f.input.empty()) text += "\n  input: " + f.input;
    if (f.count > 1) text += format("\n  seen %llu times", (unsigned long long)f.count);
    return text;
}

struct Totals {
    size_t failed = 0, warned = 0, errors = 0, warnings = 0;
};

bool fails(const TestResult& r, bool strict) {
    return r.count(TestFinding::error) || (strict && r.count(TestFinding::warning));
}

void print_test(const PlannedTest& test, const TestResult& r, bool strict) {
    const char* verdict = fails(r, strict) ? "FAIL" : r.findings.empty() ? "PASS" : "WARN";
    std::printf("%s  %s  (%llu inputs, %llu calls, %.2f s)\n", verdict, test.name.c_str(),
                (unsigned long long)r.inputs, (unsigned long long)r.calls, r.seconds);
    for (const TestFinding& f : r.findings) {
        std::string text = finding_text(f);
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 9) text.replace(at, 1, "\n        ");
        std::printf("      %s\n", text.c_str());
    }
    std::fflush(stdout);
}

Json test_json(const PlannedTest& test, const GaugeModel* gauge, const TestResult& r, bool strict) {
    Json findings = Json::array();
    for (const TestFinding& f : r.findings)
        findings.push_back({{"level", level_name(f.level)},
                            {"fault", fault_name(f.fault)},
                            {"text", valid_utf8(f.text)},
                            {"input", valid_utf8(f.input)},
                            {"count", f.count}});
    return {{"name", valid_utf8(test.name)},
            {"gauge", gauge ? Json(valid_utf8(gauge->name)) : Json(nullptr)},
            {"element", test.element >= 0 ? Json(test.element + 1) : Json(nullptr)},
            {"check", check_of(test)},
            {"passed", !fails(r, strict)},
            {"inputs", r.inputs},
            {"calls", r.calls},
            {"seconds", r.seconds},
            {"findings", findings}};
}

// MODULE's gauges by the names given (all when none), in table order;
// false with the unknown one printed.
bool pick_gauges(const ModuleModel& model, const std::vector<std::string>& names, std::vector<int>& picked) {
    if (names.empty())
        for (size_t g = 0; g < model.gauges.size(); ++g) picked.push_back(int(g));
    for (const std::string& name : names) {
        const GaugeModel* g = model.gauge(name);
        if (!g) {
            std::fprintf(stderr, "no gauge named \"%s\" in the module; it has:", name.c_str());
            for (const GaugeModel& each : model.gauges) std::fprintf(stderr, " \"%s\"", each.name.c_str());
            std::fprintf(stderr, "\n");
            return false;
        }
        int index = int(g - model.gauges.data());
        if (std::find(picked.begin(), picked.end(), index) == picked.end()) picked.push_back(index);
    }
    std::sort(picked.begin(), picked.end());  // in the module's own order
    return true;
}

ExitStatus validate(const Arguments& a) {
    const std::string& path = a.operands[0];
    const bool child = is_validation_child();
    if (!child && !readable_file(path, "module")) return ExitStatus::bad_input;
    Report report;
    // The file alone, as check reads it: none of its code runs in this process.
    CheckedModule checked = check_module_file(path, report);
    Output out(a.format);
    if (!checked.passed) {
        if (child) return ExitStatus::module_invalid;
        print_findings(report, out);
        std::fprintf(stderr, "%s: not usable (%zu error(s))\n", path.c_str(), report.count(Finding::Error));
        return ExitStatus::module_invalid;
    }
    ValidationSettings settings{path, {}, a.strictness, a.seed};
    if (!pick_gauges(checked.records, {a.operands.begin() + 1, a.operands.end()}, settings.gauges))
        return ExitStatus::bad_input;
    const std::vector<PlannedTest> plan = plan_tests(checked.records, settings);
    if (child) return run_as_child(settings, plan) ? ExitStatus::ok : ExitStatus::host_fault;

    for (const Finding& f : report.findings)
        if (f.level == Finding::Warning) out.warning(f.text);
    std::string again = "panelhost validate " + path;
    for (size_t named = 1; named < a.operands.size(); ++named) again += " \"" + a.operands[named] + "\"";
    again += format(" --strictness %d --seed %llu", a.strictness, (unsigned long long)a.seed);
    if (out.is_text()) {
        std::printf("validating %s: %zu gauge(s), strictness %d, seed %llu, %zu tests, each in a freshly loaded "
                    "module\n(the same inputs again: %s)\n",
                    path.c_str(), settings.gauges.size(), a.strictness, (unsigned long long)a.seed, plan.size(),
                    again.c_str());
        std::fflush(stdout);
    }

    auto started = std::chrono::steady_clock::now();
    std::vector<std::optional<TestResult>> results(plan.size());
    bool ran = run_in_children(plan.size(), module_call_timeout(), *checked.file, [&](size_t test, const TestResult& r) {
        results[test] = r;
        if (out.is_text()) print_test(plan[test], r, a.strict);
    });
    if (!ran) return ExitStatus::host_fault;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    Totals totals;
    for (const auto& r : results) {
        totals.failed += fails(*r, a.strict);
        totals.warned += !fails(*r, a.strict) && !r->findings.empty();
        totals.errors += r->count(TestFinding::error);
        totals.warnings += r->count(TestFinding::warning);
    }
    const bool passed = totals.failed == 0;
    auto gauge_of = [&](const PlannedTest& t) {
        return t.gauge >= 0 ? &checked.records.gauges[size_t(t.gauge)] : nullptr;
    };

    switch (a.format) {
        case Format::text:
            std::printf("%zu tests: %zu passed, %zu failed, %zu with warnings only; %zu error(s), %zu warning(s); "
                        "%.1f s\n%s: %s validation at strictness %d\n",
                        plan.size(), plan.size() - totals.failed - totals.warned, totals.failed, totals.warned,
                        totals.errors, totals.warnings, seconds, path.c_str(), passed ? "PASSED" : "FAILED",
                        a.strictness);
            break;
        case Format::json: {
            Json gauges = Json::array();
            for (int g : settings.gauges) gauges.push_back(valid_utf8(checked.records.gauges[size_t(g)].name));
            Json doc = {{"command", "validate"}, {"module", valid_utf8(path)}, {"strictness", a.strictness},
                        {"seed", a.seed},        {"strict", a.strict},         {"gauges", gauges},
                        {"passed", passed},      {"errors", totals.errors},    {"warnings_found", totals.warnings},
                        {"seconds", seconds},    {"tests", Json::array()}};
            for (size_t t = 0; t < plan.size(); ++t)
                doc["tests"].push_back(test_json(plan[t], gauge_of(plan[t]), *results[t], a.strict));
            out.print_json(doc);
            break;
        }
        case Format::junit: {
            JunitSuite suite{path, {}};
            for (size_t t = 0; t < plan.size(); ++t) {
                const GaugeModel* gauge = gauge_of(plan[t]);
                JunitCase c{plan[t].name, gauge ? "validate." + gauge->name : "validate.module"};
                for (const TestFinding& f : results[t]->findings) {
                    if (f.level == TestFinding::error || a.strict) c.failures.push_back(finding_text(f));
                    else c.output += finding_text(f) + "\n";
                }
                c.output += format("%llu inputs, %llu module calls, %.2f s",
                                   (unsigned long long)results[t]->inputs, (unsigned long long)results[t]->calls,
                                   results[t]->seconds);
                c.seconds = results[t]->seconds;
                suite.cases.push_back(std::move(c));
            }
            for (const std::string& w : out.warnings()) suite.cases.front().output += "\nwarning: " + w;
            std::fputs(junit_xml("panelhost validate", {&suite, 1}).c_str(), stdout);
            break;
        }
    }
    return passed ? ExitStatus::ok : ExitStatus::module_invalid;
}

}  // namespace

extern const Command validate_command = {
    .name = "validate",
    .operands = {"MODULE"},
    .more_operands = "GAUGE",
    .summary = "run the module's routines under edge and random inputs",
    .description =
        "Runs MODULE's gauges (all, or those named) through tests, each in a freshly loaded module in a process of "
        "its own, so that a crash or hang ends only its test: every conversion routine over edge inputs (signed "
        "zeros, infinities, not-a-numbers, denormals, huge values, calibration points and their neighbours, every "
        "16-bit word of a binary-coded-decimal variable) and seeded random ones, whose results must be finite and "
        "inside the axis range or calibration span; every module call must keep the callee-saved registers, the "
        "x87 control word and stack, MXCSR's control bits and the direction flag, and write nothing but host-owned "
        "fields of its own gauge's records; the same inputs must give the same results again, in another order, "
        "after a reinstall and after a reload; install and kill, load and unload, over and over. Exit status 0 "
        "when nothing is in error (with --strict, nor warned of), 2 otherwise.",
    .options = {{OptionId::strictness}, {OptionId::seed}, {OptionId::strict}},
    .formats = {Format::text, Format::json, Format::junit},
    .run = validate,
};

}  // namespace panelhost
