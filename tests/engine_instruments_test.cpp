// "Engine_Instruments": temperature, oil pressure and fuel pressure needles
// on one face, the two pressure needles sharing a picture.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"

namespace {

namespace layout = host_layout;

class EngineInstruments : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("Engine_Instruments");
        ASSERT_FALSE(gauge.null());
        face = root_of(gauge);
        auto children = children_of(face);
        ASSERT_EQ(children.size(), 3u);
        temperature = children[0];
        oil = children[1];
        fuel = children[2];
    }

    Record gauge, face, temperature, oil, fuel;
};

TEST_F(EngineInstruments, RecordsAsTheHostReadsThem) {
    // All four elements share one failure list.
    const Record failures = face.at(layout::element::failures);
    auto needle = [&](uint32_t bitmap, Pixel pivot, Pixel pivot_in_picture, uint32_t variable,
                      ExpectedRecord table) {
        return element(layout::needle::size, layout::element::needle, bitmap, pivot, pivot_in_picture, 0x4003, gauge)
            .points_at(layout::element::failures, failures)
            .word(layout::needle::variable, variable)
            .points_to(layout::needle::table, std::move(table))
            .word(layout::needle::point_count, 3)
            .word(layout::needle::rate_limit, 6)
            .routine(layout::needle::routine);
    };
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 125, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::failures, failure_list({{20, 2}}))
            .points_to(layout::element::children,
                       child_list({
                           needle(127, {127, 127}, {10, 10}, 416,
                                  calibration_points({{34, 62, -50}, {127, 13, 50}, {220, 62, 150}})),
                           needle(129, {107, 175}, {17, 11}, 418,
                                  calibration_points({{107, 236, 0}, {44, 175, 100}, {107, 111, 200}})),
                           // Rising anticlockwise: listed clockwise, so handed over falling, unsorted.
                           needle(129, {147, 175}, {17, 11}, 425,
                                  calibration_points({{147, 113, 36}, {208, 191, 15}, {147, 238, 0}})),
                       }));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Engine_Instruments", face_record, tooltip_only_mouse_areas(0xA875))));
}

struct Case {
    double input, reading;
};

void expect_readings(Record needle, std::initializer_list<Case> cases) {
    KeptAsStored kept(needle, layout::needle::size);
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
                          });
}

}  // namespace
