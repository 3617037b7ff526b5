// Radar altimeter: height above the ground, 0 to 8000 feet, from the
// aircraft's altitude and the ground elevation under it.
#include "gauges/failure_keys.h"
#include "gauges/flight/radar_altimeter_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace radar_altimeter_geometry;

constexpr uint32_t altitude_metres = 73;
constexpr uint32_t ground_elevation_units = 2;  // 1/256 metre
constexpr uint32_t radar_altimeter_help = 0xAA14;

// One record for every instance of the gauge; the host binds it before each
// install.
MODULE_VAR ground_elevation = {.id = ground_elevation_units};

constexpr double metres_per_elevation_unit = 0.00390625;  // 1/256
constexpr double feet_per_metre = 3.2808;

// The altitude is read before the host refreshes the ground elevation, and
// the ground elevation is never taken from an earlier update.
double __stdcall height_above_ground(ELEMENT_NEEDLE* needle) {
    const double altitude = needle->source_var.value.number;
    const double ground_units = refreshed_value(ground_elevation);
    const double height_feet = (altitude - ground_units * metres_per_elevation_unit) * feet_per_metre;
    return range_limit(height_feet, 0, 8000);
}

FAILURE_RECORD needle_failures[] = {
    freeze_on(failure_key::dial_needles_first),
    freeze_on(failure_key::dial_needles_second),
    end_of_failures,
};

constinit auto needle_calibration = calibration_table(calibration);

constinit ELEMENT_NEEDLE needle = calibrated_needle(
    {.gauge = &radar_altimeter_gauge,
     .bitmap = RADAR_ALTIMETER_NEEDLE_BITMAP,
     .pivot = needle_pivot,
     .pivot_in_picture = needle_pivot_in_picture,
     .variable = altitude_metres,
     .routine = height_above_ground,
     .failures = needle_failures},
    needle_calibration);

ELEMENT_HEADER* face_children[] = {&needle.header, nullptr};
constinit ELEMENT_STATIC_IMAGE face = dial_face(radar_altimeter_gauge, RADAR_ALTIMETER_FACE_BITMAP, face_children);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(radar_altimeter_help);

}  // namespace

GAUGEHDR radar_altimeter_gauge = gauge_header<radar_altimeter_gauge>(
    "Radar_Altimeter", elements, mouse_areas.records, bind_auxiliary_variable<ground_elevation>);
