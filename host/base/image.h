// Pictures as the host keeps them: premultiplied RGBA, 8 bits a channel, so
// see-through pixels are (0, 0, 0, 0) and resampling never bleeds black
// fringes into a needle's edge.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelhost {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

inline constexpr Rgba opaque(uint8_t r, uint8_t g, uint8_t b) { return {r, g, b, 255}; }

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;  // row-major from the top row

    Image() = default;
    Image(int w, int h, Rgba fill = {}) : width(w), height(h), pixels(size_t(w) * h, fill) {}

    Rgba& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    const Rgba& at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// `source` drawn over `target` (premultiplied "over").
void composite(Rgba& target, Rgba source);

// Where a picture is not see-through, row by row. See-through pixels change
// nothing they are drawn over, so drawing visits only these parts: worked
// out once for a picture that is drawn again and again.
struct Coverage {
    struct Span {
        int first = 0, last = -1;  // columns; none when last < first
        bool empty() const { return last < first; }
    };
    std::vector<Span> rows;
    int left = 0, top = 0, right = -1, bottom = -1;  // the box around them all

    explicit Coverage(const Image& picture);
    // Every pixel counted as drawn: for a picture drawn once.
    static Coverage whole(const Image& picture);
    bool empty() const { return right < left; }
    // The columns covered in either of rows y and y + 1 (rows outside the
    // picture cover none).
    Span in_rows(int y) const;

private:
    Coverage() = default;
};

// Bilinear sample at a fractional pixel-index position; outside the picture
// reads as see-through.
Rgba sample_bilinear(const Image& image, double x, double y);

// Draws `source` with its top-left corner at (x, y).
void blit(Image& target, const Image& source, int x, int y);
void blit(Image& target, const Image& source, const Coverage& coverage, int x, int y);

// Draws `source` turned clockwise by `degrees` about its pixel `pivot_x,
// pivot_y`, that pixel landing on the target's pixel (at_x, at_y).
void draw_rotated(Image& target, const Image& source, int pivot_x, int pivot_y, int at_x, int at_y,
                  double degrees);
void draw_rotated(Image& target, const Image& source, const Coverage& coverage, int pivot_x, int pivot_y,
                  int at_x, int at_y, double degrees);

// Draws `source` shifted left/up by (offset_x, offset_y) pixels (fractional
// offsets blend neighbouring rows or columns), seen only through `window`:
// the window's top-left on the target is (x, y), and its see-through pixels
// hide the source.
void draw_through_window(Image& target, const Image& source, const Image& window, int x, int y,
                         double offset_x, double offset_y);
void draw_through_window(Image& target, const Image& source, const Coverage& source_coverage,
                         const Image& window, const Coverage& window_coverage, int x, int y, double offset_x,
                         double offset_y);

// The edges of the box from (left, top) to (right, bottom), inclusive, a
// pixel wide; what falls outside `target` is left out.
void draw_outline(Image& target, int left, int top, int right, int bottom, Rgba colour);

// Label text in a small built-in font, `scale` target pixels per font unit;
// returns the width drawn. Text height is 12 units a line.
int draw_text(Image& target, int x, int y, const std::string& text, Rgba colour, int scale = 1);
int text_width(const std::string& text, int scale = 1);

}  // namespace panelhost
