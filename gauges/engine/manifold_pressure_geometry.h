// Manifold pressure gauge geometry: face 105, needle 107.
#pragma once

#include "module/dial_geometry.h"

namespace manifold_pressure_geometry {

inline constexpr PixelSize face{278, 278};
inline constexpr PixelPoint needle_pivot{139, 139};
inline constexpr PixelPoint needle_pivot_in_picture{54, 8};
inline constexpr PixelSize needle_picture{180, 17};  // tip in the last column

// Inches of mercury; the scale runs clockwise across twelve o'clock (30).
inline constexpr ScalePoint calibration[] = {
    {{15, 174}, 10}, {{139, 8}, 30}, {{262, 174}, 50}, {{28, 207}, 75},
};

}  // namespace manifold_pressure_geometry
