// "Manifold Pressure": one calibrated needle whose scale crosses twelve
// o'clock, reading pounds per square foot as inches of mercury.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/single_needle_gauge.h"

namespace {

namespace layout = host_layout;

class ManifoldPressure : public SingleNeedleGauge {
protected:
    ManifoldPressure() : SingleNeedleGauge("Manifold Pressure") {}
};

TEST_F(ManifoldPressure, RecordsAsTheHostReadsThem) {
    // Clockwise from 10 across twelve o'clock (30) round to 75, just short of 10.
    const ExpectedRecord needle_record =
        element(layout::needle::size, layout::element::needle, 107, {139, 139}, {54, 8}, 0x4003, gauge)
            .points_to(layout::element::failures, failure_list({{6, 1}, {3, 1}}))
            .word(layout::needle::variable, 391)
            .points_to(layout::needle::table,
                       calibration_points({{15, 174, 10}, {139, 8, 30}, {262, 174, 50}, {28, 207, 75}}))
            .word(layout::needle::point_count, 4)
            .routine(layout::needle::routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 105, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::children, child_list({needle_record}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Manifold Pressure", face_record, tooltip_only_mouse_areas(0xAB46))));
}

TEST_F(ManifoldPressure, PoundsPerSquareFootToInchesOfMercury) {
    KeptAsStored kept(needle, layout::needle::size);
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
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert(needle, c.psf), c.inches)) << c.psf << " psf";
    }
}

}  // namespace
