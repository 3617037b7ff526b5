// LABS cross-pointer instrument: a lateral pointer across the top scale, a
// vertical pointer across the right-hand scale, and an overlay covering both
// pivots. Each part is the only child of the one before, so the overlay is
// drawn last.
#include "gauges/failure_keys.h"
#include "gauges/flight/labs_instrument_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace labs_instrument_geometry;

constexpr uint32_t lateral_input = 70;    // ±900
constexpr uint32_t vertical_input = 351;  // 617 per scale unit
constexpr uint32_t no_tooltip = 0;

double __stdcall lateral_limiter(ELEMENT_NEEDLE* pointer) {
    return range_limit(pointer->source_var.value.number, -900, 900);
}

// Scaled by multiplying with the stored reciprocal.
constexpr double scale_units_per_input = 0.0016207455429497568;  // 1/617

double __stdcall vertical_scale(ELEMENT_NEEDLE* pointer) {
    return range_limit(pointer->source_var.value.number * scale_units_per_input, 1, 7);
}

// Both pointers drop to zero together.
FAILURE_RECORD pointer_failures[] = {
    zero_on(failure_key::most_instruments),
    end_of_failures,
};

// The vertical table stays clockwise, so its values fall: the host gets it
// in stored order.
constinit auto lateral_calibration_table = calibration_table(lateral_calibration);
constinit auto vertical_calibration_table = calibration_table(vertical_calibration);

constinit ELEMENT_ICON overlay = fixed_overlay(labs_instrument_gauge, LABS_OVERLAY_BITMAP);

ELEMENT_HEADER* vertical_children[] = {&overlay.header, nullptr};

constinit ELEMENT_NEEDLE vertical_pointer = calibrated_needle(
    {.gauge = &labs_instrument_gauge,
     .bitmap = LABS_POINTER_BITMAP,
     .pivot = vertical_pivot,
     .pivot_in_picture = pointer_pivot_in_picture,
     .variable = vertical_input,
     .routine = vertical_scale,
     .failures = pointer_failures,
     .children = vertical_children},
    vertical_calibration_table);

ELEMENT_HEADER* lateral_children[] = {&vertical_pointer.header, nullptr};

constinit ELEMENT_NEEDLE lateral_pointer = calibrated_needle(
    {.gauge = &labs_instrument_gauge,
     .bitmap = LABS_POINTER_BITMAP,
     .pivot = lateral_pivot,
     .pivot_in_picture = pointer_pivot_in_picture,
     .variable = lateral_input,
     .routine = lateral_limiter,
     .failures = pointer_failures,
     .children = lateral_children},
    lateral_calibration_table);

ELEMENT_HEADER* face_children[] = {&lateral_pointer.header, nullptr};
constinit ELEMENT_STATIC_IMAGE face = dial_face(labs_instrument_gauge, LABS_FACE_BITMAP, face_children);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(no_tooltip);

}  // namespace

GAUGEHDR labs_instrument_gauge = gauge_header<labs_instrument_gauge>("LABS_Instrument", elements, mouse_areas.records);
