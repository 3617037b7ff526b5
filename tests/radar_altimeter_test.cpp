// "Radar_Altimeter": height above ground from the needle's altitude and a
// ground elevation the gauge binds and refreshes itself.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/recording_panels.h"
#include "tests/support/single_needle_gauge.h"

namespace {

namespace layout = host_layout;

constexpr uint32_t ground_elevation_token = 2;

class RadarAltimeter : public SingleNeedleGauge {
protected:
    RadarAltimeter() : SingleNeedleGauge("Radar_Altimeter") {}

    void SetUp() override {
        SingleNeedleGauge::SetUp();
        if (HasFatalFailure()) return;
        ground = auxiliary_record();
        ASSERT_FALSE(ground.null()) << "the callback binds the ground elevation on pre-install";
    }

    // Feet shown for an altitude (metres) over a ground elevation (1/256
    // metre), with one lookup of the ground elevation and nothing else.
    double height(double altitude, double elevation) {
        KeptAsStored kept_needle(needle, layout::needle::size), kept_ground(ground, layout::variable::size);
        RecordingPanels panels;
        panels.variable_value = [&](uint32_t token) { return token == ground_elevation_token ? elevation : -1e9; };
        double feet = convert(needle, altitude);
        EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{service_call("lookup_var", ground.address())}));
        return feet;
    }

    Record ground;
};

TEST_F(RadarAltimeter, RecordsAsTheHostReadsThem) {
    const ExpectedRecord needle_record =
        element(layout::needle::size, layout::element::needle, 133, {139, 139}, {87, 11}, 0x4003, gauge)
            .points_to(layout::element::failures, failure_list({{6, 1}, {3, 1}}))
            .word(layout::needle::variable, 73)
            .points_to(layout::needle::table, calibration_points({{139, 8, 0},
                                                                  {204, 25, 20},
                                                                  {252, 74, 50},
                                                                  {270, 139, 100},
                                                                  {251, 204, 200},
                                                                  {204, 251, 500},
                                                                  {139, 270, 1000},
                                                                  {25, 204, 2000},
                                                                  {25, 73, 5000},
                                                                  {85, 18, 8000}}))
            .word(layout::needle::point_count, 10)
            .routine(layout::needle::routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 131, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::children, child_list({needle_record}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Radar_Altimeter", face_record, tooltip_only_mouse_areas(0xAA14))));

    // Stored with only its token set; the host fills in the rest.
    EXPECT_TRUE(
        stored_as(ground, ExpectedRecord(layout::variable::size).word(layout::variable::id, ground_elevation_token)));
}

TEST_F(RadarAltimeter, FeetAboveGroundLimitedToTheScale) {
    struct Case {
        double altitude, elevation, feet;
    } cases[] = {
        {100, 10240, 196.848},                       // 60 m up
        {1449.408, 328057, 550.9622757749997},       // ground off in metres, then to feet
        {0.5, 0, 1.6404},
        {2438.4296513045592, 0, 7999.999999999998},  // just inside the top
        {2438.42965130456, 0, 8000},                 // 8000.000000000001
        {3000, 0, 8000},                             // 9842.4
        {40, 10240, 0},                              // on the ground
        {39, 10240, 0},                              // below it
        {not_a_number, 0, 0},
        {100, not_a_number, 0},
        {infinity, infinity, 0},  // not a number
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(height(c.altitude, c.elevation), c.feet))
            << c.altitude << " m over " << c.elevation << "/256 m";
    }
}

TEST_F(RadarAltimeter, GroundElevationIsRefreshedForEveryReading) {
    KeptAsStored kept_needle(needle, layout::needle::size), kept_ground(ground, layout::variable::size);
    double elevation = 0;
    RecordingPanels panels;
    panels.variable_value = [&](uint32_t token) { return token == ground_elevation_token ? elevation : -1e9; };
    struct Reading {
        double elevation, feet;
    } readings[] = {{10240, 196.848}, {0, 328.08000000000004}, {25600, 0}, {10240, 196.848}};
    for (const Reading& r : readings) {
        elevation = r.elevation;
        ground.set_number(layout::variable::value, 1e6);  // whatever an earlier reading left
        EXPECT_TRUE(same_double(convert(needle, 100), r.feet)) << "ground " << r.elevation;
    }
    EXPECT_EQ(panels.calls, std::vector<ServiceCall>(4, service_call("lookup_var", ground.address())));
}

TEST_F(RadarAltimeter, AltitudeIsTakenBeforeTheGroundIsRefreshed) {
    KeptAsStored kept_needle(needle, layout::needle::size), kept_ground(ground, layout::variable::size);
    RecordingPanels panels;
    // A host whose lookup also moves the needle's own variable on.
    panels.variable_value = [&](uint32_t) {
        needle.set_number(layout::needle::variable + layout::variable::value, 5000);
        return 10240.0;
    };
    EXPECT_TRUE(same_double(convert(needle, 100), 196.848));
}

}  // namespace
