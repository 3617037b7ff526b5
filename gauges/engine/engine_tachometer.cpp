// Engine tachometer: a needle turning once per 1000 RPM over a face numbered
// in hundreds, drawn over a drum that shows the thousands digit and rolls to
// the next one during the last tenth of each thousand.
#include <stdint.h>

#include "gauges/engine/engine_tachometer_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace engine_tachometer_geometry;

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
    {.key = 20, .action = FAIL_ACTION_ZERO},
    end_of_failures,
};

ELEMENT_NEEDLE needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 112,
               .position = pixel(needle_pivot),
               .offset = pixel(needle_pivot_in_picture),
               .gauge_header = &engine_tachometer_gauge,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 390},  // engine speed, RPM
    .nonlinearity = nullptr,
    .point_count = 0,
    .max_degrees_per_tick = 0,
    .update = turn_per_thousand_angle,
};

// The needle hangs off the drum so it is drawn over the drum's window.
ELEMENT_HEADER* drum_children[] = {&needle.header, nullptr};

ELEMENT_MOVING_IMAGE thousands_drum = {
    .header = {.element_type = ELEMENT_TYPE_MOVING_IMAGE,
               .resource_id = 114,
               .position = pixel(drum_window),
               .gauge_header = &engine_tachometer_gauge,
               .children = drum_children,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var_x = {},
    .min_x = 0,
    .max_x = 0,
    .source_var_y = {.id = 390},  // engine speed, RPM
    .min_y = drum_travel_min,
    .max_y = drum_travel_max,
    .update_x = nullptr,
    .update_y = thousands_drum_roller,
};

ELEMENT_HEADER* face_children[] = {&thousands_drum.header, nullptr};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 110,
               .gauge_header = &engine_tachometer_gauge,
               .children = face_children,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0xAB68),
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR engine_tachometer_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Engine_Tachometer",
    .elements_list = elements,
    .routines = routines_for<engine_tachometer_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = ignore_gauge_service,
};
