// Fuel quantity gauge: fuel on board in pounds, 0 to 2500, from the fuel
// quantity times the fuel weight per unit, which the gauge reads itself.
#include "gauges/engine/fuel_quantity_geometry.h"
#include "gauges/failure_keys.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace fuel_quantity_geometry;

constexpr uint32_t fuel_quantity = 386;
constexpr uint32_t fuel_pounds_per_unit = 306;
constexpr uint32_t fuel_quantity_help = 0xAB26;

// Bound by the host when the gauge installs.
MODULE_VAR fuel_weight_per_unit = {.id = fuel_pounds_per_unit};

double __stdcall fuel_weight(ELEMENT_NEEDLE* needle) {
    double quantity = needle->source_var.value.number;
    double pounds_per_unit = refreshed_value(fuel_weight_per_unit);
    return range_limit(quantity * pounds_per_unit, 0, 2500);
}

// Shared by the face and the needle.
FAILURE_RECORD failures[] = {
    zero_on(failure_key::most_instruments),
    freeze_on(failure_key::fuel_quantity),
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

constinit ELEMENT_NEEDLE needle = calibrated_needle(
    {.gauge = &fuel_quantity_gauge,
     .bitmap = FUEL_QUANTITY_NEEDLE_BITMAP,
     .pivot = needle_pivot,
     .pivot_in_picture = needle_pivot_in_picture,
     .variable = fuel_quantity,
     .routine = fuel_weight,
     .failures = failures,
     .degrees_per_tick = 6},
    needle_calibration);

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};
constinit ELEMENT_STATIC_IMAGE face =
    dial_face(fuel_quantity_gauge, FUEL_QUANTITY_FACE_BITMAP, face_children, failures);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(fuel_quantity_help);

}  // namespace

GAUGEHDR fuel_quantity_gauge = gauge_header<fuel_quantity_gauge>(
    "Fuel_Quantity", elements, mouse_areas.records, bind_auxiliary_variable<fuel_weight_per_unit>);
