// Direction finder geometry: face 145, deviation image 147 (window 148),
// digit strip 150 (window 151).
#pragma once

#include "module/dial_geometry.h"

namespace direction_finder_geometry {

inline constexpr PixelSize face{256, 256};

// Frequency drums, hundreds on the left, each window 18 x 27.
inline constexpr PixelSize drum_window{18, 27};
inline constexpr PixelPoint hundreds_drum{100, 0};
inline constexpr PixelPoint tens_drum{119, 0};
inline constexpr PixelPoint ones_drum{138, 0};
inline constexpr int drum_cell_pitch = 27;
// The strip: eleven cells, 0 to 9 and 0 again, so a drum rolls on from 9 to 0.
inline constexpr PixelSize drum_strip{18, 11 * drum_cell_pitch};

// The deviation window is the dial disc: 170 x 170 from (44, 43).
inline constexpr PixelPoint deviation_window{44, 43};
inline constexpr PixelSize deviation_window_size{170, 170};
inline constexpr PixelSize deviation_image{290, 170};

// The tuning area below and left of the disc, and its click spots.
inline constexpr PixelPoint tuning_area{40, 210};
inline constexpr PixelSize tuning_area_size{83, 42};
inline constexpr PixelSize tuning_spot{25, 21};
inline constexpr int tuning_column_pitch = 29;

}  // namespace direction_finder_geometry
