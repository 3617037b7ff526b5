// The stand-in panel system: it owns a loaded gauge module, hands it the
// service table, keeps the simulator variables, installs, updates and draws
// gauges, applies failures and answers the mouse.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/reader/gauge_model.h"
#include "host/gauge_module.h"
#include "host/module_call.h"
#include "host/variables.h"
#include "module/records/gauge_records.h"

namespace panelhost {

// Service codes the host gives a gauge callback, before and after each of
// the header's seven routines. Only pre-install is one gauges rely on.
enum class Service : int32_t {
    pre_query, post_query, pre_install, post_install, pre_initialize, post_initialize,
    pre_update, post_update, pre_generate, post_generate, pre_draw, post_draw, pre_kill, post_kill,
};
static_assert(int32_t(Service::pre_install) == PANEL_SERVICE_PRE_INSTALL);

// What an element shows now.
struct ElementState {
    bool shown = false;    // has shown a reading since install
    bool settled = false;  // has had its first update (the rate limit applies after it)
    double result = 0;     // a needle's routine result
    double angle = 0;      // a needle's angle, degrees clockwise from three o'clock, not wrapped
    double result_x = 0, result_y = 0;  // a moving image's axis results
    double offset_x = 0, offset_y = 0;  // pixels of the image left/above the window
    int icon_image = 0;
};

struct MouseHit {
    const MouseArea* area = nullptr;  // innermost area under the point; null if none
    std::vector<const MouseArea*> enclosing;  // its parents, innermost first
};

class Host {
public:
    // Checks the module file (as `check` does), loads it only if it passed,
    // reads and checks every record again in the loaded library, writes the
    // service table into ImportTable and calls the module-init routine.
    // Null, with errors in `report`, when the module cannot be used.
    static std::unique_ptr<Host> open(const std::string& path, Report& report);
    ~Host();  // kills installed gauges, calls module-deinit, unloads
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    GaugeModule& module() { return *module_; }
    const std::vector<GaugeModel>& gauges() const { return gauges_; }
    const GaugeModel* gauge(std::string_view name) const;

    Variables variables;
    std::set<uint32_t> failed_keys;  // failures in force (--fail)

    // The header's routines, each between its pre and post gauge-callback
    // codes, as the panel system runs a gauge.
    void install(const GaugeModel& gauge);
    void update(const GaugeModel& gauge);
    Image draw(const GaugeModel& gauge);
    // The same into `canvas`, resized to the face; its storage is reused, so
    // a run of frames does not allocate one picture each.
    void draw(const GaugeModel& gauge, Image& canvas);
    void kill(const GaugeModel& gauge);
    bool installed(const GaugeModel& gauge) const;
    // One element of an installed gauge updated alone, as element_list_update
    // updates each (validate drives each element's routines by themselves).
    void update_element_alone(const GaugeModel& gauge, size_t element);

    const ElementState& state(const GaugeModel& gauge, size_t element) const;
    MouseHit mouse(const GaugeModel& gauge, int x, int y) const;

    // The angle a calibrated needle shows for `value`, not wrapped: the
    // first point's angle plus the clockwise sweep to the value.
    static double calibrated_angle(const ElementModel& needle, double value);
    // Pixels of travel for an axis result (held at the range's ends).
    static double travel(double value, double min, double max, int image_extent, int window_extent);

    // The routine bench times for an element: a needle's, or a moving
    // image's y routine, else its x routine; null when it has none.
    static const void* conversion_routine(const ElementModel& element);
    // That routine, called the host's way (for bench).
    double convert(const GaugeModel& gauge, size_t element);

    // Called by the service table, with the records' addresses.
    void service_install(uint32_t root);
    void service_initialize(uint32_t root);
    void service_update(uint32_t root);
    void service_plot(uint32_t root);
    void service_kill(uint32_t root);
    void service_initialize_var(uint32_t var);
    void service_lookup_var(uint32_t var);
    const GaugeModel* gauge_of_root(uint32_t root, const char* service);

    // Draws start from a copy of each gauge's face (and whatever else is
    // drawn before its first moving part), drawn once; false composes every
    // element afresh each time (to compare the two).
    bool reuse_backgrounds = true;

    // Warnings found while running (for example a routine that forwards
    // another gauge's tree); printed by the command line.
    std::vector<std::string> warnings;

    // The variable tokens each gauge has read, its own and auxiliary ones.
    std::map<const GaugeModel*, std::set<uint32_t>> tokens_read;

    // While set, every range of the module's memory the host writes (a
    // variable record, a calibration angle) is added to it as address and
    // size: validate tells the module's own writes from the host's by it.
    std::vector<std::pair<uint32_t, uint32_t>>* host_writes = nullptr;

private:
    Host() = default;
    // The leading elements that look the same whatever the variables, drawn
    // on a clear canvas of the face's size.
    struct Background {
        Image picture;
        std::vector<stored::Point> positions;  // of those elements when drawn
        bool drawn = false;
    };
    struct Instance {
        bool installed = false;
        std::vector<ElementState> elements;
        Background background;
    };
    // Writes a variable record: the variable's value now (or 0).
    void refresh(uint32_t var, bool zeroed);
    double number(uint32_t var) const;  // its value, as a double
    uint32_t module_variable(uint32_t var, const char* service);
    void update_element(const GaugeModel& gauge, size_t index, bool initial);
    void draw_element(const GaugeModel& gauge, size_t index, Image& canvas) const;
    const Image& background(const GaugeModel& gauge, Background& cached) const;
    const Coverage& coverage(const Image& picture) const;
    void gauge_routine(const GaugeModel& gauge, uint32_t routine, const char* name, Service pre,
                       const uint32_t* args = nullptr, uint32_t count = 0);
    void warn_once(const std::string& text);

    std::unique_ptr<GaugeModule> module_;
    std::vector<GaugeModel> gauges_;
    std::map<const GaugeModel*, Instance> instances_;
    std::map<uint32_t, const GaugeModel*> roots_;
    std::set<uint32_t> bound_variables_;
    std::set<std::string> warned_;
    Image* plot_target_ = nullptr;
    bool plot_target_unset_ = false;  // nothing plotted on it yet in this draw
    mutable std::map<const Image*, Coverage> coverages_;  // of the module's pictures, which outlive it
    const GaugeModel* expected_gauge_ = nullptr;
    // The element being updated, while it is.
    const GaugeModel* updating_gauge_ = nullptr;
    const ElementModel* updating_element_ = nullptr;
    uint32_t deinit_ = 0;
};

}  // namespace panelhost
