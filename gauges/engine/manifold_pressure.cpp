// Manifold pressure gauge: one calibrated needle, 10 to 75 inches of mercury,
// on a scale that runs clockwise across twelve o'clock.
#include "gauges/engine/manifold_pressure_geometry.h"
#include "gauges/failure_keys.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace manifold_pressure_geometry;

constexpr uint32_t manifold_pressure_psf = 391;
constexpr uint32_t manifold_pressure_help = 0xAB46;

// The simulator gives pounds per square foot; one inch of mercury is 70.732 of
// them. Stored as the multiplier so every reading rounds the same way.
constexpr double inches_of_mercury_per_psf = 0.014137872532941242;

double __stdcall pressure_to_inches_of_mercury(ELEMENT_NEEDLE* needle) {
    return range_limit(needle->source_var.value.number * inches_of_mercury_per_psf, 10, 75);
}

FAILURE_RECORD needle_failures[] = {
    freeze_on(failure_key::dial_needles_first),
    freeze_on(failure_key::dial_needles_second),
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

constinit ELEMENT_NEEDLE needle = calibrated_needle(
    {.gauge = &manifold_pressure_gauge,
     .bitmap = MANIFOLD_PRESSURE_NEEDLE_BITMAP,
     .pivot = needle_pivot,
     .pivot_in_picture = needle_pivot_in_picture,
     .variable = manifold_pressure_psf,
     .routine = pressure_to_inches_of_mercury,
     .failures = needle_failures},
    needle_calibration);

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};
constinit ELEMENT_STATIC_IMAGE face =
    dial_face(manifold_pressure_gauge, MANIFOLD_PRESSURE_FACE_BITMAP, face_children);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(manifold_pressure_help);

}  // namespace

GAUGEHDR manifold_pressure_gauge =
    gauge_header<manifold_pressure_gauge>("Manifold Pressure", elements, mouse_areas.records);
