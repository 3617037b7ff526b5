// "LABS_Instrument": face, lateral pointer, vertical pointer and overlay,
// each the only child of the one before, so the overlay is drawn last.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"

namespace {

namespace layout = host_layout;

class LabsInstrument : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("LABS_Instrument");
        ASSERT_FALSE(gauge.null());
        std::vector<Record> chain{root_of(gauge)};
        while (!chain.back().at(layout::element::children).null() && chain.size() <= 4) {
            auto children = children_of(chain.back());
            ASSERT_EQ(children.size(), 1u) << "children of element " << chain.size() - 1;
            chain.push_back(children[0]);
        }
        ASSERT_EQ(chain.size(), 4u);
        lateral = chain[1];
        vertical = chain[2];
    }

    Record gauge, lateral, vertical;
};

TEST_F(LabsInstrument, RecordsAsTheHostReadsThem) {
    // Both pointers: one bitmap, one failure list.
    const Record failures = lateral.at(layout::element::failures);
    // One picture, no variable: it shows whatever the pointers do.
    const ExpectedRecord overlay_record =
        element(layout::icon::size, layout::element::icon, 139, {0, 0}, {0, 0}, 0x4001, gauge)
            .word(layout::icon::image_count, 1);
    // Clockwise, so falling: handed over in that order, not sorted.
    const ExpectedRecord vertical_record =
        element(layout::needle::size, layout::element::needle, 137, {77, 174}, {9, 9}, 0x4003, gauge)
            .points_at(layout::element::failures, failures)
            .points_to(layout::element::children, child_list({overlay_record}))
            .word(layout::needle::variable, 351)
            .points_to(layout::needle::table, calibration_points({{255, 83, 7}, {276, 174, 4}, {253, 264, 1}}))
            .word(layout::needle::point_count, 3)
            .routine(layout::needle::routine);
    const ExpectedRecord lateral_record =
        element(layout::needle::size, layout::element::needle, 137, {156, 253}, {9, 9}, 0x4003, gauge)
            .points_to(layout::element::failures, failure_list({{20, 2}}))
            .points_to(layout::element::children, child_list({vertical_record}))
            .word(layout::needle::variable, 70)
            .points_to(layout::needle::table, calibration_points({{65, 74, -900}, {156, 53, 0}, {246, 75, 900}}))
            .word(layout::needle::point_count, 3)
            .routine(layout::needle::routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 135, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::children, child_list({lateral_record}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("LABS_Instrument", face_record, tooltip_only_mouse_areas(0))));
}

struct Conversion {
    double input, shown;
};

TEST_F(LabsInstrument, LateralLimitedToNineHundredEitherSide) {
    KeptAsStored kept(lateral, layout::needle::size);
    const Conversion cases[] = {
        {0, 0},      {450.25, 450.25}, {-900, -900}, {900, 900},
        {1200, 900}, {-901, -900},     {not_a_number, -900},
    };
    for (const Conversion& c : cases) EXPECT_TRUE(same_double(convert(lateral, c.input), c.shown)) << c.input;
}

TEST_F(LabsInstrument, VerticalScaledByTheStoredReciprocalThenLimited) {
    KeptAsStored kept(vertical, layout::needle::size);
    const Conversion cases[] = {
        {617, 1},
        {2468, 4},
        {1000, 1.6207455429497568},
        {621, 1.0064829821717989},  // dividing by 617 would give ...799
        {623, 1.0097244732576984},  // and ...6987
        {4319, 7},
        {5000, 7},  // 8.1
        {0, 1},     // the lower limit is 1, not 0
        {-617, 1},
        {not_a_number, 1},
    };
    for (const Conversion& c : cases) EXPECT_TRUE(same_double(convert(vertical, c.input), c.shown)) << c.input;
}

}  // namespace
