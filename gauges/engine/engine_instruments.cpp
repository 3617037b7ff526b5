// Engine instrument cluster: temperature across the top, oil and fuel
// pressure side by side below it, three needles on one face.
#include "gauges/engine/engine_instruments_geometry.h"
#include "gauges/failure_keys.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_builders.h"
#include "module/range_limit.h"
#include "resources/bitmap_ids.h"

namespace {

using namespace engine_instruments_geometry;

constexpr uint32_t temperature_rankine = 416;
constexpr uint32_t oil_pressure_psf = 418;
constexpr uint32_t fuel_pressure_psf = 425;
constexpr uint32_t engine_instruments_help = 0xA875;

constexpr double rankine_at_freezing = 492;
constexpr double celsius_per_rankine = 0.555556;
constexpr double psi_per_psf = 0.006944444444444444;  // 1/144

double __stdcall rankine_to_celsius(ELEMENT_NEEDLE* needle) {
    double rankine = needle->source_var.value.number;
    return range_limit((rankine - rankine_at_freezing) * celsius_per_rankine, -50, 150);
}

double __stdcall oil_pressure_psi(ELEMENT_NEEDLE* needle) {
    return range_limit(needle->source_var.value.number * psi_per_psf, 0, 200);
}

double __stdcall fuel_pressure_psi(ELEMENT_NEEDLE* needle) {
    return range_limit(needle->source_var.value.number * psi_per_psf, 0, 36);
}

// Shared by the face and all three needles.
FAILURE_RECORD failures[] = {
    zero_on(failure_key::most_instruments),
    end_of_failures,
};

constinit auto temperature_table = calibration_table(temperature_calibration);
constinit auto oil_table = calibration_table(oil_calibration);
// Listed clockwise, so falling: the host takes it in this order.
constinit auto fuel_table = calibration_table(fuel_calibration);

constexpr int32_t degrees_per_tick = 6;

constinit ELEMENT_NEEDLE temperature_needle = calibrated_needle(
    {.gauge = &engine_instruments_gauge,
     .bitmap = TEMPERATURE_NEEDLE_BITMAP,
     .pivot = temperature_pivot,
     .pivot_in_picture = temperature_pivot_in_picture,
     .variable = temperature_rankine,
     .routine = rankine_to_celsius,
     .failures = failures,
     .degrees_per_tick = degrees_per_tick},
    temperature_table);

// The two pressure needles share one picture.
constinit ELEMENT_NEEDLE oil_pressure_needle = calibrated_needle(
    {.gauge = &engine_instruments_gauge,
     .bitmap = PRESSURE_NEEDLE_BITMAP,
     .pivot = oil_pivot,
     .pivot_in_picture = pressure_pivot_in_picture,
     .variable = oil_pressure_psf,
     .routine = oil_pressure_psi,
     .failures = failures,
     .degrees_per_tick = degrees_per_tick},
    oil_table);

constinit ELEMENT_NEEDLE fuel_pressure_needle = calibrated_needle(
    {.gauge = &engine_instruments_gauge,
     .bitmap = PRESSURE_NEEDLE_BITMAP,
     .pivot = fuel_pivot,
     .pivot_in_picture = pressure_pivot_in_picture,
     .variable = fuel_pressure_psf,
     .routine = fuel_pressure_psi,
     .failures = failures,
     .degrees_per_tick = degrees_per_tick},
    fuel_table);

ELEMENT_HEADER* face_children[] = {
    &temperature_needle.header,
    &oil_pressure_needle.header,
    &fuel_pressure_needle.header,
    nullptr,
};

constinit ELEMENT_STATIC_IMAGE face =
    dial_face(engine_instruments_gauge, ENGINE_INSTRUMENTS_FACE_BITMAP, face_children, failures);
ELEMENT_HEADER* elements[] = {&face.header, nullptr};
constinit TooltipOnlyMouseAreas mouse_areas = tooltip_only(engine_instruments_help);

}  // namespace

GAUGEHDR engine_instruments_gauge =
    gauge_header<engine_instruments_gauge>("Engine_Instruments", elements, mouse_areas.records);
