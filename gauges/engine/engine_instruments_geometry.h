// Engine instrument cluster geometry: face 125, temperature needle 127,
// pressure needle 129 (used twice).
#pragma once

#include "module/dial_geometry.h"

namespace engine_instruments_geometry {

inline constexpr PixelSize face{256, 256};

// Temperature, degrees Celsius, over the top of the face.
inline constexpr PixelPoint temperature_pivot{127, 127};
inline constexpr PixelPoint temperature_pivot_in_picture{10, 10};
inline constexpr PixelSize temperature_needle_picture{125, 21};  // tip in the last column
inline constexpr ScalePoint temperature_calibration[] = {
    {{34, 62}, -50}, {{127, 13}, 50}, {{220, 62}, 150},
};

inline constexpr PixelPoint pressure_pivot_in_picture{17, 11};
inline constexpr PixelSize pressure_needle_picture{75, 23};  // tip in the last column

// Oil pressure, psi, up the left side.
inline constexpr PixelPoint oil_pivot{107, 175};
inline constexpr ScalePoint oil_calibration[] = {
    {{107, 236}, 0}, {{44, 175}, 100}, {{107, 111}, 200},
};

// Fuel pressure, psi, up the right side: rising anticlockwise, so the table
// (listed clockwise) falls.
inline constexpr PixelPoint fuel_pivot{147, 175};
inline constexpr ScalePoint fuel_calibration[] = {
    {{147, 113}, 36}, {{208, 191}, 15}, {{147, 238}, 0},
};

}  // namespace engine_instruments_geometry
