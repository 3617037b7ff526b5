// Resource identifiers of the module's 23 bitmaps, grouped by gauge in
// gauge-table order, each group starting with its dial face. Included by
// corvalenx.rc, by the gauge sources that name the bitmaps in their records,
// and by the art generator that draws them. The resource compiler reads only
// preprocessor definitions, so these are macros.
//
// A moving image's window mask is the image's identifier plus 1; no record
// names a mask, the host finds it by that rule.
#pragma once

#define AIRSPEED_FACE_BITMAP 100
#define AIRSPEED_NEEDLE_BITMAP 102

#define MANIFOLD_PRESSURE_FACE_BITMAP 105
#define MANIFOLD_PRESSURE_NEEDLE_BITMAP 107

#define TACHOMETER_FACE_BITMAP 110
#define TACHOMETER_NEEDLE_BITMAP 112
#define TACHOMETER_STRIP_BITMAP 114
#define TACHOMETER_STRIP_MASK_BITMAP 115

#define FUEL_QUANTITY_FACE_BITMAP 120
#define FUEL_QUANTITY_NEEDLE_BITMAP 122

#define ENGINE_INSTRUMENTS_FACE_BITMAP 125
#define TEMPERATURE_NEEDLE_BITMAP 127
#define PRESSURE_NEEDLE_BITMAP 129

#define RADAR_ALTIMETER_FACE_BITMAP 131
#define RADAR_ALTIMETER_NEEDLE_BITMAP 133

#define LABS_FACE_BITMAP 135
#define LABS_POINTER_BITMAP 137
#define LABS_OVERLAY_BITMAP 139

#define DIRECTION_FINDER_FACE_BITMAP 145
#define DEVIATION_BAR_BITMAP 147
#define DEVIATION_WINDOW_BITMAP 148
#define FREQUENCY_STRIP_BITMAP 150
#define FREQUENCY_STRIP_MASK_BITMAP 151

#ifndef RC_INVOKED
static_assert(TACHOMETER_STRIP_MASK_BITMAP == TACHOMETER_STRIP_BITMAP + 1);
static_assert(DEVIATION_WINDOW_BITMAP == DEVIATION_BAR_BITMAP + 1);
static_assert(FREQUENCY_STRIP_MASK_BITMAP == FREQUENCY_STRIP_BITMAP + 1);
#endif
