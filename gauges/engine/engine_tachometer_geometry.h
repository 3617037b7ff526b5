// Engine tachometer geometry: face 110, needle 112, thousands strip 114
// (window 115).
#pragma once

#include "module/dial_geometry.h"

namespace engine_tachometer_geometry {

inline constexpr PixelSize face{278, 278};
inline constexpr PixelPoint needle_pivot{139, 139};
inline constexpr PixelPoint needle_pivot_in_picture{54, 8};
inline constexpr PixelSize needle_picture{180, 17};  // tip in the last column
// Where the outer ends of the face's marks lie: the needle reaches 125.
inline constexpr double mark_radius = 130;

// The needle is driven as an angle: clockwise from three o'clock, 270 (the 0
// at twelve o'clock) at rest, one full turn per 1000 RPM.
inline constexpr double angle_at_rest = 270;
inline constexpr double degrees_per_rpm = 0.36;

// Thousands drum window, left of the centre.
inline constexpr PixelPoint drum_window{70, 120};
inline constexpr PixelSize drum_window_size{26, 39};
inline constexpr int drum_cell_pitch = 39;
// The strip: eleven cells, 0 to 9 and 0 again, so a drum rolls on from 9 to 0.
inline constexpr PixelSize drum_strip{26, 11 * drum_cell_pitch};

}  // namespace engine_tachometer_geometry
