// Airspeed indicator: one calibrated needle over a 0 to 400 knot dial.
#include "gauges/flight/airspeed_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace airspeed_geometry;

double __stdcall airspeed_limiter(ELEMENT_NEEDLE* needle) {
    return range_limit(needle->source_var.value.number, 0, 400);
}

FAILURE_RECORD needle_failures[] = {
    {.key = 6, .action = FAIL_ACTION_FREEZE},
    {.key = 3, .action = FAIL_ACTION_FREEZE},
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

ELEMENT_NEEDLE needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 102,
               .position = pixel(needle_pivot),
               .offset = pixel(needle_pivot_in_picture),
               .gauge_header = &airspeed_gauge,
               .failures = needle_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 61},  // airspeed, knots
    .nonlinearity = needle_calibration.points,
    .point_count = count_of(calibration),
    .max_degrees_per_tick = 0,
    .update = airspeed_limiter,
};

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 100,
               .gauge_header = &airspeed_gauge,
               .children = face_children,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0xAB02),
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR airspeed_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Airspeed",
    .elements_list = elements,
    .routines = routines_for<airspeed_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = ignore_gauge_service,
};
