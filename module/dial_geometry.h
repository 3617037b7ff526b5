// Plain geometry types shared by the gauge records and the art generator, so
// that the marks drawn on a face and the calibration points stored for its
// needle come from one table. Pixels on the gauge's face: origin top-left,
// x to the right, y downward.
#pragma once

struct PixelPoint {
    int x;
    int y;
};

struct PixelSize {
    int width;
    int height;
};

// A calibration point: the needle tip aims at `at` when it shows `value`.
struct ScalePoint {
    PixelPoint at;
    double value;
};

template <typename T, unsigned N>
constexpr unsigned count_of(const T (&)[N]) {
    return N;
}
