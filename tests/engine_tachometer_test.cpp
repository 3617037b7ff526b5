// "Engine_Tachometer": a needle driven directly as an angle, a child of the
// thousands drum, over a face; one failure list for all three.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"

namespace {

namespace layout = host_layout;

class EngineTachometer : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("Engine_Tachometer");
        ASSERT_FALSE(gauge.null());
        face = root_of(gauge);
        auto face_children = children_of(face);
        ASSERT_EQ(face_children.size(), 1u);
        drum = face_children[0];
        auto drum_children = children_of(drum);
        ASSERT_EQ(drum_children.size(), 1u);
        needle = drum_children[0];
    }

    Record gauge, face, drum, needle;
};

TEST_F(EngineTachometer, RecordsAsTheHostReadsThem) {
    const Record failures = face.at(layout::element::failures);
    // No calibration table, no rate limit: the result is the angle itself.
    const ExpectedRecord needle_record =
        element(layout::needle::size, layout::element::needle, 112, {139, 139}, {54, 8}, 0x4003, gauge)
            .points_at(layout::element::failures, failures)
            .word(layout::needle::variable, 390)
            .routine(layout::needle::routine);
    // Driven on the y axis by the engine speed; the x axis is not driven.
    const ExpectedRecord drum_record =
        element(layout::moving_image::size, layout::element::moving_image, 114, {70, 120}, {0, 0}, 0x4003, gauge)
            .points_at(layout::element::failures, failures)
            .points_to(layout::element::children, child_list({needle_record}))
            .word(layout::moving_image::y_variable, 390)
            .number(layout::moving_image::y_min, 0)
            .number(layout::moving_image::y_max, 100)
            .routine(layout::moving_image::y_routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 110, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::failures, failure_list({{20, 2}}))
            .points_to(layout::element::children, child_list({drum_record}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Engine_Tachometer", face_record, tooltip_only_mouse_areas(0xAB68))));
}

TEST_F(EngineTachometer, NeedleTurnsOncePerThousandFromTwelveOClock) {
    KeptAsStored kept(needle, layout::needle::size);
    struct Case {
        double rpm, angle;
    } cases[] = {
        {0, 270},      {1000, 630},      {2350, 1116},       {2950, 1332},
        {0.5, 270.18}, {1234.5, 714.42}, {9999.9, 3869.964},
        // Below zero, or no number at all: reads as 0.
        {-500, 270},   {-0.0, 270},      {not_a_number, 270}, {-infinity, 270},
        {infinity, 270},  // not an infinite angle
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert(needle, c.rpm), c.angle)) << "RPM " << c.rpm;
    }
}

TEST_F(EngineTachometer, DrumShowsTheThousandsAndRollsInTheLastTenth) {
    KeptAsStored kept(drum, layout::moving_image::size);
    struct Case {
        double rpm, travel;
    } cases[] = {
        {0, 0},
        {999.99, 9.999000000000002},  // 0 rolling over to 1
        {1000, 10},
        {1899, 10},
        {1900, 10.000000000000034},  // the roll starts
        {1950, 15.000000000000016},
        {2350, 20},
        {2950, 25.000000000000018},
        {9990, 99.00000000000003},
        {99999, 99.90000000000023},
        {10000, 0},  // the strip's repeated 0, then the first 0 again
        {12950, 24.99999999999993},
        {not_a_number, 0},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert_y(drum, c.rpm), c.travel)) << "RPM " << c.rpm;
    }
}

// Below 0 RPM the digit arithmetic gives negative travel; there is no digit
// below 0 on the strip, so the drum stays at its first 0.
TEST_F(EngineTachometer, DrumStaysOnItsStripBelowZero) {
    KeptAsStored kept(drum, layout::moving_image::size);
    for (double rpm : {-500.0, -1500.0, -2950.0, -9990.0}) {
        EXPECT_TRUE(same_double(convert_y(drum, rpm), 0)) << "RPM " << rpm;
    }
}

}  // namespace
