// Direction finder: a three-digit frequency readout on drums, a left-right
// deviation bar, and the tuning area whose click spots send key events.
#include "gauges/flight/direction_finder_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace direction_finder_geometry;

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
    {.key = 11, .action = FAIL_ACTION_ZERO},
    {.key = 20, .action = FAIL_ACTION_FREEZE},
    end_of_failures,
};

// A frequency drum: the digit strip seen through its window, driven up and
// down by one nibble of the frequency (variable 16); the x axis is unused.
constexpr ELEMENT_MOVING_IMAGE frequency_drum(PixelPoint window, MovingImageRoutine digit) {
    return {.header = {.element_type = ELEMENT_TYPE_MOVING_IMAGE,
                       .resource_id = 150,
                       .position = pixel(window),
                       .gauge_header = &direction_finder_gauge,
                       .image_flags = IMAGE_FLAGS_MOVING},
            .source_var_y = {.id = 16},
            .min_y = 0,
            .max_y = 100,
            .update_y = digit};
}

constinit ELEMENT_MOVING_IMAGE ones_drum_image =
    frequency_drum(ones_drum, frequency_digit<ones_nibble>);
constinit ELEMENT_MOVING_IMAGE tens_drum_image =
    frequency_drum(tens_drum, frequency_digit<tens_nibble>);
constinit ELEMENT_MOVING_IMAGE hundreds_drum_image =
    frequency_drum(hundreds_drum, frequency_digit<hundreds_nibble>);

// The bar slides sideways only; its y axis is unused.
ELEMENT_MOVING_IMAGE deviation_bar = {
    .header = {.element_type = ELEMENT_TYPE_MOVING_IMAGE,
               .resource_id = 147,
               .position = pixel(deviation_window),
               .gauge_header = &direction_finder_gauge,
               .failures = face_and_bar_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var_x = {.id = 39},  // bearing, degrees
    .min_x = 0,
    .max_x = 40,
    .update_x = deviation_limiter,
};

ELEMENT_HEADER* face_children[] = {
    &ones_drum_image.header,
    &tens_drum_image.header,
    &hundreds_drum_image.header,
    &deviation_bar.header,
    nullptr,
};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 145,
               .gauge_header = &direction_finder_gauge,
               .children = face_children,
               .failures = face_and_bar_failures,
               .image_flags = IMAGE_FLAGS_STILL},
};

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
            .help_id = 0xA718};
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
    whole_gauge_area(0xAB00),
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

GAUGEHDR direction_finder_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Direction_Finder",
    .elements_list = elements,
    .routines = routines_for<direction_finder_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = ignore_gauge_service,
};
