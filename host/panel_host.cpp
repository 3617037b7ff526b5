#include "host/panel_host.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/exit_status.h"
#include "module/records/panel_services.h"

namespace panelhost {

// ---------------------------------------------------------------------------
// The service table.

namespace {

Host* active_host = nullptr;

// The services run on the module's call, inside its guard; the host's own
// work in them is not the module's (HostWorkScope).
Host& host() {
    if (!active_host) stop(ExitStatus::service_misuse, "the module called a panel service while no gauge is running");
    return *active_host;
}

uint32_t address(const void* record) { return GaugeModule::address_of(record); }
const void* routine(uint32_t address) { return reinterpret_cast<const void*>(uintptr_t(address)); }

void __stdcall element_list_query(ELEMENT_HEADER* root) {
    HostWorkScope w;
    host().gauge_of_root(address(root), "element_list_query");
}
void __stdcall element_list_install(ELEMENT_HEADER* root, uint32_t) {
    HostWorkScope w;
    host().service_install(address(root));
}
void __stdcall element_list_initialize(ELEMENT_HEADER* root) {
    HostWorkScope w;
    host().service_initialize(address(root));
}
void __stdcall element_list_update(ELEMENT_HEADER* root) {
    HostWorkScope w;
    host().service_update(address(root));
}
void __stdcall element_list_generate(ELEMENT_HEADER* root, uint32_t) {
    HostWorkScope w;
    host().gauge_of_root(address(root), "element_list_generate");
}
void __stdcall element_list_plot(ELEMENT_HEADER* root) {
    HostWorkScope w;
    host().service_plot(address(root));
}
void __stdcall element_list_kill(ELEMENT_HEADER* root) {
    HostWorkScope w;
    host().service_kill(address(root));
}
void __stdcall initialize_var(MODULE_VAR* var) {
    HostWorkScope w;
    host().service_initialize_var(address(var));
}
void __stdcall lookup_var(MODULE_VAR* var) {
    HostWorkScope w;
    host().service_lookup_var(address(var));
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
    if (active_host) {
        report.error("another module is already running in this host");
        return nullptr;
    }
    std::unique_ptr<GaugeModule> module = GaugeModule::load(path, report);
    if (!module) return nullptr;
    std::unique_ptr<Host> host(new Host);
    const ModuleModel& records = module->records();
    host->gauges_ = records.gauges;
    for (const GaugeModel& g : host->gauges_)
        for (uint32_t root : g.roots) host->roots_[root] = &g;
    host->deinit_ = records.linkage_record.module_deinit;
    // Its pages were found writable after loading.
    module->live<stored::ImportEntry>(records.panels_entry)->pointer = GaugeModule::address_of(&service_table);
    host->module_ = std::move(module);
    active_host = host.get();
    if (uint32_t init = records.linkage_record.module_init) call_module("module-init routine", routine(init), nullptr, 0);
    return host;
}

Host::~Host() {
    for (const GaugeModel& g : gauges_)
        if (installed(g)) kill(g);
    if (deinit_) call_module("module-deinit routine", routine(deinit_), nullptr, 0);
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

void Host::gauge_routine(const GaugeModel& gauge, uint32_t routine_address, const char* name, Service pre,
                         const uint32_t* args, uint32_t count) {
    std::string label = format("gauge callback of \"%s\"", gauge.name.c_str());
    auto callback = [&](Service code) {
        if (!gauge.header.callback) return;
        uint32_t callback_args[3] = {gauge.address, uint32_t(code), 0};
        call_module(label.c_str(), routine(gauge.header.callback), callback_args, 3);
    };
    callback(pre);
    expected_gauge_ = &gauge;
    std::string what = format("%s routine of \"%s\"", name, gauge.name.c_str());
    call_module(what.c_str(), routine(routine_address), args, count);
    expected_gauge_ = nullptr;
    callback(Service(int32_t(pre) + 1));
}

void Host::install(const GaugeModel& gauge) {
    Instance& instance = instances_[&gauge];
    instance.elements.assign(gauge.elements.size(), {});
    const uint32_t* r = gauge.header.routines;
    gauge_routine(gauge, r[stored::query], "query", Service::pre_query);
    uint32_t resource_file = GaugeModule::address_of(module_->handle());
    gauge_routine(gauge, r[stored::install], "install", Service::pre_install, &resource_file, 1);
    gauge_routine(gauge, r[stored::initialize], "initialize", Service::pre_initialize);
    if (!instance.installed)
        warn_once(format("the install routine of \"%s\" did not install its element tree", gauge.name.c_str()));
}

void Host::update(const GaugeModel& gauge) {
    gauge_routine(gauge, gauge.header.routines[stored::update], "update", Service::pre_update);
}

void Host::update_element_alone(const GaugeModel& gauge, size_t element) {
    if (installed(gauge)) update_element(gauge, element, false);
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
    gauge_routine(gauge, gauge.header.routines[stored::generate], "generate", Service::pre_generate, &phase, 1);
    // The canvas still holds the last frame: the first plot replaces all of
    // it, and a draw routine that plots nothing leaves it clear.
    plot_target_ = &canvas;
    plot_target_unset_ = true;
    gauge_routine(gauge, gauge.header.routines[stored::draw], "draw", Service::pre_draw);
    plot_target_ = nullptr;
    if (plot_target_unset_) std::fill(canvas.pixels.begin(), canvas.pixels.end(), Rgba{});
}

void Host::kill(const GaugeModel& gauge) {
    gauge_routine(gauge, gauge.header.routines[stored::kill], "kill", Service::pre_kill);
}

const GaugeModel* Host::gauge_of_root(uint32_t root, const char* service) {
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

void Host::service_install(uint32_t root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_install");
    Instance& instance = instances_[&gauge];
    if (instance.elements.size() != gauge.elements.size()) instance.elements.assign(gauge.elements.size(), {});
    for (size_t i = 0; i < gauge.elements.size(); ++i) {
        const ElementModel& e = gauge.elements[i];
        instance.elements[i] = {};
        // The host's own fields: each calibration point's angle.
        if (e.kind == stored::needle && !e.calibration.empty()) {
            auto* table = module_->live<stored::CalibrationPoint>(e.needle.calibration);
            for (size_t p = 0; p < e.calibration.size(); ++p) table[p].angle = e.calibration[p].angle;
            if (host_writes)
                for (size_t p = 0; p < e.calibration.size(); ++p)
                    host_writes->push_back({address(&table[p].angle), uint32_t(sizeof table[p].angle)});
        }
    }
    instance.installed = true;
}

void Host::service_initialize(uint32_t root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_initialize");
    if (!installed(gauge)) return;
    // Elements start at rest: their readings for variables at zero.
    for (size_t i = 0; i < gauge.elements.size(); ++i) update_element(gauge, i, true);
}

void Host::service_update(uint32_t root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_update");
    if (!installed(gauge)) {
        warn_once(format("element_list_update on \"%s\", which is not installed", gauge.name.c_str()));
        return;
    }
    for (size_t i = 0; i < gauge.elements.size(); ++i) update_element(gauge, i, false);
}

void Host::service_plot(uint32_t root) {
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
    while (count < gauge.elements.size() && gauge.elements[count].kind == stored::static_image) ++count;
    bool same = cached.drawn && cached.positions.size() == count;
    for (size_t i = 0; same && i < count; ++i) {
        const stored::Point& now = module_->live<stored::ElementHeader>(gauge.elements[i].address)->position;
        same = cached.positions[i].x == now.x && cached.positions[i].y == now.y;
    }
    if (same) return cached.picture;
    cached.picture = Image(gauge.width, gauge.height);
    cached.positions.clear();
    cached.drawn = true;
    for (size_t i = 0; i < count; ++i) {
        cached.positions.push_back(module_->live<stored::ElementHeader>(gauge.elements[i].address)->position);
        draw_element(gauge, i, cached.picture);
    }
    return cached.picture;
}

const Coverage& Host::coverage(const Image& picture) const {
    auto it = coverages_.find(&picture);
    if (it == coverages_.end()) it = coverages_.emplace(&picture, Coverage(picture)).first;
    return it->second;
}

void Host::service_kill(uint32_t root) {
    const GaugeModel& gauge = *gauge_of_root(root, "element_list_kill");
    instances_[&gauge].installed = false;
}

// A variable record the module hands a service: the host writes it, so it
// must lie in pages the process may write.
uint32_t Host::module_variable(uint32_t var, const char* service) {
    Placement p = module_->image().place(var, sizeof(stored::ModuleVar), Access::write);
    if (!p) {
        std::string text = format("the module called %s with a variable record that %s", service,
                                  module_->image().explain(var, sizeof(stored::ModuleVar), p).c_str());
        stop(ExitStatus::service_misuse, text.c_str());
    }
    return var;
}

void Host::service_initialize_var(uint32_t var) {
    bound_variables_.insert(module_variable(var, "initialize_var"));
    refresh(var, false);
}

void Host::service_lookup_var(uint32_t var) {
    module_variable(var, "lookup_var");
    if (!bound_variables_.count(var))
        warn_once(format("lookup_var on variable %u at %s before any initialize_var on it",
                         unsigned(module_->live<stored::ModuleVar>(var)->id), module_->describe(var).c_str()));
    refresh(var, false);
}

void Host::refresh(uint32_t address, bool zeroed) {
    stored::ModuleVar& var = *module_->live<stored::ModuleVar>(address);
    if (updating_gauge_ && var.id) tokens_read[updating_gauge_].insert(var.id);
    if (host_writes) host_writes->push_back({address, uint32_t(sizeof var)});
    std::memcpy(var.previous, var.value, sizeof var.value);
    var.pointer = GaugeModule::address_of(variables.slot(var.id));
    var.type = Variables::is_bcd(var.id) ? 1 : 0;
    VariableValue value = zeroed ? VariableValue{} : variables.value(var.id);
    static_assert(sizeof value == sizeof var.value);
    std::memcpy(var.value, &value, sizeof var.value);
}

double Host::number(uint32_t variable) const {
    double value;
    std::memcpy(&value, module_->live<stored::ModuleVar>(variable)->value, sizeof value);
    return value;
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
    if (e.kind == stored::needle) return routine(e.needle.routine);
    if (e.kind != stored::moving_image) return nullptr;
    return routine(e.moving.y_routine ? e.moving.y_routine : e.moving.x_routine);
}

double Host::convert(const GaugeModel& gauge, size_t index) {
    const ElementModel& e = gauge.elements[index];
    uint32_t arg = e.address;
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
        for (const stored::FailureRecord& f : e.failures) {
            if (!failed_keys.count(f.key)) continue;
            frozen |= f.action == stored::fail_freeze;
            zeroed |= f.action == stored::fail_zero;
        }
    }
    // A frozen element keeps what it last showed.
    if (frozen) return;
    uint32_t arg = e.address;
    auto convert_with = [&](uint32_t routine_address, uint32_t variable) {
        return routine_address ? call_module_double(e.call_label.c_str(), routine(routine_address), &arg, 1)
                               : number(variable);
    };
    if (e.kind == stored::needle) {
        const stored::Needle& n = e.needle;
        uint32_t variable = e.field(offsetof(stored::Needle, variable));
        refresh(variable, zeroed || initial);
        double result = convert_with(n.routine, variable);
        s.result = result;
        double target = e.calibration.empty() ? result : calibrated_angle(e, result);
        if (!std::isfinite(target)) {
            warn_once(format("\"%s\" %s: angle %g is not a finite number; the needle stays where it was",
                             gauge.name.c_str(), e.name.c_str(), target));
            target = s.shown ? s.angle : 0;
        }
        int limit = n.rate_limit;
        if (limit > 0 && s.settled) target = s.angle + std::clamp(target - s.angle, -double(limit), double(limit));
        s.angle = target;
    } else if (e.kind == stored::moving_image) {
        const stored::MovingImage& m = e.moving;
        const Image& strip = e.picture->picture;
        const Image& window = e.window->picture;
        uint32_t x_variable = e.field(offsetof(stored::MovingImage, x_variable));
        uint32_t y_variable = e.field(offsetof(stored::MovingImage, y_variable));
        refresh(x_variable, zeroed || initial);
        refresh(y_variable, zeroed || initial);
        if (m.x_variable.id || m.x_routine) {
            s.result_x = convert_with(m.x_routine, x_variable);
            s.offset_x = travel(s.result_x, m.x_min, m.x_max, strip.width, window.width);
        }
        if (m.y_variable.id || m.y_routine) {
            s.result_y = convert_with(m.y_routine, y_variable);
            s.offset_y = travel(s.result_y, m.y_min, m.y_max, strip.height, window.height);
        }
    } else if (e.kind == stored::icon) {
        if (e.icon.variable.id) {
            uint32_t variable = e.field(offsetof(stored::Icon, variable));
            refresh(variable, zeroed || initial);
            double v = number(variable);
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
    // Read in place: the module's code may move its elements.
    const stored::ElementHeader* h = module_->live<stored::ElementHeader>(e.address);
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
