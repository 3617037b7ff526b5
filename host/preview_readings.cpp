#include "host/preview_readings.h"

#include <algorithm>
#include <cmath>

#include "host/variable_catalogue.h"

namespace panelhost {

namespace {

struct Span {
    double low = INFINITY, high = -INFINITY;
    void take(double a, double b) {
        if (!std::isfinite(a) || !std::isfinite(b)) return;
        low = std::min({low, a, b});
        high = std::max({high, a, b});
    }
};

}  // namespace

std::map<uint32_t, std::array<double, 3>> preview_readings_from_records(const GaugeModel& gauge) {
    std::map<uint32_t, Span> spans;
    auto take = [&](uint32_t token, double a, double b) {
        if (token && !variable_info(token)) spans[token].take(a, b);
    };
    for (const ElementModel& e : gauge.elements) {
        if (e.kind == stored::needle) {
            if (e.calibration.empty()) take(e.needle.variable.id, 0, 360);
            else take(e.needle.variable.id, e.calibration.front().value, e.calibration.back().value);
        } else if (e.kind == stored::moving_image) {
            take(e.moving.x_variable.id, e.moving.x_min, e.moving.x_max);
            take(e.moving.y_variable.id, e.moving.y_min, e.moving.y_max);
        } else if (e.kind == stored::icon && !e.icons.empty()) {
            take(e.icon.variable.id, 0, double(e.icons.size() - 1));
        }
    }
    std::map<uint32_t, std::array<double, 3>> readings;
    for (const auto& [token, span] : spans) {
        if (span.low > span.high) continue;
        const double width = span.high - span.low;
        readings[token] = {span.low + width / 5, span.low + width / 2, span.low + width * 4 / 5};
    }
    return readings;
}

}  // namespace panelhost
