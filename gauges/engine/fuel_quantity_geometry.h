// Fuel quantity gauge geometry: face 120, needle 122.
#pragma once

#include "module/dial_geometry.h"

namespace fuel_quantity_geometry {

inline constexpr PixelSize face{278, 278};
inline constexpr PixelPoint needle_pivot{139, 139};
inline constexpr PixelPoint needle_pivot_in_picture{55, 8};
inline constexpr PixelSize needle_picture{180, 17};  // tip in the last column

// Pounds, clockwise from about seven o'clock round to about five.
inline constexpr ScalePoint calibration[] = {
    {{96, 258}, 0},    {{19, 182}, 500},  {{56, 41}, 1000},
    {{267, 139}, 2000}, {{182, 258}, 2500},
};

}  // namespace fuel_quantity_geometry
