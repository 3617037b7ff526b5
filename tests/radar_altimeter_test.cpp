// "Radar_Altimeter": height above ground from the needle's altitude and a
// ground elevation the gauge binds and refreshes itself.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/single_needle_gauge.h"
#include "tests/support/x87_precision_24.h"

namespace {

constexpr uint32_t altitude_token = 73;
constexpr uint32_t ground_elevation_token = 2;

class RadarAltimeter : public SingleNeedleGauge {
protected:
    RadarAltimeter() : SingleNeedleGauge("Radar_Altimeter") {}

    void SetUp() override {
        SingleNeedleGauge::SetUp();
        if (HasFatalFailure()) return;
        ground = auxiliary_record();
        ASSERT_NE(ground, nullptr);
    }

    // Feet shown for an altitude (metres) over a ground elevation (1/256
    // metre), with one lookup of the ground elevation and nothing else.
    double height(double altitude, double elevation) {
        KeptAsStored kept_needle(needle), kept_ground(ground);
        RecordingPanels panels;
        panels.variable_value = [&](uint32_t token) {
            return token == ground_elevation_token ? elevation : -1e9;
        };
        double feet = convert(needle, altitude);
        EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{service_call("lookup_var", ground)}));
        return feet;
    }

    MODULE_VAR* ground = nullptr;
};

TEST_F(RadarAltimeter, RecordsAsTheHostReadsThem) {
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, gauge->gauge_callback)));
    EXPECT_NE(gauge->gauge_callback, corvalenx().gauge("Airspeed")->gauge_callback)
        << "a callback of its own, not the empty one";
    EXPECT_STREQ(gauge->gauge_name, "Radar_Altimeter");

    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 131, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, nullptr, 0x4001)));
    EXPECT_TRUE(stored_as(needle, RecordBytes(240)
                                      .element_header(1, 133, {139, 139}, {87, 11}, gauge, nullptr,
                                                      needle->header.failures, 0x4003)
                                      .word(60, altitude_token)
                                      .pointer(112, needle->nonlinearity)
                                      .word(116, 10)
                                      .pointer(224, reinterpret_cast<const void*>(needle->update))));
    EXPECT_NE(needle->update, nullptr);
    EXPECT_TRUE(stored_as(needle->nonlinearity,
                          calibration_points({{139, 8, 0}, {204, 25, 20}, {252, 74, 50},
                                              {270, 139, 100}, {251, 204, 200}, {204, 251, 500},
                                              {139, 270, 1000}, {25, 204, 2000}, {25, 73, 5000},
                                              {85, 18, 8000}})));
    EXPECT_TRUE(stored_as(needle->header.failures, failure_list({{6, 1}, {3, 1}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0xAA14)));

    // Stored with only its token set; the host fills in the rest.
    EXPECT_TRUE(stored_as(ground, RecordBytes(28).word(0, ground_elevation_token)));
    EXPECT_NE(static_cast<void*>(ground), static_cast<void*>(&needle->source_var));
}

TEST_F(RadarAltimeter, CallbackBindsTheGroundElevationOnPreInstallOnly) {
    for (int32_t code : {-1, 0, 1, 3, 4, 10, 0x7FFFFFFF, int32_t(0x80000002)}) {
        RecordingPanels panels;
        gauge->gauge_callback(gauge, code, 2);
        EXPECT_TRUE(panels.calls.empty()) << "service code " << code;
    }
    RecordingPanels panels;
    gauge->gauge_callback(gauge, PANEL_SERVICE_PRE_INSTALL, 0xFFFFFFFF);
    gauge->gauge_callback(gauge, PANEL_SERVICE_PRE_INSTALL, 0);
    EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{service_call("initialize_var", ground),
                                                      service_call("initialize_var", ground)}));
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
        {infinity, 0, 8000},
        {-infinity, 0, 0},
        {infinity, infinity, 0},  // not a number
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(height(c.altitude, c.elevation), c.feet))
            << c.altitude << " m over " << c.elevation << "/256 m";
    }
}

TEST_F(RadarAltimeter, GroundElevationIsRefreshedForEveryReading) {
    KeptAsStored kept_needle(needle), kept_ground(ground);
    double elevation = 0;
    RecordingPanels panels;
    panels.variable_value = [&](uint32_t token) { return token == ground_elevation_token ? elevation : -1e9; };
    struct Reading {
        double elevation, feet;
    } readings[] = {{10240, 196.848}, {0, 328.08000000000004}, {25600, 0}, {10240, 196.848}};
    for (const Reading& r : readings) {
        elevation = r.elevation;
        ground->value.number = 1e6;  // whatever an earlier reading left
        EXPECT_TRUE(same_double(convert(needle, 100), r.feet)) << "ground " << r.elevation;
    }
    EXPECT_EQ(panels.calls, std::vector<ServiceCall>(4, service_call("lookup_var", ground)));
}

TEST_F(RadarAltimeter, AltitudeIsTakenBeforeTheGroundIsRefreshed) {
    KeptAsStored kept_needle(needle), kept_ground(ground);
    RecordingPanels panels;
    // A host whose lookup also moves the needle's own variable on.
    panels.variable_value = [&](uint32_t) {
        needle->source_var.value.number = 5000;
        return 10240.0;
    };
    EXPECT_TRUE(same_double(convert(needle, 100), 196.848));
}

TEST_F(RadarAltimeter, ResultsAreExactWithTheX87At24BitPrecision) {
    double feet[2];
    {
        X87PrecisionAt24Bits reduced;
        ASSERT_TRUE(X87PrecisionAt24Bits::in_effect());
        feet[0] = height(100, 10240);
        feet[1] = height(1449.408, 328057);
    }
    EXPECT_FALSE(X87PrecisionAt24Bits::in_effect());
    EXPECT_TRUE(same_double(feet[0], 196.848));
    EXPECT_TRUE(same_double(feet[1], 550.9622757749997));
}

}  // namespace
