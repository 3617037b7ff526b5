// Radar altimeter geometry: face 131, needle 133.
#pragma once

#include "module/dial_geometry.h"

namespace radar_altimeter_geometry {

inline constexpr PixelSize face{278, 278};
inline constexpr PixelPoint needle_pivot{139, 139};
inline constexpr PixelPoint needle_pivot_in_picture{87, 11};
inline constexpr PixelSize needle_picture{213, 23};  // tip in the last column

// Feet above ground: every 30 degrees from 0 to 1000, then 60, 60 and 36.
inline constexpr ScalePoint calibration[] = {
    {{139, 8}, 0},     {{204, 25}, 20},    {{252, 74}, 50},
    {{270, 139}, 100}, {{251, 204}, 200},  {{204, 251}, 500},
    {{139, 270}, 1000}, {{25, 204}, 2000}, {{25, 73}, 5000},
    {{85, 18}, 8000},
};

}  // namespace radar_altimeter_geometry
