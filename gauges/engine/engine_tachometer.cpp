// Engine tachometer: a needle turning once per 1000 RPM over a face numbered
// in hundreds, drawn over a drum that shows the thousands digit and rolls to
// the next one during the last tenth of each thousand.
#include <stdint.h>

#include "gauges/engine/engine_tachometer_geometry.h"
#include "gauges/failure_keys.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace engine_tachometer_geometry;

constexpr uint32_t engine_rpm = 390;
constexpr uint32_t engine_tachometer_help = 0xAB68;

constexpr double largest_finite = 0x1.fffffffffffffp+1023;

// The needle is driven as an angle, with no calibration table. A negative
// speed, or one that is no number at all (NaN, infinite), reads as 0 so the
// host never gets an angle it cannot turn.
double __stdcall turn_per_thousand_angle(ELEMENT_NEEDLE* needle) {
    double rpm = needle->source_var.value.number;
    if (!(rpm >= 0 && rpm <= largest_finite)) rpm = 0;
    return angle_at_rest + degrees_per_rpm * rpm;
}

// The drum's digit arithmetic truncates as a conversion to a 64-bit integer
// keeping only its low 32 bits, signed: toward zero, modulo 2^32. NaN and
// anything beyond the 64-bit range give 0, as the 64-bit "indefinite"
// integer's low half is 0. Done in exact double steps and 32-bit conversions
// of values known to fit, so no input overflows a conversion.
double truncated_to_low_word(double x) {
    constexpr double two_to_31 = 0x1p31;
    constexpr double two_to_32 = 0x1p32;
    constexpr double two_to_63 = 0x1p63;
    if (!(x > -two_to_63 && x < two_to_63)) return 0;  // -2^63 itself has a zero low half too

    double magnitude = x < 0 ? -x : x;
    // magnitude = high * 2^32 + low; high < 2^31, and both steps are exact.
    double high = static_cast<int32_t>(magnitude / two_to_32);
    double low = magnitude - high * two_to_32;  // 0 <= low < 2^32
    uint32_t low_word = low < two_to_31
                            ? static_cast<uint32_t>(static_cast<int32_t>(low))
                            : static_cast<uint32_t>(static_cast<int32_t>(low - two_to_31)) + 0x80000000u;
    if (x < 0) low_word = 0u - low_word;
    return static_cast<int32_t>(low_word);
}

// Drum travel: 10 units per digit on the strip, 100 being the repeated 0 at
// its end.
constexpr double drum_travel_min = 0;
constexpr double drum_travel_max = 100;
constexpr double travel_per_digit = 10;
constexpr double hundred_thousands_per_rpm = 0.00001;
constexpr double roll_starts_at = 0.9;  // of the current thousand

double __stdcall thousands_drum_roller(ELEMENT_MOVING_IMAGE* drum) {
    double rpm = drum->source_var_y.value.number;
    double v = rpm * hundred_thousands_per_rpm;
    double a = (v - truncated_to_low_word(v)) * 10;
    a = (a - truncated_to_low_word(a)) * 10;  // thousands digit . fraction of the thousand
    double digit = truncated_to_low_word(a);
    double fraction = a - digit;
    double travel = fraction >= roll_starts_at
                        ? (digit + (fraction - roll_starts_at) * 10) * travel_per_digit
                        : digit * travel_per_digit;
    // Negative, NaN and absurdly large speeds would leave the strip.
    return range_limit(travel, drum_travel_min, drum_travel_max);
}

// Shared by all three elements.
FAILURE_RECORD failures[] = {
    zero_on(failure_key::most_instruments),
    end_of_failures,
};

constinit ELEMENT_NEEDLE needle = angle_needle({.gauge = &engine_tachometer_gauge,
                                                .bitmap = TACHOMETER_NEEDLE_BITMAP,
                                                .pivot = needle_pivot,
                                                .pivot_in_picture = needle_pivot_in_picture,
                                                .variable = engine_rpm,
                                                .routine = turn_per_thousand_angle,
                                                .failures = failures});

// The needle hangs off the drum so it is drawn over the drum's window.
ELEMENT_HEADER* drum_children[] = {&needle.header, nullptr};

constinit ELEMENT_MOVING_IMAGE thousands_drum = sliding_up_and_down({.gauge = &engine_tachometer_gauge,
                                                                     .bitmap = TACHOMETER_STRIP_BITMAP,
                                                                     .window = drum_window,
                                                                     .variable = engine_rpm,
                                                                     .min = drum_travel_min,
                                                                     .max = drum_travel_max,
                                                                     .routine = thousands_drum_roller,
                                                                     .failures = failures,
                                                                     .children = drum_children});

ELEMENT_HEADER* face_children[] = {&thousands_drum.header, nullptr};
constinit ELEMENT_STATIC_IMAGE face =
    dial_face(engine_tachometer_gauge, TACHOMETER_FACE_BITMAP, face_children, failures);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(engine_tachometer_help);

}  // namespace

GAUGEHDR engine_tachometer_gauge =
    gauge_header<engine_tachometer_gauge>("Engine_Tachometer", elements, mouse_areas.records);
