// "LABS_Instrument": face, lateral pointer, vertical pointer and overlay,
// each the only child of the one before, so the overlay is drawn last.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"

namespace {

class LabsInstrument : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("LABS_Instrument");
        ASSERT_NE(gauge, nullptr);
        std::vector<ELEMENT_HEADER*> chain{root_of(gauge)};
        while (chain.back()->children && chain.size() <= 4) {
            auto children = children_of(chain.back());
            ASSERT_EQ(children.size(), 1u) << "children of element " << chain.size() - 1;
            chain.push_back(children[0]);
        }
        ASSERT_EQ(chain.size(), 4u);
        face = as<ELEMENT_STATIC_IMAGE>(chain[0]);
        lateral = as<ELEMENT_NEEDLE>(chain[1]);
        vertical = as<ELEMENT_NEEDLE>(chain[2]);
        overlay = as<ELEMENT_ICON>(chain[3]);
    }

    GAUGEHDR* gauge = nullptr;
    ELEMENT_STATIC_IMAGE* face = nullptr;
    ELEMENT_NEEDLE* lateral = nullptr;
    ELEMENT_NEEDLE* vertical = nullptr;
    ELEMENT_ICON* overlay = nullptr;
};

TEST_F(LabsInstrument, RecordsAsTheHostReadsThem) {
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, corvalenx().gauge("Airspeed")->gauge_callback)))
        << "the empty gauge callback";
    EXPECT_STREQ(gauge->gauge_name, "LABS_Instrument");

    // Both pointers: one bitmap, one failure list.
    FAILURE_RECORD* failures = lateral->header.failures;
    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 135, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, nullptr, 0x4001)));
    EXPECT_TRUE(stored_as(lateral, RecordBytes(240)
                                       .element_header(1, 137, {156, 253}, {9, 9}, gauge,
                                                       lateral->header.children, failures, 0x4003)
                                       .word(60, 70)
                                       .pointer(112, lateral->nonlinearity)
                                       .word(116, 3)
                                       .pointer(224, reinterpret_cast<const void*>(lateral->update))));
    EXPECT_TRUE(stored_as(vertical, RecordBytes(240)
                                        .element_header(1, 137, {77, 174}, {9, 9}, gauge,
                                                        vertical->header.children, failures, 0x4003)
                                        .word(60, 351)
                                        .pointer(112, vertical->nonlinearity)
                                        .word(116, 3)
                                        .pointer(224, reinterpret_cast<const void*>(vertical->update))));
    // One picture, no variable: it shows whatever the pointers do.
    EXPECT_TRUE(stored_as(overlay, RecordBytes(136)
                                       .element_header(4, 139, {0, 0}, {0, 0}, gauge, nullptr, nullptr, 0x4001)
                                       .word(112, 1)));
    EXPECT_NE(lateral->update, nullptr);
    EXPECT_NE(vertical->update, nullptr);
    EXPECT_NE(lateral->update, vertical->update);

    EXPECT_TRUE(stored_as(lateral->nonlinearity,
                          calibration_points({{65, 74, -900}, {156, 53, 0}, {246, 75, 900}})));
    // Clockwise, so falling: handed over in that order, not sorted.
    EXPECT_TRUE(stored_as(vertical->nonlinearity,
                          calibration_points({{255, 83, 7}, {276, 174, 4}, {253, 264, 1}})));
    EXPECT_TRUE(stored_as(failures, failure_list({{20, 2}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0)));
}

struct Conversion {
    double input, shown;
};

TEST_F(LabsInstrument, LateralLimitedToNineHundredEitherSide) {
    KeptAsStored kept(lateral);
    RecordingPanels panels;
    const Conversion cases[] = {
        {0, 0},      {450.25, 450.25}, {-900, -900},    {900, 900},
        {1200, 900}, {-901, -900},     {infinity, 900}, {-infinity, -900},
        {not_a_number, -900},
    };
    for (const Conversion& c : cases) EXPECT_TRUE(same_double(convert(lateral, c.input), c.shown)) << c.input;
    EXPECT_TRUE(panels.calls.empty());
}

TEST_F(LabsInstrument, VerticalScaledByTheStoredReciprocalThenLimited) {
    KeptAsStored kept(vertical);
    RecordingPanels panels;
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
        {infinity, 7},
    };
    for (const Conversion& c : cases) EXPECT_TRUE(same_double(convert(vertical, c.input), c.shown)) << c.input;
    EXPECT_TRUE(panels.calls.empty());
}

}  // namespace
