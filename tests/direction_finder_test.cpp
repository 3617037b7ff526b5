// "Direction_Finder": three frequency drums on one strip, the deviation bar,
// the tuning area's click spots, and the routines behind them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"

namespace {

namespace layout = host_layout;

class DirectionFinder : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("Direction_Finder");
        ASSERT_FALSE(gauge.null());
        face = root_of(gauge);
        auto children = children_of(face);
        ASSERT_EQ(children.size(), 4u);
        ones_drum = children[0];
        tens_drum = children[1];
        hundreds_drum = children[2];
        deviation_bar = children[3];
    }

    // What a drum shows for a frequency word in the value's first four bytes,
    // the other four holding anything.
    double digit_shown(Record drum, uint32_t word, uint32_t upper = 0) {
        KeptAsStored kept(drum, layout::moving_image::size);
        return convert_y_word(drum, word, upper);
    }

    double travel_for(double angle) {
        KeptAsStored kept(deviation_bar, layout::moving_image::size);
        return convert_x(deviation_bar, angle);
    }

    Record gauge, face, ones_drum, tens_drum, hundreds_drum, deviation_bar;
};

ExpectedRecord mouse_area(uint32_t kind, Pixel at, Pixel size, int32_t cursor, uint32_t help_id = 0,
                          uint32_t event = 0) {
    namespace m = layout::mouse_area;
    return ExpectedRecord(m::size)
        .word(m::kind, kind)
        .signed_word(m::x, at.x)
        .signed_word(m::y, at.y)
        .signed_word(m::width, size.x)
        .signed_word(m::height, size.y)
        .signed_word(m::cursor, cursor)
        .word(m::help, help_id)
        .word(m::flags, event ? 0x20200000 : 0)  // left click, repeating while held
        .word(m::event, event);
}

// The tuning area nests inside the whole gauge and its click spots inside
// it, boxes relative to their parent: the middle column's lower half, at
// (69..93, 231..251) on the face, sends 0x10083.
ExpectedRecord eleven_mouse_areas() {
    constexpr uint32_t parent = 1, child = 2, end_of_parent = 3, end_of_list = 0;
    constexpr int32_t none = -1, up = 1, down = 2;
    constexpr Pixel spot = {25, 21};
    return mouse_area(parent, {0, 0}, {0, 0}, none, 0xAB00)
        .then(mouse_area(parent, {40, 210}, {83, 42}, none, 0xA718))
        .then(mouse_area(child, {0, 0}, spot, up, 0, 0x10070))
        .then(mouse_area(child, {0, 21}, spot, down, 0, 0x10082))
        .then(mouse_area(child, {29, 0}, spot, up, 0, 0x10071))
        .then(mouse_area(child, {29, 21}, spot, down, 0, 0x10083))
        .then(mouse_area(child, {58, 0}, spot, up, 0, 0x10072))
        .then(mouse_area(child, {58, 21}, spot, down, 0, 0x10084))
        .then(mouse_area(end_of_parent, {0, 0}, {0, 0}, none))
        .then(mouse_area(end_of_parent, {0, 0}, {0, 0}, none))
        .then(mouse_area(end_of_list, {0, 0}, {0, 0}, none))
        .named("mouse areas");
}

TEST_F(DirectionFinder, RecordsAsTheHostReadsThem) {
    // The face and the bar share one failure list; the drums have none.
    const Record failures = face.at(layout::element::failures);
    // Three drums on strip 150, hundreds on the left, driven by the y axis
    // only; each with a digit routine of its own.
    auto drum = [&](Pixel window) {
        return element(layout::moving_image::size, layout::element::moving_image, 150, window, {0, 0}, 0x4003, gauge)
            .word(layout::moving_image::y_variable, 16)
            .number(layout::moving_image::y_min, 0)
            .number(layout::moving_image::y_max, 100)
            .routine(layout::moving_image::y_routine);
    };
    // The bar slides sideways only.
    const ExpectedRecord bar_record =
        element(layout::moving_image::size, layout::element::moving_image, 147, {44, 43}, {0, 0}, 0x4003, gauge)
            .points_at(layout::element::failures, failures)
            .word(layout::moving_image::x_variable, 39)
            .number(layout::moving_image::x_min, 0)
            .number(layout::moving_image::x_max, 40)
            .routine(layout::moving_image::x_routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 145, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::failures, failure_list({{11, 2}, {20, 1}}))
            .points_to(layout::element::children,
                       child_list({drum({138, 0}), drum({119, 0}), drum({100, 0}), bar_record}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Direction_Finder", face_record, eleven_mouse_areas())));
}

TEST_F(DirectionFinder, EachDrumShowsItsOwnDigit) {
    EXPECT_TRUE(same_double(digit_shown(hundreds_drum, 0x0345), 30));
    EXPECT_TRUE(same_double(digit_shown(tens_drum, 0x0345), 40));
    EXPECT_TRUE(same_double(digit_shown(ones_drum, 0x0345), 50));
    for (uint32_t d = 0; d <= 9; ++d) {
        // Neighbouring nibbles hold other digits, the bits above the lowest
        // 12 and the value field's last four bytes hold anything.
        uint32_t word = 0xABCDE000 | d << 8 | (9 - d) << 4 | (d + 3) % 10;
        EXPECT_TRUE(same_double(digit_shown(hundreds_drum, word, 0xFFFFFFFF), 10.0 * d)) << std::hex << word;
        EXPECT_TRUE(same_double(digit_shown(tens_drum, word, 0x7FF80000), 10.0 * (9 - d))) << std::hex << word;
        EXPECT_TRUE(same_double(digit_shown(ones_drum, word, 0x12345678), 10.0 * ((d + 3) % 10)))
            << std::hex << word;
    }
}

TEST_F(DirectionFinder, NibbleAboveNineStopsAtTheEndOfTheStrip) {
    EXPECT_TRUE(same_double(digit_shown(tens_drum, 0x00A0), 100));
    EXPECT_TRUE(same_double(digit_shown(tens_drum, 0x00F0), 100));
    for (uint32_t nibble = 0xA; nibble <= 0xF; ++nibble) {
        EXPECT_TRUE(same_double(digit_shown(hundreds_drum, nibble << 8), 100)) << nibble;
        EXPECT_TRUE(same_double(digit_shown(tens_drum, nibble << 4), 100)) << nibble;
        EXPECT_TRUE(same_double(digit_shown(ones_drum, nibble), 100)) << nibble;
    }
    EXPECT_TRUE(same_double(digit_shown(ones_drum, 0xFFFFFFFF, 0xFFFFFFFF), 100));
}

struct Deviation {
    double angle, travel;
};

TEST_F(DirectionFinder, BearingsFollowTwentyDegreesEitherSide) {
    const Deviation cases[] = {
        {0, 20},      {20, 0},      {-20, 40},    {10.5, 9.5},  {-0.25, 20.25},
        {45, 0},      {180, 0},     {-179, 40},   {179, 0},
        {19.999999999999996, 3.552713678800501e-15},
        {20.000000000000004, 0},
        {5e-324, 20}, {-5e-324, 20}, {-0.0, 20},
    };
    for (auto c : cases) EXPECT_TRUE(same_double(travel_for(c.angle), c.travel)) << c.angle;
}

TEST_F(DirectionFinder, WholeTurnsComeOffSoEveryAngleIsABearing) {
    const Deviation cases[] = {
        {-180, 0},  // the same direction as 180
        {181, 40},  // the same as -179
        {350, 30},
        {360, 20},
        {-360, 20},
        {-540, 0},
        {540, 0},
        {370.1, 9.899999999999977},     // 10.100000000000023 after the exact turn
        {-349.9, 9.899999999999977},
        {539.9, 0},
        {-179.99999999999997, 40},
        {180.00000000000003, 40},
        {-180.00000000000003, 0},
        {1000000.3, 40},
        {3600000000000000.5, 19.5},
        {395824185999360.3, 19.6875},
        {7.200000000000001e+16, 12},
        {-1.2621250583007229e+17, 28},  // rounded quotients miss these by a turn
        {-5.958687546510912e+20, 36},
        {1.7929289740696138e+19, 12},
        {-2.344926193126529e+18, 4},
        {1e300, 20},
        {1.7976931348623157e308, 0},    // 128 after the turns
        {-1.7976931348623157e308, 40},
    };
    for (auto c : cases) EXPECT_TRUE(same_double(travel_for(c.angle), c.travel)) << std::setprecision(17) << c.angle;
}

TEST_F(DirectionFinder, NoAngleAtAllParksTheBarAtFullLeft) {
    for (double angle : {not_a_number, -not_a_number, infinity, -infinity}) {
        EXPECT_TRUE(same_double(travel_for(angle), 40)) << angle;
    }
}

// Against the exact remainder of the C library, over angles of every size:
// the result is always inside the axis range and exact.
TEST_F(DirectionFinder, AgreesWithTheExactRemainderAtEveryScale) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        // Alternately any bit pattern at all, and angles up to 2^80 whose
        // bearings often fall inside the bar's travel.
        double angle;
        if (i % 2) {
            uint64_t bits = random();
            std::memcpy(&angle, &bits, sizeof angle);
        } else {
            angle = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random), int(random() % 81));
        }
        if (!std::isfinite(angle)) continue;
        double bearing = std::fmod(angle, 360.0);
        if (bearing > 180) bearing -= 360;
        if (bearing <= -180) bearing += 360;
        double expected = 20 - std::fmax(-20.0, std::fmin(20.0, bearing));
        double travel = travel_for(angle);
        ASSERT_TRUE(travel >= 0 && travel <= 40) << std::setprecision(17) << angle << " gave " << travel;
        ASSERT_TRUE(same_double(travel, expected)) << std::setprecision(17) << angle;
    }
}

}  // namespace
