// "Direction_Finder": three frequency drums on one strip, the deviation bar,
// the tuning area's click spots, and the routines behind them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/x87_precision_24.h"

namespace {

class DirectionFinder : public ::testing::Test {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge("Direction_Finder");
        ASSERT_NE(gauge, nullptr);
        face = as<ELEMENT_STATIC_IMAGE>(root_of(gauge));
        auto children = children_of(&face->header);
        ASSERT_EQ(children.size(), 4u);
        ones_drum = as<ELEMENT_MOVING_IMAGE>(children[0]);
        tens_drum = as<ELEMENT_MOVING_IMAGE>(children[1]);
        hundreds_drum = as<ELEMENT_MOVING_IMAGE>(children[2]);
        deviation_bar = as<ELEMENT_MOVING_IMAGE>(children[3]);
    }

    // What a drum shows for a frequency word in the value's first four bytes,
    // the other four holding anything.
    double digit_shown(ELEMENT_MOVING_IMAGE* drum, uint32_t word, uint32_t upper = 0) {
        KeptAsStored kept(drum);
        return convert_y_word(drum, word, upper);
    }

    double travel_for(double angle) {
        KeptAsStored kept(deviation_bar);
        return convert_x(deviation_bar, angle);
    }

    GAUGEHDR* gauge = nullptr;
    ELEMENT_STATIC_IMAGE* face = nullptr;
    ELEMENT_MOVING_IMAGE* ones_drum = nullptr;
    ELEMENT_MOVING_IMAGE* tens_drum = nullptr;
    ELEMENT_MOVING_IMAGE* hundreds_drum = nullptr;
    ELEMENT_MOVING_IMAGE* deviation_bar = nullptr;
};

TEST_F(DirectionFinder, RecordsAsTheHostReadsThem) {
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, corvalenx().gauge("Airspeed")->gauge_callback)))
        << "the empty gauge callback";
    EXPECT_STREQ(gauge->gauge_name, "Direction_Finder");

    // The face and the bar share one failure list; the drums have none.
    FAILURE_RECORD* failures = face->header.failures;
    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 145, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, failures, 0x4001)));
    EXPECT_TRUE(stored_as(failures, failure_list({{11, 2}, {20, 1}})));

    // Three drums on strip 150, hundreds on the left, driven by the y axis
    // only; each with a digit routine of its own.
    const struct {
        ELEMENT_MOVING_IMAGE* drum;
        PIXPOINT window;
    } drums[] = {{ones_drum, {138, 0}}, {tens_drum, {119, 0}}, {hundreds_drum, {100, 0}}};
    for (const auto& d : drums) {
        EXPECT_TRUE(stored_as(d.drum, RecordBytes(272)
                                          .element_header(5, 150, d.window, {0, 0}, gauge, nullptr, nullptr, 0x4003)
                                          .word(112, 16)
                                          .number(144, 0)
                                          .number(152, 100)
                                          .pointer(248, reinterpret_cast<const void*>(d.drum->update_y))))
            << "drum at " << d.window.x;
        EXPECT_NE(d.drum->update_y, nullptr);
    }
    EXPECT_NE(ones_drum->update_y, tens_drum->update_y);
    EXPECT_NE(tens_drum->update_y, hundreds_drum->update_y);
    EXPECT_NE(ones_drum->update_y, hundreds_drum->update_y);

    // The bar slides sideways only.
    EXPECT_TRUE(stored_as(deviation_bar, RecordBytes(272)
                                             .element_header(5, 147, {44, 43}, {0, 0}, gauge, nullptr, failures, 0x4003)
                                             .word(60, 39)
                                             .number(92, 0)
                                             .number(100, 40)
                                             .pointer(244, reinterpret_cast<const void*>(deviation_bar->update_x))));
    EXPECT_NE(deviation_bar->update_x, nullptr);
}

RecordBytes mouse_area(uint32_t kind, PIXPOINT at, PIXPOINT size, int32_t cursor, uint32_t help_id = 0,
                       uint32_t event = 0) {
    return RecordBytes(44)
        .word(0, kind)
        .signed_word(4, at.x)
        .signed_word(8, at.y)
        .signed_word(12, size.x)
        .signed_word(16, size.y)
        .signed_word(20, cursor)
        .word(24, help_id)
        .word(28, event ? 0x20200000 : 0)  // left click, repeating while held
        .word(32, event);
}

// The tuning area nests inside the whole gauge and its click spots inside
// it, boxes relative to their parent: the middle column's lower half, at
// (69..93, 231..251) on the face, sends 0x10083.
TEST_F(DirectionFinder, ElevenMouseAreasInOrder) {
    constexpr uint32_t parent = 1, child = 2, end_of_parent = 3, end_of_list = 0;
    constexpr int32_t none = -1, up = 1, down = 2;
    constexpr PIXPOINT spot = {25, 21};
    EXPECT_TRUE(stored_as(gauge->mouse_rect,
                          mouse_area(parent, {0, 0}, {0, 0}, none, 0xAB00)
                              .then(mouse_area(parent, {40, 210}, {83, 42}, none, 0xA718))
                              .then(mouse_area(child, {0, 0}, spot, up, 0, 0x10070))
                              .then(mouse_area(child, {0, 21}, spot, down, 0, 0x10082))
                              .then(mouse_area(child, {29, 0}, spot, up, 0, 0x10071))
                              .then(mouse_area(child, {29, 21}, spot, down, 0, 0x10083))
                              .then(mouse_area(child, {58, 0}, spot, up, 0, 0x10072))
                              .then(mouse_area(child, {58, 21}, spot, down, 0, 0x10084))
                              .then(mouse_area(end_of_parent, {0, 0}, {0, 0}, none))
                              .then(mouse_area(end_of_parent, {0, 0}, {0, 0}, none))
                              .then(mouse_area(end_of_list, {0, 0}, {0, 0}, none))));
}

TEST_F(DirectionFinder, EachDrumShowsItsOwnDigit) {
    RecordingPanels panels;
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
    EXPECT_TRUE(panels.calls.empty());
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
    RecordingPanels panels;
    const Deviation cases[] = {
        {0, 20},      {20, 0},      {-20, 40},    {10.5, 9.5},  {-0.25, 20.25},
        {45, 0},      {180, 0},     {-179, 40},   {179, 0},
        {19.999999999999996, 3.552713678800501e-15},
        {20.000000000000004, 0},
        {5e-324, 20}, {-5e-324, 20}, {-0.0, 20},
    };
    for (auto c : cases) EXPECT_TRUE(same_double(travel_for(c.angle), c.travel)) << c.angle;
    EXPECT_TRUE(panels.calls.empty());
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

TEST_F(DirectionFinder, ResultsAreExactWithTheX87At24BitPrecision) {
    double travel[3];
    {
        X87PrecisionAt24Bits reduced;
        ASSERT_TRUE(X87PrecisionAt24Bits::in_effect());
        travel[0] = travel_for(370.1);
        travel[1] = travel_for(3600000000000000.5);
        travel[2] = travel_for(-1.2621250583007229e+17);
    }
    EXPECT_TRUE(same_double(travel[0], 9.899999999999977));
    EXPECT_TRUE(same_double(travel[1], 19.5));
    EXPECT_TRUE(same_double(travel[2], 28));
}

}  // namespace
