// Direction finder: a three-digit frequency readout on drums, a left-right
// deviation bar, and the tuning area whose click spots send key events.
#include "gauges/failure_keys.h"
#include "gauges/flight/direction_finder_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace direction_finder_geometry;

constexpr uint32_t frequency_bcd = 16;
constexpr uint32_t bearing_degrees = 39;
constexpr uint32_t direction_finder_help = 0xAB00;
constexpr uint32_t tuning_area_help = 0xA718;

// The frequency arrives in binary-coded decimal, one digit per nibble; each
// drum shows one nibble, 10 units of travel per digit. A nibble above 9 is no
// digit and must not push a drum past the end of its strip.
constexpr unsigned ones_nibble = 0;
constexpr unsigned tens_nibble = 4;
constexpr unsigned hundreds_nibble = 8;
constexpr double drum_travel_per_digit = 10;

template <unsigned Nibble>
double __stdcall frequency_digit(ELEMENT_MOVING_IMAGE* drum) {
    uint32_t bcd;
    __builtin_memcpy(&bcd, drum->source_var_y.value.bytes, sizeof bcd);
    const int digit = static_cast<int>((bcd >> Nibble) & 0xF);
    return range_limit(digit * drum_travel_per_digit, 0, 100);
}

// The angle is a bearing: whole turns change nothing, so it is first brought
// into (-180, 180]. The turns come off exactly, without a remainder routine:
// each subtraction takes 360 times a power of two that is no larger than what
// is left and more than half of it, which loses no bits however large the
// angle. Anything that is not a finite angle comes back as not a number.
constexpr double whole_turn = 360;
constexpr double half_turn = 180;

double bearing_within_half_turn(double angle) {
    if (!__builtin_isfinite(angle)) return angle - angle;
    double left = angle < 0 ? -angle : angle;
    double turns = whole_turn;
    while (turns * 2 <= left) turns *= 2;
    for (; turns >= whole_turn; turns /= 2) {
        if (left >= turns) left -= turns;
    }
    double bearing = angle < 0 ? -left : left;
    if (bearing > half_turn) bearing -= whole_turn;
    if (bearing <= -half_turn) bearing += whole_turn;
    return bearing;
}

// The bar follows the bearing 20 degrees either side and waits at the end of
// its travel beyond that; travel 0 is full right, 40 full left, where a
// bearing that is not a number leaves it as well.
constexpr double deviation_limit = 20;

double __stdcall deviation_limiter(ELEMENT_MOVING_IMAGE* image) {
    const double bearing = bearing_within_half_turn(image->source_var_x.value.number);
    return deviation_limit - range_limit(bearing, -deviation_limit, deviation_limit);
}

// Shared by the face and the deviation bar.
FAILURE_RECORD face_and_bar_failures[] = {
    zero_on(failure_key::direction_finder),
    freeze_on(failure_key::most_instruments),
    end_of_failures,
};

// A frequency drum: the digit strip seen through its window, driven up and
// down by one nibble of the frequency.
constexpr ELEMENT_MOVING_IMAGE frequency_drum(PixelPoint window, MovingImageRoutine digit) {
    return sliding_up_and_down({.gauge = &direction_finder_gauge,
                                .bitmap = FREQUENCY_STRIP_BITMAP,
                                .window = window,
                                .variable = frequency_bcd,
                                .min = 0,
                                .max = 100,
                                .routine = digit});
}

constinit ELEMENT_MOVING_IMAGE ones_drum_image =
    frequency_drum(ones_drum, frequency_digit<ones_nibble>);
constinit ELEMENT_MOVING_IMAGE tens_drum_image =
    frequency_drum(tens_drum, frequency_digit<tens_nibble>);
constinit ELEMENT_MOVING_IMAGE hundreds_drum_image =
    frequency_drum(hundreds_drum, frequency_digit<hundreds_nibble>);

constinit ELEMENT_MOVING_IMAGE deviation_bar = sliding_across({.gauge = &direction_finder_gauge,
                                                               .bitmap = DEVIATION_BAR_BITMAP,
                                                               .window = deviation_window,
                                                               .variable = bearing_degrees,
                                                               .min = 0,
                                                               .max = 2 * deviation_limit,
                                                               .routine = deviation_limiter,
                                                               .failures = face_and_bar_failures});

ELEMENT_HEADER* face_children[] = {
    &ones_drum_image.header,
    &tens_drum_image.header,
    &hundreds_drum_image.header,
    &deviation_bar.header,
    nullptr,
};

constinit ELEMENT_STATIC_IMAGE face =
    dial_face(direction_finder_gauge, DIRECTION_FINDER_FACE_BITMAP, face_children, face_and_bar_failures);

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

// The tuning area: three columns of click spots, the upper half of each
// stepping up and the lower half down, repeating while the button is held.
// Boxes are relative to the tuning area.
constexpr MOUSERECT tuning_area_parent() {
    return {.rect_type = MOUSE_RECT_PARENT,
            .box_x = tuning_area.x,
            .box_y = tuning_area.y,
            .box_width = tuning_area_size.width,
            .box_height = tuning_area_size.height,
            .cursor = CURSOR_NONE,
            .help_id = tuning_area_help};
}

constexpr MOUSERECT tuning_click(int column, MouseCursor cursor, uint32_t key_event) {
    return {.rect_type = MOUSE_RECT_CHILD,
            .box_x = column * tuning_column_pitch,
            .box_y = cursor == CURSOR_DOWNARROW ? tuning_spot.height : 0,
            .box_width = tuning_spot.width,
            .box_height = tuning_spot.height,
            .cursor = cursor,
            .mouse_flags = MOUSE_LEFT_CLICK_REPEAT,
            .event_id = key_event};
}

MOUSERECT mouse_areas[] = {
    whole_gauge_area(direction_finder_help),
    tuning_area_parent(),
    tuning_click(0, CURSOR_UPARROW, 0x10070),
    tuning_click(0, CURSOR_DOWNARROW, 0x10082),
    tuning_click(1, CURSOR_UPARROW, 0x10071),
    tuning_click(1, CURSOR_DOWNARROW, 0x10083),
    tuning_click(2, CURSOR_UPARROW, 0x10072),
    tuning_click(2, CURSOR_DOWNARROW, 0x10084),
    end_of_parent(),  // the tuning area
    end_of_parent(),  // the whole gauge
    end_of_list(),
};

}  // namespace

GAUGEHDR direction_finder_gauge = gauge_header<direction_finder_gauge>("Direction_Finder", elements, mouse_areas);
