// Digit strips, their window masks, and the direction finder's deviation bar
// with its round window: pictures whose every pixel is prescribed.
#include <cmath>
#include <string>

#include "drawing.h"
#include "gauges/engine/engine_tachometer_geometry.h"
#include "gauges/flight/direction_finder_geometry.h"
#include "pictures.h"

namespace {

constexpr Rgb strip_ground{8, 8, 8};
constexpr Rgb window{1, 1, 1};
constexpr Rgb window_dots{107, 107, 117};

void fill(Canvas& canvas, Rgb colour) {
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) canvas.put(x, y, colour);
    }
}

// Eleven cells, 0 to 9 and 0 again, each digit `digit_height` tall (its own
// ink, round digits included) and centred across; `lift` raises it above the
// cell's centre. Ink tops land on whole pixels so the digits stay crisp.
void digit_strip(Canvas& canvas, int pitch, double digit_height, int lift, Rgb ink) {
    fill(canvas, strip_ground);
    cairo_t* cr = canvas.cr();
    use_face_font(cr);
    cairo_select_font_face(cr, "B612", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    set_colour(cr, ink);
    for (int cell = 0; cell < 11; ++cell) {
        const std::string digit = std::to_string(cell % 10);
        cairo_set_font_size(cr, 100);
        cairo_text_extents_t e;
        cairo_text_extents(cr, digit.c_str(), &e);
        const double size = 100 * digit_height / e.height;
        cairo_set_font_size(cr, size);
        cairo_text_extents(cr, digit.c_str(), &e);
        const double top = cell * pitch + std::floor((pitch - digit_height) / 2) - lift;
        const double left = (canvas.width() - e.width) / 2;
        cairo_move_to(cr, left - e.x_bearing, top - e.y_bearing);
        cairo_show_text(cr, digit.c_str());
        cairo_new_path(cr);
    }
}

// A rectangular window: no pure black at all, grey dots along its edges.
void dotted_rows(Canvas& canvas, std::initializer_list<int> rows) {
    for (int y : rows) {
        for (int x = 0; x < canvas.width(); x += 2) canvas.put(x, y, window_dots);
    }
}

}  // namespace

void draw_tachometer_strip(Canvas& canvas) {
    digit_strip(canvas, engine_tachometer_geometry::drum_cell_pitch, 29, 0, Rgb{253, 248, 235});
}

void draw_tachometer_strip_mask(Canvas& canvas) {
    fill(canvas, window);
    for (int x = 0; x < canvas.width(); ++x) canvas.put(x, 0, window_dots);
    dotted_rows(canvas, {1, canvas.height() - 1});
}

void draw_frequency_strip(Canvas& canvas) {
    digit_strip(canvas, direction_finder_geometry::drum_cell_pitch, 21, 1, Rgb{255, 255, 255});
}

void draw_frequency_strip_mask(Canvas& canvas) {
    fill(canvas, window);
    dotted_rows(canvas, {0, canvas.height() - 1});
}

// One vertical bar, 7 wide with a dark outline, centred on column 145: the
// window's centre column (85) at the middle of the axis (travel 60 of 120).
void draw_deviation_bar(Canvas& canvas) {
    using namespace direction_finder_geometry;
    const int travel = deviation_image.width - deviation_window_size.width;
    const int centre = deviation_window_size.width / 2 + travel / 2;
    constexpr int half_width = 3, top = 6, bottom = 162;
    for (int y = top; y <= bottom; ++y) {
        for (int x = centre - half_width; x <= centre + half_width; ++x) {
            bool edge = y == top || y == bottom || x == centre - half_width || x == centre + half_width;
            canvas.put(x, y, edge ? Rgb{40, 44, 56} : off_white);
        }
    }
}

// The round window: a disc 168 across, one pixel in from each side.
void draw_deviation_window(Canvas& canvas) {
    const double c = (canvas.width() - 1) / 2.0;
    const double radius = (canvas.width() - 2) / 2.0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (std::hypot(x - c, y - c) <= radius) canvas.put(x, y, window);
        }
    }
}
