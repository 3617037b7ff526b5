// "Engine_Instruments": temperature, oil pressure and fuel pressure needles
// on one face, the two pressure needles sharing a picture.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/x87_precision_24.h"

namespace {

class EngineInstruments : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("Engine_Instruments");
        ASSERT_NE(gauge, nullptr);
        face = as<ELEMENT_STATIC_IMAGE>(root_of(gauge));
        auto children = children_of(&face->header);
        ASSERT_EQ(children.size(), 3u);
        temperature = as<ELEMENT_NEEDLE>(children[0]);
        oil = as<ELEMENT_NEEDLE>(children[1]);
        fuel = as<ELEMENT_NEEDLE>(children[2]);
    }

    GAUGEHDR* gauge = nullptr;
    ELEMENT_STATIC_IMAGE* face = nullptr;
    ELEMENT_NEEDLE* temperature = nullptr;
    ELEMENT_NEEDLE* oil = nullptr;
    ELEMENT_NEEDLE* fuel = nullptr;
};

RecordBytes needle_bytes(ELEMENT_NEEDLE* needle, uint32_t bitmap, PIXPOINT pivot, PIXPOINT pivot_in_picture,
                         const GAUGEHDR* gauge, const FAILURE_RECORD* failures, uint32_t variable) {
    return RecordBytes(240)
        .element_header(1, bitmap, pivot, pivot_in_picture, gauge, nullptr, failures, 0x4003)
        .word(60, variable)
        .pointer(112, needle->nonlinearity)
        .word(116, 3)
        .word(120, 6)  // rate limit
        .pointer(224, reinterpret_cast<const void*>(needle->update));
}

TEST_F(EngineInstruments, RecordsAsTheHostReadsThem) {
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, corvalenx().gauge("Airspeed")->gauge_callback)));
    EXPECT_STREQ(gauge->gauge_name, "Engine_Instruments");

    FAILURE_RECORD* failures = face->header.failures;
    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 125, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, failures, 0x4001)));
    EXPECT_TRUE(stored_as(temperature, needle_bytes(temperature, 127, {127, 127}, {10, 10}, gauge, failures, 416)));
    EXPECT_TRUE(stored_as(oil, needle_bytes(oil, 129, {107, 175}, {17, 11}, gauge, failures, 418)));
    EXPECT_TRUE(stored_as(fuel, needle_bytes(fuel, 129, {147, 175}, {17, 11}, gauge, failures, 425)));
    for (ELEMENT_NEEDLE* needle : {temperature, oil, fuel}) EXPECT_NE(needle->update, nullptr);

    EXPECT_TRUE(stored_as(temperature->nonlinearity,
                          calibration_points({{34, 62, -50}, {127, 13, 50}, {220, 62, 150}})));
    EXPECT_TRUE(stored_as(oil->nonlinearity, calibration_points({{107, 236, 0}, {44, 175, 100}, {107, 111, 200}})));
    // Rising anticlockwise: listed clockwise, so handed over falling, unsorted.
    EXPECT_TRUE(stored_as(fuel->nonlinearity, calibration_points({{147, 113, 36}, {208, 191, 15}, {147, 238, 0}})));
    EXPECT_NE(oil->nonlinearity, fuel->nonlinearity);

    EXPECT_TRUE(stored_as(failures, failure_list({{20, 2}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0xA875)));
}

struct Case {
    double input, reading;
};

void expect_readings(ELEMENT_NEEDLE* needle, std::initializer_list<Case> cases) {
    KeptAsStored kept(needle);
    for (const Case& c : cases) {
        EXPECT_TRUE(same_double(convert(needle, c.input), c.reading)) << "input " << c.input;
    }
}

TEST_F(EngineInstruments, TemperatureRankineToCelsius) {
    expect_readings(temperature, {
                                     {492, 0},
                                     {672, 100.00008000000001},  // (672 - 492) x 0.555556, in that order
                                     {700, 115.555648},
                                     {519.67, 15.372234519999978},
                                     {400, -50},  // -51.1
                                     {800, 150},  // 171.1
                                     {not_a_number, -50},
                                     {infinity, 150},
                                     {-infinity, -50},
                                 });
}

TEST_F(EngineInstruments, PressuresInPoundsPerSquareInch) {
    // Multiplied by the stored 1/144: dividing makes 1000 psf 6.944444444444445.
    expect_readings(oil, {
                             {14400, 100},
                             {1000, 6.944444444444444},
                             {25000, 173.61111111111111},
                             {30000, 200},  // 208.3
                             {-1, 0},
                             {not_a_number, 0},
                         });
    expect_readings(fuel, {
                              {2160, 15},
                              {1000, 6.944444444444444},
                              {5000.5, 34.72569444444444},
                              {7200, 36},  // 50
                              {-5, 0},
                              {not_a_number, 0},
                              {infinity, 36},
                          });
}

TEST_F(EngineInstruments, ResultsAreExactWithTheX87At24BitPrecision) {
    KeptAsStored kept_temperature(temperature), kept_oil(oil), kept_fuel(fuel);
    X87PrecisionAt24Bits reduced;
    ASSERT_TRUE(X87PrecisionAt24Bits::in_effect());
    EXPECT_TRUE(same_double(convert(temperature, 672), 100.00008000000001));
    EXPECT_TRUE(same_double(convert(oil, 1000), 6.944444444444444));
    EXPECT_TRUE(same_double(convert(fuel, 5000.5), 34.72569444444444));
}

TEST_F(EngineInstruments, ConversionsCallNoService) {
    KeptAsStored kept_temperature(temperature), kept_oil(oil), kept_fuel(fuel);
    RecordingPanels panels;
    convert(temperature, 600);
    convert(oil, 600);
    convert(fuel, 600);
    EXPECT_TRUE(panels.calls.empty());
}

}  // namespace
