// Everything a gauge's source needs to declare its records: the host
// layouts, the shared routines, the range limit, and small builders for the
// lists every gauge carries.
#pragma once

#include "gauges/dial_geometry.h"
#include "module/gauge_routines.h"
#include "module/range_limit.h"

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

inline constexpr FAILURE_RECORD end_of_failures{};
