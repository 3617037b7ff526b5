// LABS cross-pointer geometry: face 135, pointer 137 (used twice), overlay 139.
#pragma once

#include "module/dial_geometry.h"

namespace labs_instrument_geometry {

inline constexpr PixelSize face{320, 320};
inline constexpr PixelPoint pointer_pivot_in_picture{9, 9};
inline constexpr PixelSize pointer_picture{204, 19};  // tip in the last column

// Lateral pointer: pivoted low on the face, swinging across the top scale.
inline constexpr PixelPoint lateral_pivot{156, 253};
inline constexpr ScalePoint lateral_calibration[] = {
    {{65, 74}, -900}, {{156, 53}, 0}, {{246, 75}, 900},
};

// Vertical pointer: pivoted at the left, swinging over the right-hand scale.
// Listed clockwise, so the values fall.
inline constexpr PixelPoint vertical_pivot{77, 174};
inline constexpr ScalePoint vertical_calibration[] = {
    {{255, 83}, 7}, {{276, 174}, 4}, {{253, 264}, 1},
};

}  // namespace labs_instrument_geometry
