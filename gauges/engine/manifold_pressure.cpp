// Manifold pressure gauge: one calibrated needle, 10 to 75 inches of mercury,
// on a scale that runs clockwise across twelve o'clock.
#include "gauges/engine/manifold_pressure_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace manifold_pressure_geometry;

// The simulator gives pounds per square foot; one inch of mercury is 70.732 of
// them. Stored as the multiplier so every reading rounds the same way.
constexpr double inches_of_mercury_per_psf = 0.014137872532941242;

double __stdcall pressure_to_inches_of_mercury(ELEMENT_NEEDLE* needle) {
    return range_limit(needle->source_var.value.number * inches_of_mercury_per_psf, 10, 75);
}

FAILURE_RECORD needle_failures[] = {
    {.key = 6, .action = FAIL_ACTION_FREEZE},
    {.key = 3, .action = FAIL_ACTION_FREEZE},
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

ELEMENT_NEEDLE needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 107,
               .position = pixel(needle_pivot),
               .offset = pixel(needle_pivot_in_picture),
               .gauge_header = &manifold_pressure_gauge,
               .failures = needle_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 391},  // manifold pressure, pounds per square foot
    .nonlinearity = needle_calibration.points,
    .point_count = count_of(calibration),
    .max_degrees_per_tick = 0,
    .update = pressure_to_inches_of_mercury,
};

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 105,
               .gauge_header = &manifold_pressure_gauge,
               .children = face_children,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0xAB46),
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR manifold_pressure_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Manifold Pressure",
    .elements_list = elements,
    .routines = routines_for<manifold_pressure_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = ignore_gauge_service,
};
