// Engine instrument cluster: temperature across the top, oil and fuel
// pressure side by side below it, three needles on one face.
#include "gauges/engine/engine_instruments_geometry.h"
#include "gauges/gauge_headers.h"
#include "module/gauge_declarations.h"

namespace {

using namespace engine_instruments_geometry;

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
    {.key = 20, .action = FAIL_ACTION_ZERO},
    end_of_failures,
};

constinit auto temperature_table = calibration_table(temperature_calibration);
constinit auto oil_table = calibration_table(oil_calibration);
// Listed clockwise, so falling: the host takes it in this order.
constinit auto fuel_table = calibration_table(fuel_calibration);

ELEMENT_NEEDLE temperature_needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 127,
               .position = pixel(temperature_pivot),
               .offset = pixel(temperature_pivot_in_picture),
               .gauge_header = &engine_instruments_gauge,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 416},  // temperature, degrees Rankine
    .nonlinearity = temperature_table.points,
    .point_count = count_of(temperature_calibration),
    .max_degrees_per_tick = 6,
    .update = rankine_to_celsius,
};

// The two pressure needles share one picture.
ELEMENT_NEEDLE oil_pressure_needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 129,
               .position = pixel(oil_pivot),
               .offset = pixel(pressure_pivot_in_picture),
               .gauge_header = &engine_instruments_gauge,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 418},  // oil pressure, pounds per square foot
    .nonlinearity = oil_table.points,
    .point_count = count_of(oil_calibration),
    .max_degrees_per_tick = 6,
    .update = oil_pressure_psi,
};

ELEMENT_NEEDLE fuel_pressure_needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = 129,
               .position = pixel(fuel_pivot),
               .offset = pixel(pressure_pivot_in_picture),
               .gauge_header = &engine_instruments_gauge,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 425},  // fuel pressure, pounds per square foot
    .nonlinearity = fuel_table.points,
    .point_count = count_of(fuel_calibration),
    .max_degrees_per_tick = 6,
    .update = fuel_pressure_psi,
};

ELEMENT_HEADER* face_children[] = {
    &temperature_needle.header,
    &oil_pressure_needle.header,
    &fuel_pressure_needle.header,
    nullptr,
};

ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 125,
               .gauge_header = &engine_instruments_gauge,
               .children = face_children,
               .failures = failures,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

MOUSERECT mouse_areas[] = {
    whole_gauge_area(0xA875),
    end_of_parent(),
    end_of_list(),
};

}  // namespace

GAUGEHDR engine_instruments_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Engine_Instruments",
    .elements_list = elements,
    .routines = routines_for<engine_instruments_gauge>,
    .default_size_mm = 100,
    .mouse_rect = mouse_areas,
    .gauge_callback = ignore_gauge_service,
};
