// Builders for the record shapes every gauge is made of, so that a gauge's
// source states only what sets its records apart: which bitmap, where, driven
// by which variable and routine, failing on which keys. Each returns a whole
// record in the host's layout; every field it does not set is zero.
#pragma once

#include "module/dial_geometry.h"
#include "module/gauge_routines.h"

// A needle's calibration table, filled from the geometry the face is drawn
// from. The host writes each point's angle at install, so the table lives in
// writable memory.
template <unsigned N>
struct CalibrationTable {
    NONLINEARITY points[N];
};

template <unsigned N>
constexpr CalibrationTable<N> calibration_table(const ScalePoint (&scale)[N]) {
    CalibrationTable<N> table{};
    for (unsigned i = 0; i < N; ++i) {
        table.points[i] = {.point = {scale[i].at.x, scale[i].at.y}, .value = scale[i].value};
    }
    return table;
}

constexpr PIXPOINT pixel(PixelPoint p) { return {p.x, p.y}; }

// Failure lists: what an element does while the host has a key in force,
// ended by a record with key 0.
constexpr FAILURE_RECORD freeze_on(uint32_t key) { return {.key = key, .action = FAIL_ACTION_FREEZE}; }
constexpr FAILURE_RECORD zero_on(uint32_t key) { return {.key = key, .action = FAIL_ACTION_ZERO}; }
inline constexpr FAILURE_RECORD end_of_failures{};

// The dial face: the static image at the root of every gauge, its moving
// parts in its child list.
constexpr ELEMENT_STATIC_IMAGE dial_face(GAUGEHDR& gauge, uint32_t bitmap, ELEMENT_HEADER** children,
                                         FAILURE_RECORD* failures = nullptr) {
    return {.header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
                       .resource_id = bitmap,
                       .gauge_header = &gauge,
                       .children = children,
                       .failures = failures,
                       .image_flags = IMAGE_FLAGS_STILL}};
}

// A picture that always shows, drawn over whatever came before it.
constexpr ELEMENT_ICON fixed_overlay(GAUGEHDR& gauge, uint32_t bitmap) {
    return {.header = {.element_type = ELEMENT_TYPE_ICON,
                       .resource_id = bitmap,
                       .gauge_header = &gauge,
                       .image_flags = IMAGE_FLAGS_STILL},
            .picture_count = 1};
}

// What sets one needle apart from another.
struct NeedleParts {
    GAUGEHDR* gauge;
    uint32_t bitmap;
    PixelPoint pivot;             // on the face
    PixelPoint pivot_in_picture;  // the picture turns about this pixel
    uint32_t variable;            // the host's variable token
    NeedleRoutine routine;
    FAILURE_RECORD* failures = nullptr;
    ELEMENT_HEADER** children = nullptr;
    int32_t degrees_per_tick = 0;  // 0: no rate limit
};

// A needle whose routine's result is its angle in degrees.
constexpr ELEMENT_NEEDLE angle_needle(const NeedleParts& parts) {
    return {.header = {.element_type = ELEMENT_TYPE_NEEDLE,
                       .resource_id = parts.bitmap,
                       .position = pixel(parts.pivot),
                       .offset = pixel(parts.pivot_in_picture),
                       .gauge_header = parts.gauge,
                       .children = parts.children,
                       .failures = parts.failures,
                       .image_flags = IMAGE_FLAGS_MOVING},
            .source_var = {.id = parts.variable},
            .max_degrees_per_tick = parts.degrees_per_tick,
            .update = parts.routine};
}

// A needle whose routine's result the host turns into an angle through the
// calibration table.
template <unsigned N>
constexpr ELEMENT_NEEDLE calibrated_needle(const NeedleParts& parts, CalibrationTable<N>& table) {
    ELEMENT_NEEDLE needle = angle_needle(parts);
    needle.nonlinearity = table.points;
    needle.point_count = N;
    return needle;
}

// What sets one moving image apart from another. The bitmap is larger than
// the window, whose mask is the bitmap after it; the routine's result is the
// travel between `min` and `max`.
struct MovingImageParts {
    GAUGEHDR* gauge;
    uint32_t bitmap;
    PixelPoint window;  // top-left corner on the face
    uint32_t variable;
    double min, max;
    MovingImageRoutine routine;
    FAILURE_RECORD* failures = nullptr;
    ELEMENT_HEADER** children = nullptr;
};

constexpr ELEMENT_HEADER moving_image_header(const MovingImageParts& parts) {
    return {.element_type = ELEMENT_TYPE_MOVING_IMAGE,
            .resource_id = parts.bitmap,
            .position = pixel(parts.window),
            .gauge_header = parts.gauge,
            .children = parts.children,
            .failures = parts.failures,
            .image_flags = IMAGE_FLAGS_MOVING};
}

// Sliding sideways only; the y axis is not driven.
constexpr ELEMENT_MOVING_IMAGE sliding_across(const MovingImageParts& parts) {
    return {.header = moving_image_header(parts),
            .source_var_x = {.id = parts.variable},
            .min_x = parts.min,
            .max_x = parts.max,
            .update_x = parts.routine};
}

// Sliding up and down only; the x axis is not driven.
constexpr ELEMENT_MOVING_IMAGE sliding_up_and_down(const MovingImageParts& parts) {
    return {.header = moving_image_header(parts),
            .source_var_y = {.id = parts.variable},
            .min_y = parts.min,
            .max_y = parts.max,
            .update_y = parts.routine};
}

// Mouse areas: every gauge's list opens with a whole-gauge parent carrying its
// tooltip and closes with the end-of-parent and end-of-list records.
constexpr MOUSERECT whole_gauge_area(uint32_t help_id) {
    return {.rect_type = MOUSE_RECT_PARENT, .cursor = CURSOR_NONE, .help_id = help_id};
}

constexpr MOUSERECT end_of_parent() {
    return {.rect_type = MOUSE_RECT_END_OF_PARENT, .cursor = CURSOR_NONE};
}

constexpr MOUSERECT end_of_list() {
    return {.rect_type = MOUSE_RECT_EOL, .cursor = CURSOR_NONE};
}

// The list of a gauge whose only mouse area is itself, with its tooltip.
struct TooltipOnlyMouseAreas {
    MOUSERECT records[3];
};

constexpr TooltipOnlyMouseAreas tooltip_only(uint32_t help_id) {
    return {{whole_gauge_area(help_id), end_of_parent(), end_of_list()}};
}

// The gauge header: the gauge's name, its one root, the routine set bound to
// this header, its mouse areas and its gauge callback.
template <GAUGEHDR& Gauge>
constexpr GAUGEHDR gauge_header(const char* name, ELEMENT_HEADER** elements, MOUSERECT* mouse_areas,
                                GaugeCallback callback = ignore_gauge_service) {
    return {.gauge_header_version = GAUGE_HEADER_VERSION_FS700,
            .gauge_name = name,
            .elements_list = elements,
            .routines = routines_for<Gauge>,
            .default_size_mm = 100,
            .mouse_rect = mouse_areas,
            .gauge_callback = callback};
}
