// LABS cross-pointer instrument: a lateral pointer across the top scale, a
// vertical pointer across the right-hand scale, and an overlay covering both
// pivots. Each part is the only child of the one before, so the overlay is
// drawn last.
#include "gauges/flight/labs_instrument_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace labs_instrument_geometry;

double __stdcall lateral_limiter(ELEMENT_NEEDLE* pointer) {
    return range_limit(pointer->source_var.value.number, -900, 900);
}

// The simulator sends 617 per scale unit; scaled by multiplying with the
// stored reciprocal.
constexpr double scale_units_per_input = 0.0016207455429497568;  // 1/617

double __stdcall vertical_scale(ELEMENT_NEEDLE* pointer) {
    return range_limit(pointer->source_var.value.number * scale_units_per_input, 1, 7);
}

// Both pointers drop to zero together.
FAILURE_RECORD pointer_failures[] = {
    {.key = 20, .action = FAIL_ACTION_ZERO},
    end_of_failures,
};

// The vertical table stays clockwise, so its values fall: the host gets it
// in stored order.
constinit auto lateral_calibration_table = calibration_table(lateral_calibration);
constinit auto vertical_calibration_table = calibration_table(vertical_calibration);

ELEMENT_ICON overlay = {
    .header = {.element_type = ELEMENT_TYPE_ICON,
               .resource_id = 139,
               .gauge_header = &labs_instrument_gauge,
               .image_flags = IMAGE_FLAGS_STILL},
    .source_var = {.id = 0},  // none: the one picture always shows
    .picture_count = 1,
};

ELEMENT_HEADER* vertical_children[] = {&overlay.header, nullptr};

ELEMENT_NEEDLE vertical_pointer = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 137,
               .position = pixel(vertical_pivot),
               .offset = pixel(pointer_pivot_in_picture),
               .gauge_header = &labs_instrument_gauge,
               .children = vertical_children,
               .failures = pointer_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 351},
    .nonlinearity = vertical_calibration_table.points,
    .point_count = count_of(vertical_calibration),
    .max_degrees_per_tick = 0,
    .update = vertical_scale,
};

ELEMENT_HEADER* lateral_children[] = {&vertical_pointer.header, nullptr};

ELEMENT_NEEDLE lateral_pointer = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 137,
               .position = pixel(lateral_pivot),
               .offset = pixel(pointer_pivot_in_picture),
               .gauge_header = &labs_instrument_gauge,
               .children = lateral_children,
               .failures = pointer_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 70},
    .nonlinearity = lateral_calibration_table.points,
    .point_count = count_of(lateral_calibration),
    .max_degrees_per_tick = 0,
    .update = lateral_limiter,
};

ELEMENT_HEADER* face_children[] = {&lateral_pointer.header, nullptr};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 135,
               .gauge_header = &labs_instrument_gauge,
               .children = face_children,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0),  // no tooltip
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR labs_instrument_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "LABS_Instrument",
    .elements_list = elements,
    .routines = routines_for<labs_instrument_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = ignore_gauge_service,
};
