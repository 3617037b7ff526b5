// "Airspeed": one calibrated needle over the dial, and its limiter.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/single_needle_gauge.h"

namespace {

class Airspeed : public SingleNeedleGauge {
protected:
    Airspeed() : SingleNeedleGauge("Airspeed") {}
};

TEST_F(Airspeed, RecordsAsTheHostReadsThem) {
    EXPECT_EQ(corvalenx().gauges().front(), gauge) << "first in the gauge table";
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, gauge->gauge_callback)));
    EXPECT_STREQ(gauge->gauge_name, "Airspeed");

    // Only the needle fails; the face has no list.
    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 100, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, nullptr, 0x4001)));
    EXPECT_TRUE(stored_as(needle, RecordBytes(240)
                                      .element_header(1, 102, {139, 139}, {54, 8}, gauge, nullptr,
                                                      needle->header.failures, 0x4003)
                                      .word(60, 61)
                                      .pointer(112, needle->nonlinearity)
                                      .word(116, 9)
                                      .pointer(224, reinterpret_cast<const void*>(needle->update))));
    EXPECT_NE(needle->update, nullptr);
    EXPECT_TRUE(stored_as(needle->nonlinearity,
                          calibration_points({{143, 7, 0}, {192, 20, 60}, {254, 78, 80},
                                              {269, 139, 100}, {259, 188, 120}, {221, 238, 160},
                                              {130, 268, 200}, {9, 130, 300}, {111, 11, 400}})));
    EXPECT_TRUE(stored_as(needle->header.failures, failure_list({{6, 1}, {3, 1}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0xAB02)));
}

TEST_F(Airspeed, KnotsLimitedToTheScale) {
    KeptAsStored kept(needle);
    RecordingPanels panels;
    struct Case {
        double knots, shown;
    } cases[] = {
        {0, 0},          {250, 250},   {399.99999999999994, 399.99999999999994},
        {400, 400},      {400.5, 400}, {infinity, 400},
        {-3, 0},         {-5e-324, 0}, {-infinity, 0},
        {5e-324, 5e-324},              {not_a_number, 0},
    };
    for (const Case& c : cases) EXPECT_TRUE(same_double(convert(needle, c.knots), c.shown)) << "knots " << c.knots;
    EXPECT_TRUE(panels.calls.empty());
}

}  // namespace
