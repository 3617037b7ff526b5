// "Manifold Pressure": one calibrated needle whose scale crosses twelve
// o'clock, reading pounds per square foot as inches of mercury.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/single_needle_gauge.h"

namespace {

class ManifoldPressure : public SingleNeedleGauge {
protected:
    ManifoldPressure() : SingleNeedleGauge("Manifold Pressure") {}
};

TEST_F(ManifoldPressure, RecordsAsTheHostReadsThem) {
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, corvalenx().gauge("Airspeed")->gauge_callback)));
    EXPECT_STREQ(gauge->gauge_name, "Manifold Pressure");

    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 105, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, nullptr, 0x4001)));
    EXPECT_TRUE(stored_as(needle, RecordBytes(240)
                                      .element_header(1, 107, {139, 139}, {54, 8}, gauge, nullptr,
                                                      needle->header.failures, 0x4003)
                                      .word(60, 391)
                                      .pointer(112, needle->nonlinearity)
                                      .word(116, 4)
                                      .word(120, 0)
                                      .pointer(224, reinterpret_cast<const void*>(needle->update))));
    EXPECT_NE(needle->update, nullptr);
    // Clockwise from 10 across twelve o'clock (30) round to 75, just short of 10.
    EXPECT_TRUE(stored_as(needle->nonlinearity,
                          calibration_points({{15, 174, 10}, {139, 8, 30}, {262, 174, 50}, {28, 207, 75}})));
    EXPECT_TRUE(stored_as(needle->header.failures, failure_list({{6, 1}, {3, 1}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0xAB46)));
}

TEST_F(ManifoldPressure, PoundsPerSquareFootToInchesOfMercury) {
    KeptAsStored kept(needle);
    RecordingPanels panels;
    struct Case {
        double psf, inches;
    } cases[] = {
        // Multiplied by the stored constant: dividing by 70.732 ends in ...916.
        {2116.22, 29.918848611660913},
        {5303.9, 74.98586212746704},
        {707.32, 10},
        {1500.5, 21.213877735678334},
        {0, 10},  // the scale starts at 10, not 0
        {-100, 10},
        {6000, 75},  // 84.8
        {not_a_number, 10},
        {infinity, 75},
        {-infinity, 10},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert(needle, c.psf), c.inches)) << c.psf << " psf";
    }
    EXPECT_TRUE(panels.calls.empty());
}

}  // namespace
