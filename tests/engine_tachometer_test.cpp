// "Engine_Tachometer": a needle driven directly as an angle, a child of the
// thousands drum, over a face; one failure list for all three.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/x87_precision_24.h"

namespace {

class EngineTachometer : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("Engine_Tachometer");
        ASSERT_NE(gauge, nullptr);
        face = as<ELEMENT_STATIC_IMAGE>(root_of(gauge));
        auto face_children = children_of(&face->header);
        ASSERT_EQ(face_children.size(), 1u);
        drum = as<ELEMENT_MOVING_IMAGE>(face_children[0]);
        auto drum_children = children_of(&drum->header);
        ASSERT_EQ(drum_children.size(), 1u);
        needle = as<ELEMENT_NEEDLE>(drum_children[0]);
    }

    GAUGEHDR* gauge = nullptr;
    ELEMENT_STATIC_IMAGE* face = nullptr;
    ELEMENT_MOVING_IMAGE* drum = nullptr;
    ELEMENT_NEEDLE* needle = nullptr;
};

TEST_F(EngineTachometer, RecordsAsTheHostReadsThem) {
    FAILURE_RECORD* failures = face->header.failures;
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, corvalenx().gauge("Airspeed")->gauge_callback)))
        << "the empty gauge callback, as every gauge without an auxiliary variable";
    EXPECT_STREQ(gauge->gauge_name, "Engine_Tachometer");

    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 110, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, failures, 0x4001)));
    EXPECT_TRUE(stored_as(drum, RecordBytes(272)
                                    .element_header(5, 114, {70, 120}, {0, 0}, gauge,
                                                    drum->header.children, failures, 0x4003)
                                    .word(112, 390)  // y: engine RPM; x not driven
                                    .number(144, 0)
                                    .number(152, 100)
                                    .pointer(248, reinterpret_cast<const void*>(drum->update_y))));
    EXPECT_NE(drum->update_y, nullptr);
    // No calibration table, no rate limit: the result is the angle itself.
    EXPECT_TRUE(stored_as(needle, RecordBytes(240)
                                      .element_header(1, 112, {139, 139}, {54, 8}, gauge, nullptr,
                                                      failures, 0x4003)
                                      .word(60, 390)
                                      .pointer(224, reinterpret_cast<const void*>(needle->update))));
    EXPECT_NE(needle->update, nullptr);

    EXPECT_TRUE(stored_as(failures, failure_list({{20, 2}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0xAB68)));
}

TEST_F(EngineTachometer, NeedleTurnsOncePerThousandFromTwelveOClock) {
    KeptAsStored kept(needle);
    struct Case {
        double rpm, angle;
    } cases[] = {
        {0, 270},        {1000, 630},       {2350, 1116},     {2950, 1332},
        {0.5, 270.18},   {1234.5, 714.42},  {9999.9, 3869.964},
        // Below zero, or no number at all: reads as 0.
        {-500, 270},     {-0.0, 270},       {not_a_number, 270}, {-infinity, 270},
        {infinity, 270},  // not an infinite angle
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert(needle, c.rpm), c.angle)) << "RPM " << c.rpm;
    }
}

TEST_F(EngineTachometer, DrumShowsTheThousandsAndRollsInTheLastTenth) {
    KeptAsStored kept(drum);
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
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert_y(drum, c.rpm), c.travel)) << "RPM " << c.rpm;
    }
}

TEST_F(EngineTachometer, DrumNeverLeavesItsStrip) {
    KeptAsStored kept(drum);
    struct Case {
        double rpm, travel;
    } cases[] = {
        {-500, 0},
        {-1500, 0},  // not -10: there is no digit below 0
        {-2950, 0},
        {not_a_number, 0},
        {-infinity, 0},
        {infinity, 100},
        // Beyond 2^31 hundred-thousands the truncation wraps, and beyond 2^63 it
        // gives 0; either way the travel is limited, never undefined.
        {2147483648e5, 100},
        {3e14, 100},
        {-3e14, 0},
        {1e19, 100},
        {-1e19, 0},
        {9.3e23, 100},
        {-9.3e23, 0},
        {1e300, 100},
        {-1e300, 0},
        {1.7976931348623157e308, 100},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert_y(drum, c.rpm), c.travel)) << "RPM " << c.rpm;
    }
}

TEST_F(EngineTachometer, ResultsAreExactWithTheX87At24BitPrecision) {
    KeptAsStored kept_needle(needle), kept_drum(drum);
    X87PrecisionAt24Bits reduced;
    ASSERT_TRUE(X87PrecisionAt24Bits::in_effect());
    EXPECT_TRUE(same_double(convert_y(drum, 2950), 25.000000000000018));
    EXPECT_TRUE(same_double(convert_y(drum, 99999), 99.90000000000023));
    EXPECT_TRUE(same_double(convert(needle, 9999.9), 3869.964));
}

TEST_F(EngineTachometer, ConversionsCallNoService) {
    KeptAsStored kept_needle(needle), kept_drum(drum);
    RecordingPanels panels;
    convert(needle, 2350);
    convert_y(drum, 2350);
    EXPECT_TRUE(panels.calls.empty());
}

}  // namespace
