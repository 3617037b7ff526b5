// Preview readings for variables the catalogue does not know come from the
// records of the elements that read them, so a preview of any module moves
// every part: here the built module's gauges with their tokens renamed to
// ones the catalogue lacks.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host/preview_readings.h"
#include "host/reader/check_module.h"

namespace {

using namespace panelhost;

ModuleModel built_module() {
    std::ifstream in(PANELHOST_TEST_MODULES "/Corvalenx.gau", std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    Report report;
    CheckedModule checked = check_module_bytes(bytes, report);
    EXPECT_TRUE(checked.passed) << report.text();
    return checked.records;
}

const GaugeModel& gauge_named(const ModuleModel& module, const char* name) {
    const GaugeModel* g = module.gauge(name);
    if (!g) throw std::runtime_error(std::string("no gauge ") + name);
    return *g;
}

TEST(PreviewReadings, TokensTheCatalogueKnowsKeepItsReadings) {
    ModuleModel module = built_module();
    for (const GaugeModel& g : module.gauges) EXPECT_TRUE(preview_readings_from_records(g).empty()) << g.name;
}

TEST(PreviewReadings, UnknownTokensSpanTheirTablesAxesAndTurns) {
    ModuleModel module = built_module();
    // The airspeed needle's table runs from 0 to 400 knots.
    GaugeModel airspeed = gauge_named(module, "Airspeed");
    for (ElementModel& e : airspeed.elements)
        if (e.kind == stored::needle) e.needle.variable.id = 9001;
    auto readings = preview_readings_from_records(airspeed);
    ASSERT_EQ(readings.count(9001), 1u);
    EXPECT_EQ(readings[9001], (std::array<double, 3>{80, 200, 320}));

    // The tachometer: a needle turned by its result spans a full turn, the
    // drum its axis's 0 to 100; on one token, the two spans join.
    GaugeModel tachometer = gauge_named(module, "Engine_Tachometer");
    for (ElementModel& e : tachometer.elements) {
        if (e.kind == stored::needle) e.needle.variable.id = 9002;
        if (e.kind == stored::moving_image) e.moving.y_variable.id = 9003;
    }
    readings = preview_readings_from_records(tachometer);
    EXPECT_EQ(readings[9002], (std::array<double, 3>{72, 180, 288}));
    EXPECT_EQ(readings[9003], (std::array<double, 3>{20, 50, 80}));
    for (ElementModel& e : tachometer.elements) {
        if (e.kind == stored::needle) e.needle.variable.id = 9004;
        if (e.kind == stored::moving_image) e.moving.y_variable.id = 9004;
    }
    readings = preview_readings_from_records(tachometer);
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ(readings[9004], (std::array<double, 3>{72, 180, 288}));

    // A table may run downwards in value: its span is the same.
    GaugeModel labs = gauge_named(module, "LABS_Instrument");
    uint32_t token = 9100;
    std::vector<std::pair<double, double>> ends;
    for (ElementModel& e : labs.elements)
        if (e.kind == stored::needle && !e.calibration.empty()) {
            e.needle.variable.id = ++token;
            ends.push_back({e.calibration.front().value, e.calibration.back().value});
        }
    readings = preview_readings_from_records(labs);
    ASSERT_EQ(readings.size(), ends.size());
    for (size_t i = 0; i < ends.size(); ++i) {
        double low = std::min(ends[i].first, ends[i].second), high = std::max(ends[i].first, ends[i].second);
        EXPECT_DOUBLE_EQ(readings[9101 + i][0], low + (high - low) / 5);
        EXPECT_DOUBLE_EQ(readings[9101 + i][2], low + (high - low) * 4 / 5);
    }
}

}  // namespace
