// Radar altimeter: height above the ground, 0 to 8000 feet, from the
// aircraft's altitude and the ground elevation under it.
#include "gauges/flight/radar_altimeter_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace radar_altimeter_geometry;

// Ground elevation under the aircraft, 1/256 metre units. One record for
// every instance of the gauge; the host binds it before each install.
MODULE_VAR ground_elevation = {.id = 2};

constexpr double metres_per_elevation_unit = 0.00390625;  // 1/256
constexpr double feet_per_metre = 3.2808;

// The altitude is read before the host refreshes the ground elevation, and
// the ground elevation is never taken from an earlier update.
double __stdcall height_above_ground(ELEMENT_NEEDLE* needle) {
    const double altitude_metres = needle->source_var.value.number;
    const double ground_units = refreshed_value(ground_elevation);
    const double height_feet =
        (altitude_metres - ground_units * metres_per_elevation_unit) * feet_per_metre;
    return range_limit(height_feet, 0, 8000);
}

FAILURE_RECORD needle_failures[] = {
    {.key = 6, .action = FAIL_ACTION_FREEZE},
    {.key = 3, .action = FAIL_ACTION_FREEZE},
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

ELEMENT_NEEDLE needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 133,
               .position = pixel(needle_pivot),
               .offset = pixel(needle_pivot_in_picture),
               .gauge_header = &radar_altimeter_gauge,
               .failures = needle_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 73},  // altitude, metres
    .nonlinearity = needle_calibration.points,
    .point_count = count_of(calibration),
    .max_degrees_per_tick = 0,
    .update = height_above_ground,
};

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 131,
               .gauge_header = &radar_altimeter_gauge,
               .children = face_children,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0xAA14),
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR radar_altimeter_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Radar_Altimeter",
    .elements_list = elements,
    .routines = routines_for<radar_altimeter_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = bind_auxiliary_variable<ground_elevation>,
};
