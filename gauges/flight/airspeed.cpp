// Airspeed indicator: one calibrated needle over a 0 to 400 knot dial.
#include "gauges/failure_keys.h"
#include "gauges/flight/airspeed_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace airspeed_geometry;

constexpr uint32_t airspeed_knots = 61;
constexpr uint32_t airspeed_help = 0xAB02;

double __stdcall airspeed_limiter(ELEMENT_NEEDLE* needle) {
    return range_limit(needle->source_var.value.number, 0, 400);
}

FAILURE_RECORD needle_failures[] = {
    freeze_on(failure_key::dial_needles_first),
    freeze_on(failure_key::dial_needles_second),
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

constinit ELEMENT_NEEDLE needle = calibrated_needle(
    {.gauge = &airspeed_gauge,
     .bitmap = AIRSPEED_NEEDLE_BITMAP,
     .pivot = needle_pivot,
     .pivot_in_picture = needle_pivot_in_picture,
     .variable = airspeed_knots,
     .routine = airspeed_limiter,
     .failures = needle_failures},
    needle_calibration);

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};
constinit ELEMENT_STATIC_IMAGE face = dial_face(airspeed_gauge, AIRSPEED_FACE_BITMAP, face_children);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(airspeed_help);

}  // namespace

GAUGEHDR airspeed_gauge = gauge_header<airspeed_gauge>("Airspeed", elements, mouse_areas.records);
