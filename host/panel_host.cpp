#include "host/panel_host.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/exit_status.h"
#include "module/records/panel_services.h"

extern "C" double panelhost_call_returning_double(const void* routine, const uint32_t* args,
                                                  uint32_t count, int32_t* imbalance);
extern "C" void panelhost_call_returning_nothing(const void* routine, const uint32_t* args,
                                                 uint32_t count, int32_t* imbalance);

namespace panelhost {

// ---------------------------------------------------------------------------
// Calls into the module, guarded.

namespace {

// What the module is doing now, for the crash handler and the watchdog: a
// text the caller keeps alive for the call (copying it would cost more than
// most conversion routines take). Atomic: the watchdog reads it from its own
// thread.
std::atomic<const char*> current_call{""};
std::atomic<DWORD> call_started{0};  // tick count when the call began; 0 when none
std::atomic<DWORD> call_timeout_ms{10000};
bool guard_installed = false;

[[noreturn]] void stop(ExitStatus status, const char* text) {
    std::fflush(stdout);
    std::fprintf(stderr, "panelhost: %s\n", text);
    std::fflush(stderr);
    // Not ExitProcess: the stuck call may hold the loader lock (a hanging
    // entry routine), and ending the process must not wait for it.
    TerminateProcess(GetCurrentProcess(), code(status));
    ExitProcess(code(status));
}

// A crash inside the module: what and where, for the watchdog to report.
std::atomic<const char*> crash_what{nullptr};
std::atomic<uintptr_t> crash_address{0};

// Runs on the crashed thread, possibly with almost no stack left (a routine
// that recursed without end): it only records the crash and waits, and the
// watchdog thread, on a stack of its own, reports it and ends the process.
LONG CALLBACK module_crashed(EXCEPTION_POINTERS* info) {
    if (!call_started.load()) return EXCEPTION_CONTINUE_SEARCH;
    const char* what = nullptr;
    switch (info->ExceptionRecord->ExceptionCode) {
        case EXCEPTION_ACCESS_VIOLATION: what = "an access violation"; break;
        case EXCEPTION_ILLEGAL_INSTRUCTION: what = "an illegal instruction"; break;
        case EXCEPTION_PRIV_INSTRUCTION: what = "a privileged instruction"; break;
        case EXCEPTION_INT_DIVIDE_BY_ZERO: what = "an integer division by zero"; break;
        case EXCEPTION_STACK_OVERFLOW: what = "a stack overflow"; break;
        default: return EXCEPTION_CONTINUE_SEARCH;
    }
    crash_address.store(uintptr_t(info->ExceptionRecord->ExceptionAddress));
    crash_what.store(what);
    for (;;) __asm__ volatile("pause");
}

std::atomic<bool> watchdog_running{false};

DWORD WINAPI watchdog(void*) {
    watchdog_running.store(true);
    for (;;) {
        Sleep(20);
        char text[700];
        if (const char* what = crash_what.load()) {
            std::snprintf(text, sizeof text, "the module crashed with %s at 0x%08lx in %s", what,
                          (unsigned long)crash_address.load(), current_call.load());
            stop(ExitStatus::module_crashed, text);
        }
        DWORD started = call_started.load();
        if (started && GetTickCount() - started > call_timeout_ms.load()) {
            std::snprintf(text, sizeof text, "the module's %s has not returned after %.1f s", current_call.load(),
                          call_timeout_ms.load() / 1000.0);
            stop(ExitStatus::module_hung, text);
        }
    }
}

void install_guard() {
    if (guard_installed) return;
    guard_installed = true;
    AddVectoredExceptionHandler(1, module_crashed);
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    // A new thread starts under the loader lock; were the first guarded
    // call the loading of a module whose entry routine hangs or crashes,
    // the watchdog would never start. Wait until it has.
    while (!watchdog_running.load()) Sleep(1);
}


void check_balance(const char* what, int32_t imbalance, uint32_t count) {
    if (imbalance == 0) return;
    char text[700];
    std::snprintf(text, sizeof text,
                  "the module's %s does not use the host calling convention: it %s %ld bytes of "
                  "stack where it should remove its %u argument word(s)",
                  what, imbalance < 0 ? "left" : "removed", (long)std::labs(imbalance), unsigned(count));
    stop(ExitStatus::calling_convention, text);
}

}  // namespace

ModuleCallScope::ModuleCallScope(const char* what) {
    install_guard();
    current_call = what;
    DWORD now = GetTickCount();
    call_started.store(now ? now : 1);
}

ModuleCallScope::~ModuleCallScope() { call_started.store(0); }

void set_module_call_timeout(double seconds) {
    // Past the largest count of milliseconds a DWORD holds, the conversion
    // would give 0 and every call would time out at once.
    call_timeout_ms.store(DWORD(std::clamp(seconds * 1000, 1.0, 4e9)));
}

double call_module_double(const char* what, const void* routine, const uint32_t* args, uint32_t count) {
    int32_t imbalance = 0;
    double result;
    {
        ModuleCallScope scope(what);
        result = panelhost_call_returning_double(routine, args, count, &imbalance);
    }
    check_balance(what, imbalance, count);
    return result;
}

void call_module(const char* what, const void* routine, const uint32_t* args, uint32_t count) {
    int32_t imbalance = 0;
    {
        ModuleCallScope scope(what);
        panelhost_call_returning_nothing(routine, args, count, &imbalance);
    }
    check_balance(what, imbalance, count);
}

// ---------------------------------------------------------------------------
// The service table.

namespace {

Host* active_host = nullptr;

// The services run on the module's call, inside a ModuleCallScope. A crash in the
// host's own work is not the module's, so the guard steps aside meanwhile;
// the module's call keeps its start time, so a routine that loops calling
// services still runs out of time.
struct HostWork {
    DWORD paused;
    const char* saved;
    HostWork() : paused(call_started.exchange(0)), saved(current_call.load()) {}
    ~HostWork() {
        current_call = saved;
        call_started.store(paused);
    }
};

Host& host() {
    if (!active_host) stop(ExitStatus::service_misuse, "the module called a panel service while no gauge is running");
    return *active_host;
}

void __stdcall element_list_query(ELEMENT_HEADER* root) {
    HostWork w;
    host().gauge_of_root(root, "element_list_query");
}
void __stdcall element_list_install(ELEMENT_HEADER* root, uint32_t) {
    HostWork w;
    host().service_install(root);
}
void __stdcall element_list_initialize(ELEMENT_HEADER* root) {
    HostWork w;
    host().service_initialize(root);
}
void __stdcall element_list_update(ELEMENT_HEADER* root) {
    HostWork w;
    host().service_update(root);
}
void __stdcall element_list_generate(ELEMENT_HEADER* root, uint32_t) {
    HostWork w;
    host().gauge_of_root(root, "element_list_generate");
}
void __stdcall element_list_plot(ELEMENT_HEADER* root) {
    HostWork w;
    host().service_plot(root);
}
void __stdcall element_list_kill(ELEMENT_HEADER* root) {
    HostWork w;
    host().service_kill(root);
}
void __stdcall initialize_var(MODULE_VAR* var) {
    HostWork w;
    host().service_initialize_var(var);
}
void __stdcall lookup_var(MODULE_VAR* var) {
    HostWork w;
    host().service_lookup_var(var);
}

// Any other slot: its arguments are unknown, so returning would leave the
// module's stack wrong. Name the slot and stop.
template <size_t Slot>
void __stdcall unprovided_service() {
    char text[200];
    std::snprintf(text, sizeof text,
                  "the module called panel service slot 0x%02X (entry %u of the table), which this "
                  "host does not provide",
                  unsigned(Slot * sizeof(void*)), unsigned(Slot));
    stop(ExitStatus::service_misuse, text);
}

// The whole table the host hands over is far larger than the named slots,
// so a stray call anywhere in it is caught.
constexpr size_t table_slots = 512;

union ServiceTable {
    void* slots[table_slots];
    PANELS panels;
};

template <size_t... Slot>
ServiceTable trapping_table(std::index_sequence<Slot...>) {
    return {.slots = {reinterpret_cast<void*>(&unprovided_service<Slot>)...}};
}

ServiceTable make_service_table() {
    ServiceTable table = trapping_table(std::make_index_sequence<table_slots>());
    PANELS& p = table.panels;
    p.element_list_query = element_list_query;
    p.element_list_install = element_list_install;
    p.element_list_initialize = element_list_initialize;
    p.element_list_update = element_list_update;
    p.element_list_generate = element_list_generate;
    p.element_list_plot = element_list_plot;
    p.element_list_kill = element_list_kill;
    p.initialize_var = initialize_var;
    p.lookup_var = lookup_var;
    return table;
}

ServiceTable service_table = make_service_table();

}  // namespace

// ---------------------------------------------------------------------------
// The host.

std::unique_ptr<Host> Host::open(const std::string& path, Report& report) {
    std::unique_ptr<GaugeModule> module = GaugeModule::load(path, report);
    if (!module) return nullptr;
    // ImportTable: (identifier, pointer) pairs ended by a pair of zeros; the
    // service table goes into the panels entry.
    GAUGESIMPORT* imports = module->import_table();
    GAUGESIMPORT* panels_entry = nullptr;
    for (int i = 0;; ++i) {
        if (!module->holds_writable(imports + i, sizeof *imports)) {
            report.error(format("ImportTable: entry %d is %s", i + 1,
                                module->holds(imports + i, sizeof *imports)
                                    ? "in read-only memory; the host writes its service table there"
                                    : "past the end of its section (no end entry of zeros?)"));
            return nullptr;
        }
        if (imports[i].id == 0 && imports[i].pointer == nullptr) break;
        if (i >= 32) {
            report.error("ImportTable: more than 32 entries (no end entry of zeros?)");
            return nullptr;
        }
        if (imports[i].id == IMPORT_PANELS && !panels_entry) panels_entry = &imports[i];
    }
    if (!panels_entry) {
        report.error(format("ImportTable: no entry with identifier 0x%02X for the panel-service table",
                            unsigned(IMPORT_PANELS)));
        return nullptr;
    }
    std::vector<GaugeModel> gauges = read_gauges(*module, report);
    if (report.has_errors()) return nullptr;
    if (active_host) {
        report.error("another module is already running in this host");
        return nullptr;
    }
    std::unique_ptr<Host> host(new Host);
    host->module_ = std::move(module);
    host->gauges_ = std::move(gauges);
    for (const GaugeModel& g : host->gauges_)
        for (ELEMENT_HEADER* root : g.roots) host->roots_[root] = &g;
    active_host = host.get();
    panels_entry->pointer = &service_table;
    auto* linkage = reinterpret_cast<GAUGESLINKAGE<0>*>(host->module_->linkage());
    host->deinit_ = linkage->module_deinit;
    if (linkage->module_init) call_module("module-init routine", (void*)linkage->module_init, nullptr, 0);
    return host;
}

Host::~Host() {
    for (const GaugeModel& g : gauges_)
        if (installed(g)) kill(g);
    if (deinit_) call_module("module-deinit routine", (void*)deinit_, nullptr, 0);
    active_host = nullptr;
}

const GaugeModel* Host::gauge(std::string_view name) const {
    for (const GaugeModel& g : gauges_)
        if (g.name == name) return &g;
    return nullptr;
}

bool Host::installed(const GaugeModel& gauge) const {
    auto it = instances_.find(&gauge);
    return it != instances_.end() && it->second.installed;
}

const ElementState& Host::state(const GaugeModel& gauge, size_t element) const {
    return instances_.at(&gauge).elements.at(element);
}

void Host::warn_once(const std::string& text) {
    if (warned_.insert(text).second) warnings.push_back(text);
}

void Host::gauge_routine(const GaugeModel& gauge, const void* routine, const char* name, Service pre,
                         const uint32_t* args, uint32_t count) {
    std::string label = format("gauge callback of \"%s\"", gauge.name.c_str());
    auto callback = [&](Service code) {
        if (!gauge.header->gauge_callback) return;
        uint32_t callback_args[3] = {uint32_t(uintptr_t(gauge.header)), uint32_t(code), 0};
        call_module(label.c_str(), (void*)gauge.header->gauge_callback, callback_args, 3);
    };
    callback(pre);
    expected_gauge_ = &gauge;
    std::string what = format("%s routine of \"%s\"", name, gauge.name.c_str());
    call_module(what.c_str(), routine, args, count);
    expected_gauge_ = nullptr;
    callback(Service(int32_t(pre) + 1));
}

void Host::install(const GaugeModel& gauge) {
    Instance& instance = instances_[&gauge];
    instance.elements.assign(gauge.elements.size(), {});
    const GaugeRoutines& r = gauge.header->routines;
    gauge_routine(gauge, (void*)r.query, "query", Service::pre_query);
    uint32_t resource_file = uint32_t(uintptr_t(module_->handle()));
    gauge_routine(gauge, (void*)r.install, "install", Service::pre_install, &resource_file, 1);
    gauge_routine(gauge, (void*)r.initialize, "initialize", Service::pre_initialize);
    if (!instance.installed)
        warn_once(format("the install routine of \"%s\" did not install its element tree", gauge.name.c_str()));
}

void Host::update(const GaugeModel& gauge) {
    gauge_routine(gauge, (void*)gauge.header->routines.update, "update", Service::pre_update);
}

Image Host::draw(const GaugeModel& gauge) {
    Image canvas;
    draw(gauge, canvas);
    return canvas;
}

void Host::draw(const GaugeModel& gauge, Image& canvas) {
    canvas.width = gauge.width;
    canvas.height = gauge.height;
    canvas.pixels.resize(size_t(gauge.width) * gauge.height);
    uint32_t phase = 0;
    gauge_routine(gauge, (void*)gauge.header->routines.generate, "generate", Service::pre_generate, &phase, 1);
    // The canvas still holds the last frame: the first plot replaces all of
    // it, and a draw routine that plots nothing leaves it clear.
    plot_target_ = &canvas;
    plot_target_unset_ = true;
    gauge_routine(gauge, (void*)gauge.header->routines.draw, "draw", Service::pre_draw);
    plot_target_ = nullptr;
    if (plot_target_unset_) std::fill(canvas.pixels.begin(), canvas.pixels.end(), Rgba{});
}

void Host::kill(const GaugeModel& gauge) {
    gauge_routine(gauge, (void*)gauge.header->routines.kill, "kill", Service::pre_kill);
}

const GaugeModel* Host::gauge_of_root(ELEMENT_HEADER* root, const char* service) {
    // An element's routine driving a tree would recurse without end (an
    // update runs the routine again) or change the tree under the update.
    if (updating_element_) {
        std::string text = format("the module called %s from inside the %s; element-list services "
                                  "cannot run within an element's own routine",
                                  service, updating_element_->call_label.c_str());
        stop(ExitStatus::service_misuse, text.c_str());
    }
    auto it = roots_.find(root);
    if (it == roots_.end()) {
        std::string text = format("the module called %s with %s, which is the root element of no "
                                  "gauge in its table",
                                  service, module_->describe(root).c_str());
        stop(ExitStatus::service_misuse, text.c_str());
    }
    if (expected_gauge_ && it->second != expected_gauge_)
        warn_once(format("a routine of \"%s\" passed %s the element tree of \"%s\"",
                         expected_gauge_->name.c_str(), service, it->second->name.c_str()));
    return it->second;
}

void Host::service_install(ELEMENT_HEADER* root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_install");
    Instance& instance = instances_[&gauge];
    if (instance.elements.size() != gauge.elements.size()) instance.elements.assign(gauge.elements.size(), {});
    for (size_t i = 0; i < gauge.elements.size(); ++i) {
        const ElementModel& e = gauge.elements[i];
        instance.elements[i] = {};
        // The host's own fields: each calibration point's angle.
        if (e.kind == ELEMENT_TYPE_NEEDLE) {
            for (size_t p = 0; p < e.calibration.size(); ++p)
                e.needle()->nonlinearity[p].angle = e.calibration[p].angle;
        }
    }
    instance.installed = true;
}

void Host::service_initialize(ELEMENT_HEADER* root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_initialize");
    if (!installed(gauge)) return;
    // Elements start at rest: their readings for variables at zero.
    for (size_t i = 0; i < gauge.elements.size(); ++i) update_element(gauge, i, true);
}

void Host::service_update(ELEMENT_HEADER* root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_update");
    if (!installed(gauge)) {
        warn_once(format("element_list_update on \"%s\", which is not installed", gauge.name.c_str()));
        return;
    }
    for (size_t i = 0; i < gauge.elements.size(); ++i) update_element(gauge, i, false);
}

void Host::service_plot(ELEMENT_HEADER* root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_plot");
    if (!plot_target_ || !installed(gauge)) return;
    Image& canvas = *plot_target_;
    size_t first = 0;
    if (plot_target_unset_) {
        plot_target_unset_ = false;
        // The background is what its elements draw on a clear canvas of the
        // face's size; a canvas of another size (a routine plotting some
        // other gauge's tree) is cleared and drawn on.
        Background& cached = instances_[&gauge].background;
        if (reuse_backgrounds && canvas.width == gauge.width && canvas.height == gauge.height) {
            canvas.pixels = background(gauge, cached).pixels;
            first = cached.positions.size();
        } else {
            std::fill(canvas.pixels.begin(), canvas.pixels.end(), Rgba{});
        }
    }
    for (size_t i = first; i < gauge.elements.size(); ++i) draw_element(gauge, i, canvas);
}

const Image& Host::background(const GaugeModel& gauge, Background& cached) const {
    // A static image draws its one picture wherever its record places it,
    // whatever the variables and failures: the leading run of them is the
    // background. Its record could still be moved by the module's code, so
    // where each stood is checked against where it stands now.
    size_t count = 0;
    while (count < gauge.elements.size() && gauge.elements[count].kind == ELEMENT_TYPE_STATIC_IMAGE) ++count;
    bool same = cached.drawn && cached.positions.size() == count;
    for (size_t i = 0; same && i < count; ++i) {
        const PIXPOINT& now = gauge.elements[i].record->position;
        same = cached.positions[i].x == now.x && cached.positions[i].y == now.y;
    }
    if (same) return cached.picture;
    cached.picture = Image(gauge.width, gauge.height);
    cached.positions.clear();
    cached.drawn = true;
    for (size_t i = 0; i < count; ++i) {
        cached.positions.push_back(gauge.elements[i].record->position);
        draw_element(gauge, i, cached.picture);
    }
    return cached.picture;
}

const Coverage& Host::coverage(const Image& picture) const {
    auto it = coverages_.find(&picture);
    if (it == coverages_.end()) it = coverages_.emplace(&picture, Coverage(picture)).first;
    return it->second;
}

void Host::service_kill(ELEMENT_HEADER* root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_kill");
    instances_[&gauge].installed = false;
}

MODULE_VAR& Host::module_variable(MODULE_VAR* var, const char* service) {
    if (!module_->holds_writable(var, sizeof *var)) {
        std::string text = format("the module called %s with %s, which is no writable variable record "
                                  "of the module",
                                  service, module_->describe(var).c_str());
        stop(ExitStatus::service_misuse, text.c_str());
    }
    return *var;
}

void Host::service_initialize_var(MODULE_VAR* var) {
    bound_variables_.insert(&module_variable(var, "initialize_var"));
    refresh(*var, false);
}

void Host::service_lookup_var(MODULE_VAR* var) {
    module_variable(var, "lookup_var");
    if (!bound_variables_.count(var))
        warn_once(format("lookup_var on variable %u at %s before any initialize_var on it",
                         unsigned(var->id), module_->describe(var).c_str()));
    refresh(*var, false);
}

void Host::refresh(MODULE_VAR& var, bool zeroed) {
    if (updating_gauge_ && var.id) tokens_read[updating_gauge_].insert(var.id);
    var.previous = var.value;
    var.var_ptr = variables.slot(var.id);
    var.var_type = Variables::is_bcd(var.id) ? 1 : 0;
    var.value = zeroed ? VariableValue{} : variables.value(var.id);
}

double Host::calibrated_angle(const ElementModel& needle, double value) {
    const std::vector<CalibrationPoint>& p = needle.calibration;
    double first = p.front().angle;
    bool rising = p.back().value > p.front().value;
    auto before = [rising](double a, double b) { return rising ? a <= b : a >= b; };
    if (std::isnan(value) || before(value, p.front().value)) return first;
    if (before(p.back().value, value)) return first + p.back().sweep;
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        if (before(value, p[i + 1].value)) {
            double t = (value - p[i].value) / (p[i + 1].value - p[i].value);
            return first + p[i].sweep + t * (p[i + 1].sweep - p[i].sweep);
        }
    }
    return first + p.back().sweep;
}

double Host::travel(double value, double min, double max, int image_extent, int window_extent) {
    double t = (value - min) / (max - min);
    if (std::isnan(t)) t = 0;
    return std::clamp(t, 0.0, 1.0) * (image_extent - window_extent);
}

const void* Host::conversion_routine(const ElementModel& e) {
    if (e.kind == ELEMENT_TYPE_NEEDLE) return (void*)e.needle()->update;
    if (e.kind != ELEMENT_TYPE_MOVING_IMAGE) return nullptr;
    return e.moving()->update_y ? (void*)e.moving()->update_y : (void*)e.moving()->update_x;
}

double Host::convert(const GaugeModel& gauge, size_t index) {
    const ElementModel& e = gauge.elements[index];
    uint32_t arg = uint32_t(uintptr_t(e.record));
    return call_module_double(e.call_label.c_str(), conversion_routine(e), &arg, 1);
}

void Host::update_element(const GaugeModel& gauge, size_t index, bool initial) {
    const ElementModel& e = gauge.elements[index];
    ElementState& s = instances_[&gauge].elements[index];
    updating_gauge_ = &gauge;
    updating_element_ = &e;
    struct Done {
        Host& host;
        ~Done() {
            host.updating_gauge_ = nullptr;
            host.updating_element_ = nullptr;
        }
    } done{*this};
    bool frozen = false, zeroed = false;
    if (!initial) {
        for (const FAILURE_RECORD& f : e.failures) {
            if (!failed_keys.count(f.key)) continue;
            frozen |= f.action == FAIL_ACTION_FREEZE;
            zeroed |= f.action == FAIL_ACTION_ZERO;
        }
    }
    // A frozen element keeps what it last showed.
    if (frozen) return;
    uint32_t arg = uint32_t(uintptr_t(e.record));
    auto rest_or = [&](MODULE_VAR& var) { refresh(var, zeroed || initial); };
    if (e.kind == ELEMENT_TYPE_NEEDLE) {
        ELEMENT_NEEDLE* n = e.needle();
        rest_or(n->source_var);
        double result = n->update ? call_module_double(e.call_label.c_str(), (void*)n->update, &arg, 1)
                                  : n->source_var.value.number;
        s.result = result;
        double target = e.calibration.empty() ? result : calibrated_angle(e, result);
        if (!std::isfinite(target)) {
            warn_once(format("\"%s\" %s: angle %g is not a finite number; the needle stays where it was",
                             gauge.name.c_str(), e.name.c_str(), target));
            target = s.shown ? s.angle : 0;
        }
        int limit = n->max_degrees_per_tick;
        if (limit > 0 && s.settled) target = s.angle + std::clamp(target - s.angle, -double(limit), double(limit));
        s.angle = target;
    } else if (e.kind == ELEMENT_TYPE_MOVING_IMAGE) {
        ELEMENT_MOVING_IMAGE* m = e.moving();
        const Image& strip = e.picture->picture;
        const Image& window = e.window->picture;
        rest_or(m->source_var_x);
        rest_or(m->source_var_y);
        if (m->source_var_x.id || m->update_x) {
            s.result_x = m->update_x ? call_module_double(e.call_label.c_str(), (void*)m->update_x, &arg, 1)
                                     : m->source_var_x.value.number;
            s.offset_x = travel(s.result_x, m->min_x, m->max_x, strip.width, window.width);
        }
        if (m->source_var_y.id || m->update_y) {
            s.result_y = m->update_y ? call_module_double(e.call_label.c_str(), (void*)m->update_y, &arg, 1)
                                     : m->source_var_y.value.number;
            s.offset_y = travel(s.result_y, m->min_y, m->max_y, strip.height, window.height);
        }
    } else if (e.kind == ELEMENT_TYPE_ICON) {
        ELEMENT_ICON* icon = e.icon();
        if (icon->source_var.id) {
            rest_or(icon->source_var);
            double v = icon->source_var.value.number;
            int last = int(e.icons.size()) - 1;
            s.icon_image = std::isnan(v) ? 0 : int(std::clamp(std::floor(v), 0.0, double(last)));
        }
    }
    s.shown = true;
    s.settled = !initial;
}

void Host::draw_element(const GaugeModel& gauge, size_t index, Image& canvas) const {
    const ElementModel& e = gauge.elements[index];
    const ElementState& s = instances_.at(&gauge).elements[index];
    const ELEMENT_HEADER* h = e.record;
    switch (e.kind) {
        case ELEMENT_TYPE_STATIC_IMAGE:
        case ELEMENT_TYPE_ICON: {
            const Image& picture = e.kind == ELEMENT_TYPE_ICON ? e.icons[s.icon_image]->picture : e.picture->picture;
            blit(canvas, picture, coverage(picture), h->position.x, h->position.y);
            break;
        }
        case ELEMENT_TYPE_NEEDLE: {
            double angle = std::fmod(s.angle, 360.0);
            if (angle < 0) angle += 360;
            const Image& needle = e.picture->picture;
            draw_rotated(canvas, needle, coverage(needle), h->offset.x, h->offset.y, h->position.x, h->position.y,
                         angle);
            break;
        }
        case ELEMENT_TYPE_MOVING_IMAGE: {
            const Image& strip = e.picture->picture;
            const Image& window = e.window->picture;
            draw_through_window(canvas, strip, coverage(strip), window, coverage(window), h->position.x,
                                h->position.y, s.offset_x, s.offset_y);
            break;
        }
    }
}

MouseHit Host::mouse(const GaugeModel& gauge, int x, int y) const {
    MouseHit hit;
    auto inside = [x, y](const MouseArea& a) {
        return x >= a.x && y >= a.y && x < a.x + a.width && y < a.y + a.height;
    };
    for (const MouseArea& a : gauge.mouse_areas) {
        bool within = inside(a);
        for (int p = a.parent; within && p >= 0; p = gauge.mouse_areas[p].parent)
            within = inside(gauge.mouse_areas[p]);
        if (within && (!hit.area || a.depth > hit.area->depth)) hit.area = &a;
    }
    if (hit.area)
        for (int p = hit.area->parent; p >= 0; p = gauge.mouse_areas[p].parent)
            hit.enclosing.push_back(&gauge.mouse_areas[p]);
    return hit;
}

}  // namespace panelhost
