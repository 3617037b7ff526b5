// Airspeed indicator geometry: face 100, needle 102.
#pragma once

#include "module/dial_geometry.h"

namespace airspeed_geometry {

inline constexpr PixelSize face{278, 278};
inline constexpr PixelPoint needle_pivot{139, 139};
inline constexpr PixelPoint needle_pivot_in_picture{54, 8};
inline constexpr PixelSize needle_picture{180, 17};  // tip in the last column

// Knots, clockwise from 0 at the top to 400 just left of it.
inline constexpr ScalePoint calibration[] = {
    {{143, 7}, 0},     {{192, 20}, 60},   {{254, 78}, 80},
    {{269, 139}, 100}, {{259, 188}, 120}, {{221, 238}, 160},
    {{130, 268}, 200}, {{9, 130}, 300},   {{111, 11}, 400},
};

}  // namespace airspeed_geometry
