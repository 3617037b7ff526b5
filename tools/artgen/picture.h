// A picture as drawn (a Cairo surface) and as stored (8 bits per pixel with a
// 256-entry colour table of its own), and the bitmap file written from it.
#pragma once

#include <cairo.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    friend bool operator==(Rgb, Rgb) = default;
};

// The host never draws pure black: it is every picture's see-through colour.
inline constexpr Rgb see_through{0, 0, 0};
// What a drawn pixel that came out pure black is stored as instead.
inline constexpr Rgb nearest_opaque_black{1, 1, 1};

// A picture being drawn. Pixels left at least half transparent are stored as
// see-through; every other pixel is stored as drawn over black.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    cairo_t* cr() const { return cr_; }

    // Pixel-exact drawing, for pictures whose every pixel is prescribed.
    void put(int x, int y, Rgb colour);

    bool opaque(int x, int y) const;
    Rgb colour(int x, int y) const;  // as stored: see-through or drawn over black

private:
    uint32_t argb(int x, int y) const;

    int width_, height_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

struct IndexedPicture {
    int width = 0, height = 0;
    int pixels_per_metre = 0;
    std::array<Rgb, 256> palette{};
    std::vector<uint8_t> indices;  // top row first, width × height

    Rgb at(int x, int y) const { return palette[indices[size_t(y) * width + x]]; }
};

// Reduces a canvas to its own 256-entry colour table: exactly when it holds
// at most 256 colours, otherwise through libimagequant. Throws if the result
// would break the see-through rule.
IndexedPicture index_colours(const Canvas& canvas, int pixels_per_metre);

// The .bmp file: file header, 40-byte info header, 256 colour-table entries,
// rows bottom-up, each padded with zero bytes to a multiple of 4.
std::vector<uint8_t> bmp_file(const IndexedPicture& picture);
