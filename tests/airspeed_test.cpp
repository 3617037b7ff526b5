// "Airspeed": one calibrated needle over the dial, and its limiter.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/single_needle_gauge.h"

namespace {

namespace layout = host_layout;

class Airspeed : public SingleNeedleGauge {
protected:
    Airspeed() : SingleNeedleGauge("Airspeed") {}
};

TEST_F(Airspeed, RecordsAsTheHostReadsThem) {
    // Only the needle fails; the face has no list.
    const ExpectedRecord needle_record =
        element(layout::needle::size, layout::element::needle, 102, {139, 139}, {54, 8}, 0x4003, gauge)
            .points_to(layout::element::failures, failure_list({{6, 1}, {3, 1}}))
            .word(layout::needle::variable, 61)
            .points_to(layout::needle::table,
                       calibration_points({{143, 7, 0},
                                           {192, 20, 60},
                                           {254, 78, 80},
                                           {269, 139, 100},
                                           {259, 188, 120},
                                           {221, 238, 160},
                                           {130, 268, 200},
                                           {9, 130, 300},
                                           {111, 11, 400}}))
            .word(layout::needle::point_count, 9)
            .routine(layout::needle::routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 100, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::children, child_list({needle_record}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Airspeed", face_record, tooltip_only_mouse_areas(0xAB02))));
}

TEST_F(Airspeed, KnotsLimitedToTheScale) {
    KeptAsStored kept(needle, layout::needle::size);
    struct Case {
        double knots, shown;
    } cases[] = {
        {0, 0},       {250, 250}, {399.99999999999994, 399.99999999999994},
        {400, 400},   {400.5, 400},
        {-3, 0},      {-5e-324, 0},
        {5e-324, 5e-324},         {not_a_number, 0},
    };
    for (const Case& c : cases) EXPECT_TRUE(same_double(convert(needle, c.knots), c.shown)) << "knots " << c.knots;
}

}  // namespace
