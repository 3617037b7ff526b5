// Fuel quantity gauge: fuel on board in pounds, 0 to 2500, from the fuel
// quantity times the fuel weight per unit, which the gauge reads itself.
#include "gauges/engine/fuel_quantity_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace fuel_quantity_geometry;

// Pounds per unit of fuel quantity; bound by the host when the gauge installs.
MODULE_VAR fuel_weight_per_unit = {.id = 306};

double __stdcall fuel_weight(ELEMENT_NEEDLE* needle) {
    double quantity = needle->source_var.value.number;
    double pounds_per_unit = refreshed_value(fuel_weight_per_unit);
    return range_limit(quantity * pounds_per_unit, 0, 2500);
}

// Shared by the face and the needle.
FAILURE_RECORD failures[] = {
    {.key = 20, .action = FAIL_ACTION_ZERO},
    {.key = 10, .action = FAIL_ACTION_FREEZE},
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

ELEMENT_NEEDLE needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 122,
               .position = pixel(needle_pivot),
               .offset = pixel(needle_pivot_in_picture),
               .gauge_header = &fuel_quantity_gauge,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 386},  // fuel quantity
    .nonlinearity = needle_calibration.points,
    .point_count = count_of(calibration),
    .max_degrees_per_tick = 6,
    .update = fuel_weight,
};

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 120,
               .gauge_header = &fuel_quantity_gauge,
               .children = face_children,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0xAB26),
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR fuel_quantity_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Fuel_Quantity",
    .elements_list = elements,
    .routines = routines_for<fuel_quantity_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = bind_auxiliary_variable<fuel_weight_per_unit>,
};
