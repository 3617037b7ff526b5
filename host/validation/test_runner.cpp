#include "host/validation/test_runner.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>

#include "host/module_call.h"
#include "host/base/report.h"

namespace panelhost {

namespace {

// A routine whose result the host shows: a needle's (axis 0) or a moving
// image's x (1) or y (2) routine.
struct RoutineOutput {
    size_t element;
    int axis;
};

std::vector<RoutineOutput> outputs_of(const GaugeModel& g) {
    std::vector<RoutineOutput> outputs;
    for (size_t i = 0; i < g.elements.size(); ++i) {
        const ElementModel& e = g.elements[i];
        if (e.kind == stored::needle && e.needle.routine) outputs.push_back({i, 0});
        if (e.kind == stored::moving_image && e.moving.x_routine) outputs.push_back({i, 1});
        if (e.kind == stored::moving_image && e.moving.y_routine) outputs.push_back({i, 2});
    }
    return outputs;
}

double output_value(const Host& host, const GaugeModel& g, const RoutineOutput& o) {
    const ElementState& s = host.state(g, o.element);
    return o.axis == 0 ? s.result : o.axis == 1 ? s.result_x : s.result_y;
}

// "the y routine of element 3 (moving image, bitmap 150, child 1 of element 1)"
std::string output_name(const GaugeModel& g, const RoutineOutput& o) {
    const char* routine = o.axis == 0 ? "update routine" : o.axis == 1 ? "x routine" : "y routine";
    return format("%s of %s", routine, g.elements[o.element].name.c_str());
}

uint64_t bits_of(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Where a result must lie, and how a report says it.
struct Span {
    bool bounded = false;
    double low = 0, high = 0;
    std::string text;  // "its y-axis range 0 to 100"
};

Span span_of(const ElementModel& e, int axis) {
    Span s;
    if (axis == 0) {
        if (e.calibration.empty()) return s;
        s.low = s.high = e.calibration.front().value;
        for (const CalibrationPoint& p : e.calibration) {
            s.low = std::min(s.low, p.value);
            s.high = std::max(s.high, p.value);
        }
        s.text = format("its calibration table's span %s to %s", shortest_text(s.low).c_str(),
                        shortest_text(s.high).c_str());
    } else {
        double a = axis == 1 ? e.moving.x_min : e.moving.y_min, b = axis == 1 ? e.moving.x_max : e.moving.y_max;
        s.low = std::min(a, b);
        s.high = std::max(a, b);
        s.text = format("its %s-axis range %s to %s", axis == 1 ? "x" : "y", shortest_text(s.low).c_str(),
                        shortest_text(s.high).c_str());
    }
    s.bounded = true;
    return s;
}

// Values that matter to a gauge's results: calibration points, axis ends.
std::vector<double> notable_values(const GaugeModel& g) {
    std::vector<double> notable;
    for (const ElementModel& e : g.elements) {
        for (const CalibrationPoint& p : e.calibration) notable.push_back(p.value);
        if (e.kind == stored::moving_image)
            for (double v : {e.moving.x_min, e.moving.x_max, e.moving.y_min, e.moving.y_max})
                if (v != 0) notable.push_back(v);
    }
    std::sort(notable.begin(), notable.end());
    notable.erase(std::unique(notable.begin(), notable.end()), notable.end());
    return notable;
}

std::vector<uint32_t> own_tokens(const ElementModel& e) {
    std::vector<uint32_t> tokens;
    auto add = [&tokens](uint32_t id) {
        if (id && std::find(tokens.begin(), tokens.end(), id) == tokens.end()) tokens.push_back(id);
    };
    if (e.kind == stored::needle) add(e.needle.variable.id);
    if (e.kind == stored::moving_image) {
        add(e.moving.x_variable.id);
        add(e.moving.y_variable.id);
    }
    if (e.kind == stored::icon) add(e.icon.variable.id);
    return tokens;
}

// The tokens given, then those the gauge read while `update` ran, as inputs
// (no more than a sample holds).
template <typename Update>
std::vector<InputToken> variables_read(Host& host, const GaugeModel& g, std::vector<uint32_t> tokens, Update update) {
    host.variables.set_previews(1);
    host.tokens_read[&g].clear();
    update();
    for (uint32_t t : host.tokens_read[&g])
        if (std::find(tokens.begin(), tokens.end(), t) == tokens.end()) tokens.push_back(t);
    std::vector<InputToken> inputs;
    for (uint32_t t : tokens)
        if (inputs.size() < Sample::max_values) inputs.push_back(input_token(t));
    return inputs;
}

// Edges of every token, but only every 61st 16-bit word, and random ones:
// for the tests that go over the same inputs several times.
std::vector<Sample> repeat_samples(const std::vector<InputToken>& tokens, const std::vector<double>& notable,
                                   size_t random_count, InputRandom& random) {
    std::vector<Sample> samples;
    for (const Sample& s : edge_samples(tokens, notable, false)) {
        bool kept = true;
        for (uint32_t i = 0; i < s.count; ++i) {
            const InputValue& v = s.values[i];
            if (v.word && v.bits < 0x10000 && v.bits % 61 != 0) kept = false;
        }
        if (kept) samples.push_back(s);
    }
    add_random_samples(samples, tokens, notable, random_count, random);
    return samples;
}

// Notes on the board where an access violation went, for the process
// reading it once this one has ended; the host's own handler, after this
// one, then reports the crash and ends the process.
RunBoard* fault_board = nullptr;

LONG CALLBACK note_access_fault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& r = *info->ExceptionRecord;
    if (fault_board && r.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r.NumberParameters >= 2) {
        fault_board->access_fault = uint32_t(r.ExceptionInformation[0]) + 1;
        fault_board->fault_address = uint32_t(r.ExceptionInformation[1]);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void set_x87_control_word(uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }
uint16_t x87_control_word() {
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

}  // namespace

struct TestRunner::Loaded {
    std::unique_ptr<Host> host;
    std::unique_ptr<CallChecks> checks;
};

TestRunner::TestRunner(const ValidationSettings& settings, const std::vector<PlannedTest>& plan, RunBoard& board)
    : settings_(settings), plan_(plan), effort_(effort_at(settings.strictness)), board_(board) {}

TestResult TestRunner::run(size_t index) {
    const PlannedTest& test = plan_[index];
    board_.running = uint32_t(index + 1);
    result_ = {};
    auto start = std::chrono::steady_clock::now();
    switch (test.kind) {
        case TestKind::lifecycle: lifecycle(test); break;
        case TestKind::results: results(test); break;
        case TestKind::repeatable: repeatable(test); break;
        case TestKind::install_and_kill: install_and_kill(test); break;
        case TestKind::caller_modes: caller_modes(test); break;
        case TestKind::load_and_unload: load_and_unload(test); break;
    }
    result_.findings = findings_.take();
    result_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return std::move(result_);
}

void TestRunner::stage(const std::string& text) {
    board_.has_sample = 0;
    size_t n = std::min(text.size(), sizeof board_.stage - 1);
    std::memcpy(board_.stage, text.data(), n);
    board_.stage[n] = 0;
    ++board_.progress;
}

void TestRunner::trying(const Sample& sample) {
    board_.sample = sample;
    board_.has_sample = 1;
    ++board_.progress;
}

std::string TestRunner::current_input() const {
    return board_.has_sample ? sample_text(board_.sample) : "during " + std::string(board_.stage);
}

void TestRunner::host_warnings(Host& host) {
    for (const std::string& w : host.warnings) findings_.add(TestFinding::error, Fault::host_services, w, w, "");
    host.warnings.clear();
}

std::vector<Sample> TestRunner::gauge_samples(Host& host, const GaugeModel& g, InputRandom& random) {
    stage("install");
    host.install(g);
    stage("finding the variables it reads");
    std::vector<InputToken> tokens = variables_read(host, g, {}, [&] { host.update(g); });
    return repeat_samples(tokens, notable_values(g), effort_.repeat_inputs, random);
}

TestRunner::Results TestRunner::pass(Host& host, const GaugeModel& g, const std::vector<Sample>& samples,
                                     const std::vector<size_t>& order, uint16_t control_word) {
    const std::vector<RoutineOutput> outputs = outputs_of(g);
    const uint16_t saved = x87_control_word();
    Results results(samples.size());
    for (size_t i : order) {
        trying(samples[i]);
        samples[i].apply(host.variables);
        if (control_word) set_x87_control_word(control_word);
        host.update(g);
        if (control_word) set_x87_control_word(saved);
        for (const RoutineOutput& o : outputs) results[i].push_back(bits_of(output_value(host, g, o)));
    }
    return results;
}

void TestRunner::differences(const GaugeModel& g, const std::vector<Sample>& samples, const Results& first,
                             const Results& later, TestFinding::Level level, Fault fault, const std::string& first_how,
                             const std::string& later_how) {
    const std::vector<RoutineOutput> outputs = outputs_of(g);
    for (size_t o = 0; o < outputs.size(); ++o)
        for (size_t i = 0; i < samples.size(); ++i) {
            if (first[i][o] == later[i][o]) continue;
            std::string place = std::to_string(o) + later_how;
            if (findings_.count_again(fault, place)) continue;
            double was, now;
            std::memcpy(&was, &first[i][o], sizeof was);
            std::memcpy(&now, &later[i][o], sizeof now);
            findings_.add(level, fault, place,
                          format("the %s returned %s %s and %s %s", output_name(g, outputs[o]).c_str(),
                                 shortest_text(was).c_str(), first_how.c_str(), shortest_text(now).c_str(),
                                 later_how.c_str()),
                          sample_text(samples[i]));
        }
}

void TestRunner::handle_growth(unsigned long first, unsigned long last, int cycles, const std::string& over) {
    if (cycles > 2 && last >= first + unsigned(cycles - 1))
        findings_.add(TestFinding::warning, Fault::handle_leak, "handles",
                      format("the process's handles grew from %lu to %lu over %d %s", first, last, cycles - 1,
                             over.c_str()),
                      "");
}

std::unique_ptr<TestRunner::Loaded> TestRunner::load(int gauge) {
    stage("loading the module");
    Report report;
    auto loaded = std::make_unique<Loaded>();
    loaded->host = Host::open(settings_.module, report);
    if (!loaded->host) {
        std::string why;
        for (const Finding& f : report.findings)
            if (f.level == Finding::Error) why += (why.empty() ? "" : "; ") + f.text;
        findings_.add(TestFinding::error, Fault::not_loaded, "load", "the module could not be loaded: " + why, "");
        return nullptr;
    }
    loaded->checks = std::make_unique<CallChecks>(*loaded->host, gauge, findings_, [this] { return current_input(); });
    board_.module_base = GaugeModule::address_of(loaded->host->module().handle());
    // Put in front of the host's crash handler, which is in place once a module has loaded.
    if (!fault_board) {
        fault_board = &board_;
        AddVectoredExceptionHandler(1, note_access_fault);
    }
    return loaded;
}

void TestRunner::close(std::unique_ptr<Loaded>& loaded) {
    loaded->checks->check_whole_image();
    stage("killing its gauges and unloading the module");
    loaded->host.reset();
    board_.module_base = 0;
    result_.calls += loaded->checks->calls();
    loaded.reset();
}

void TestRunner::lifecycle(const PlannedTest& test) {
    std::unique_ptr<Loaded> loaded = load(test.gauge);
    if (!loaded) return;
    Host& host = *loaded->host;
    const GaugeModel& g = host.gauges()[size_t(test.gauge)];
    stage("install: query, install and initialize routines, each between its callback codes");
    host.install(g);
    for (int reading = 0; reading < 3; ++reading) {
        stage(format("update and draw at preview reading %d", reading + 1));
        host.variables.set_previews(reading);
        host.update(g);
        if (!host.state(g, 0).settled)
            findings_.add(TestFinding::warning, Fault::host_services, "no update",
                          format("the update routine of \"%s\" did not update its element tree", g.name.c_str()), "");
        host.draw(g);
        ++result_.inputs;
    }
    if (effort_.unknown_callback_codes && g.header.callback) {
        // Codes beyond the documented 0 to 13: a panel system may send them.
        const int32_t codes[] = {14, 15, 16, 17, 18, 19, 20, 31, 32, 100, 255, INT32_MAX, -1, INT32_MIN};
        const std::string label = format("gauge callback of \"%s\"", g.name.c_str());
        for (int32_t code : codes)
            for (uint32_t extra : {0u, 0xFFFFFFFFu}) {
                stage(format("the gauge callback given code %d and extra data 0x%08X", int(code), unsigned(extra)));
                uint32_t args[3] = {g.address, uint32_t(code), extra};
                call_module(label.c_str(), reinterpret_cast<const void*>(uintptr_t(g.header.callback)), args, 3);
                ++result_.inputs;
            }
    }
    stage("kill routine between its callback codes");
    host.kill(g);
    if (host.installed(g))
        findings_.add(TestFinding::warning, Fault::host_services, "no kill",
                      format("the kill routine of \"%s\" left its element tree installed", g.name.c_str()), "");
    host_warnings(host);
    close(loaded);
}

void TestRunner::results(const PlannedTest& test) {
    std::unique_ptr<Loaded> loaded = load(test.gauge);
    if (!loaded) return;
    Host& host = *loaded->host;
    const GaugeModel& g = host.gauges()[size_t(test.gauge)];
    const size_t element = size_t(test.element);
    const ElementModel& e = g.elements[element];
    stage("install");
    host.install(g);
    stage("finding the variables its routines read");
    std::vector<InputToken> tokens =
        variables_read(host, g, own_tokens(e), [&] { host.update_element_alone(g, element); });
    std::vector<double> notable = notable_values(g);
    std::vector<Sample> samples = edge_samples(tokens, notable, effort_.variable_pairs);
    InputRandom random(settings_.seed, test.name);
    add_random_samples(samples, tokens, notable, effort_.random_inputs, random);

    std::vector<RoutineOutput> outputs;
    for (const RoutineOutput& o : outputs_of(g))
        if (o.element == element) outputs.push_back(o);
    std::vector<Span> spans;
    for (const RoutineOutput& o : outputs) spans.push_back(span_of(e, o.axis));
    stage("edge and random inputs");
    for (const Sample& sample : samples) {
        trying(sample);
        sample.apply(host.variables);
        host.update_element_alone(g, element);
        for (size_t i = 0; i < outputs.size(); ++i) {
            double value = output_value(host, g, outputs[i]);
            const Span& span = spans[i];
            bool finite = std::isfinite(value);
            if (finite && (!span.bounded || (value >= span.low && value <= span.high))) continue;
            Fault fault = finite ? Fault::out_of_range : Fault::not_finite;
            std::string place = std::to_string(outputs[i].axis);
            if (findings_.count_again(fault, place)) continue;
            std::string what = output_name(g, outputs[i]);
            std::string text =
                finite ? format("the %s returned %s, outside %s", what.c_str(), shortest_text(value).c_str(),
                                span.text.c_str())
                       : format("the %s returned %s, which is no %s", what.c_str(), shortest_text(value).c_str(),
                                span.bounded ? "reading the host can show" : "finite angle");
            findings_.add(TestFinding::error, fault, place, text, sample_text(sample));
        }
    }
    result_.inputs = samples.size();
    close(loaded);
}

void TestRunner::repeatable(const PlannedTest& test) {
    std::unique_ptr<Loaded> loaded = load(test.gauge);
    if (!loaded) return;
    Host* host = loaded->host.get();
    const GaugeModel* g = &host->gauges()[size_t(test.gauge)];
    InputRandom random(settings_.seed, test.name);
    const std::vector<Sample> samples = gauge_samples(*host, *g, random);
    std::vector<size_t> in_order(samples.size()), shuffled;
    for (size_t i = 0; i < in_order.size(); ++i) in_order[i] = i;
    shuffled = in_order;
    for (size_t i = shuffled.size(); i > 1; --i) std::swap(shuffled[i - 1], shuffled[random.below(i)]);

    stage("first pass");
    const Results first = pass(*host, *g, samples, in_order);
    struct Later {
        const char* how;
        Results results;
    };
    std::vector<Later> later;
    stage("second pass, the same inputs in the same order");
    later.push_back({"in a second pass over the same inputs in the same order", pass(*host, *g, samples, in_order)});
    stage("third pass, the same inputs in another order");
    later.push_back({"when the same inputs came in another order", pass(*host, *g, samples, shuffled)});
    stage("kill and install again");
    host->kill(*g);
    host->install(*g);
    stage("fourth pass, after a kill and an install");
    later.push_back({"after a kill and a new install", pass(*host, *g, samples, in_order)});
    host_warnings(*host);
    close(loaded);
    loaded = load(test.gauge);
    if (!loaded) return;
    host = loaded->host.get();
    g = &host->gauges()[size_t(test.gauge)];
    stage("install in the reloaded module");
    host->install(*g);
    stage("fifth pass, after unloading and loading the module again");
    later.push_back({"after the module was unloaded and loaded again", pass(*host, *g, samples, in_order)});
    for (const Later& l : later)
        differences(*g, samples, first, l.results, TestFinding::error, Fault::not_repeatable, "in the first pass",
                    l.how);
    result_.inputs = samples.size() * (later.size() + 1);
    host_warnings(*host);
    close(loaded);
}

void TestRunner::install_and_kill(const PlannedTest& test) {
    std::unique_ptr<Loaded> loaded = load(test.gauge);
    if (!loaded) return;
    Host& host = *loaded->host;
    const GaugeModel& g = host.gauges()[size_t(test.gauge)];
    const std::vector<RoutineOutput> outputs = outputs_of(g);
    host.variables.set_previews(1);
    std::vector<uint64_t> first;
    DWORD handles_first = 0, handles = 0;
    const int cycles = effort_.install_cycles;
    for (int c = 1; c <= cycles; ++c) {
        stage(format("install, update, draw and kill, cycle %d of %d", c, cycles));
        host.install(g);
        host.update(g);
        host.draw(g);
        std::vector<uint64_t> results;
        for (const RoutineOutput& o : outputs) results.push_back(bits_of(output_value(host, g, o)));
        host.kill(g);
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        if (c == 1) {
            first = results;
            handles_first = handles;
        } else if (results != first) {
            findings_.add(TestFinding::error, Fault::not_repeatable, "cycles",
                          format("the results of \"%s\" at the same readings changed after %d installs and kills",
                                 g.name.c_str(), c - 1),
                          "");
        }
        ++result_.inputs;
    }
    handle_growth(handles_first, handles, cycles, format("installs and kills of \"%s\"", g.name.c_str()));
    host_warnings(host);
    close(loaded);
}

void TestRunner::caller_modes(const PlannedTest& test) {
    std::unique_ptr<Loaded> loaded = load(test.gauge);
    if (!loaded) return;
    Host& host = *loaded->host;
    const GaugeModel& g = host.gauges()[size_t(test.gauge)];
    InputRandom random(settings_.seed, test.name);
    const std::vector<Sample> samples = gauge_samples(host, g, random);
    std::vector<size_t> in_order(samples.size());
    for (size_t i = 0; i < in_order.size(); ++i) in_order[i] = i;
    // Windows starts a program with 53-bit precision; Direct3D drops it to
    // 24 bits unless told not to; a program of its own may pick anything.
    constexpr uint16_t usual = 0x027F;
    const struct {
        uint16_t word;
        const char* what;
    } modes[] = {{0x007F, "24-bit precision"}, {0x037F, "64-bit precision"}, {0x0E7F, "rounding toward zero"},
                 {0x067F, "rounding down"}};
    stage("x87 control word 0x027F: 53-bit precision, rounding to nearest");
    const Results baseline = pass(host, g, samples, in_order, usual);
    for (const auto& mode : modes) {
        stage(format("x87 control word 0x%04X: %s", unsigned(mode.word), mode.what));
        differences(g, samples, baseline, pass(host, g, samples, in_order, mode.word), TestFinding::warning,
                    Fault::caller_modes, format("with the x87 control word at 0x%04X", unsigned(usual)),
                    format("at 0x%04X (%s): its results hang on the caller's x87 modes", unsigned(mode.word),
                           mode.what));
    }
    result_.inputs = samples.size() * (std::size(modes) + 1);
    host_warnings(host);
    close(loaded);
}

void TestRunner::load_and_unload(const PlannedTest&) {
    const int cycles = effort_.load_cycles;
    std::vector<uint64_t> first;
    DWORD handles_first = 0, handles = 0;
    for (int c = 1; c <= cycles; ++c) {
        std::unique_ptr<Loaded> loaded = load(-1);
        if (!loaded) return;
        Host& host = *loaded->host;
        stage(format("load, install, update, kill and unload, cycle %d of %d", c, cycles));
        host.variables.set_previews(1);
        std::vector<uint64_t> results;
        for (int index : settings_.gauges) {
            const GaugeModel& g = host.gauges()[size_t(index)];
            host.install(g);
            host.update(g);
            for (const RoutineOutput& o : outputs_of(g)) results.push_back(bits_of(output_value(host, g, o)));
        }
        host_warnings(host);
        close(loaded);
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        if (c == 1) {
            first = results;
            handles_first = handles;
        } else if (results != first) {
            findings_.add(TestFinding::error, Fault::not_repeatable, "cycles",
                          format("the results at the same readings changed after the module was loaded %d times", c),
                          "");
        }
        ++result_.inputs;
    }
    handle_growth(handles_first, handles, cycles, "loads and unloads");
}

}  // namespace panelhost
