// Needle pictures: lying horizontally, tip in the last column on the pivot's
// row, the pivot pixel where the records say the host turns them.
#include <cmath>
#include <numbers>

#include "drawing.h"
#include "gauges/engine/engine_instruments_geometry.h"
#include "gauges/engine/fuel_quantity_geometry.h"
#include "gauges/flight/airspeed_geometry.h"
#include "gauges/flight/labs_instrument_geometry.h"
#include "gauges/flight/radar_altimeter_geometry.h"
#include "pictures.h"

namespace {

constexpr double full_turn = 2 * std::numbers::pi;

// Half-widths along a needle, from a point on its axis outward.
struct Taper {
    double x, half_width;
};

// A symmetric outline through the tapers, closed along the axis ends.
void tapered(cairo_t* cr, double axis_y, std::initializer_list<Taper> profile) {
    cairo_new_path(cr);
    for (const Taper& t : profile) cairo_line_to(cr, t.x, axis_y - t.half_width);
    for (auto t = std::rbegin(profile); t != std::rend(profile); ++t) cairo_line_to(cr, t->x, axis_y + t->half_width);
    cairo_close_path(cr);
}

void fill_and_outline(cairo_t* cr, Rgb fill, Rgb outline, double outline_width) {
    set_colour(cr, fill);
    cairo_fill_preserve(cr);
    set_colour(cr, outline);
    cairo_set_line_width(cr, outline_width);
    cairo_stroke(cr);
}

// A plain off-white blade: over the dark faces it reads best unshaded.
void blade(cairo_t* cr, double axis_y, std::initializer_list<Taper> profile) {
    tapered(cr, axis_y, profile);
    set_colour(cr, off_white);
    cairo_fill(cr);
}

void disc(cairo_t* cr, Point c, double radius) {
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, radius, 0, full_turn);
}

// A turned metal hub: dark, with a lighter bevel and a pin in the middle.
void hub(cairo_t* cr, Point c, double radius) {
    disc(cr, c, radius);
    fill_and_outline(cr, tail_dark, tail_outline, 1.2);
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, radius - 1.6, 0, full_turn);
    set_colour(cr, Rgb{78, 90, 110});
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    disc(cr, c, radius / 3.5);
    set_colour(cr, Rgb{92, 100, 112});
    cairo_fill(cr);
}

// A dark arm from `arm_end` back to a disc counterweight at the picture's
// left end; the disc is drawn over the arm so its outline stays whole.
void counterweighted_arm(cairo_t* cr, double axis_y, double weight_radius, double arm_end) {
    cairo_new_path(cr);
    cairo_rectangle(cr, weight_radius, axis_y - 2.5, arm_end - weight_radius, 5);
    fill_and_outline(cr, tail_dark, tail_outline, 1.2);
    disc(cr, {weight_radius + 0.3, axis_y}, weight_radius);
    fill_and_outline(cr, tail_dark, tail_outline, 1.2);
    cairo_new_path(cr);
    cairo_arc(cr, weight_radius + 0.3, axis_y, weight_radius - 1.8, 0, full_turn);
    set_colour(cr, Rgb{62, 74, 92});
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// The tip: the blade narrows to about a pixel in the last column.
constexpr double tip_half_width = 0.8;

}  // namespace

void draw_main_needle(Canvas& canvas) {
    using namespace airspeed_geometry;
    cairo_t* cr = canvas.cr();
    const Point pivot = centre_of(needle_pivot_in_picture);
    const double tip = needle_picture.width;
    const double y = pivot.y;
    const double weight_radius = needle_picture.height / 2.0 - 0.3;

    // Counterweighted tail: an arm back to a disc at the picture's left end.
    counterweighted_arm(cr, y, weight_radius, pivot.x);
    // Blade root between hub and blade.
    tapered(cr, y, {{pivot.x, 4.5}, {pivot.x + 13, 4.5}});
    fill_and_outline(cr, tail_dark, tail_outline, 1.0);
    hub(cr, pivot, 7.5);
    // Blade: 13 wide from 12 out, tapering to the tip.
    blade(cr, y, {{pivot.x + 12, 6.5}, {pivot.x + 80, 5.0}, {tip - 22, 3.6}, {tip, tip_half_width}});
}

void draw_fuel_needle(Canvas& canvas) {
    using namespace fuel_quantity_geometry;
    cairo_t* cr = canvas.cr();
    const Point pivot = centre_of(needle_pivot_in_picture);
    const double tip = needle_picture.width;
    const double y = pivot.y;
    const double weight_radius = needle_picture.height / 2.0 - 0.3;
    const double blade_start = pivot.x - 26;

    counterweighted_arm(cr, y, weight_radius, blade_start + 1);
    // A plain bar through the pivot, no hub.
    blade(cr, y, {{blade_start, 6.5}, {pivot.x + 70, 6.5}, {tip - 24, 4.5}, {tip, tip_half_width}});
}

void draw_temperature_needle(Canvas& canvas) {
    using namespace engine_instruments_geometry;
    cairo_t* cr = canvas.cr();
    const Point pivot = centre_of(temperature_pivot_in_picture);
    const double tip = temperature_needle_picture.width;
    // Only the outer blade: nothing within 54 pixels of the pivot.
    const double start = temperature_pivot_in_picture.x + 54;
    cairo_save(cr);
    cairo_rectangle(cr, start, 0, tip - start, temperature_needle_picture.height);
    cairo_clip(cr);
    blade(cr, pivot.y, {{start, 4.5}, {start + 30, 3.4}, {tip, tip_half_width}});
    cairo_restore(cr);
}

void draw_pressure_needle(Canvas& canvas) {
    using namespace engine_instruments_geometry;
    cairo_t* cr = canvas.cr();
    const Point pivot = centre_of(pressure_pivot_in_picture);
    const double tip = pressure_needle_picture.width;
    const double top = 0.3, bottom = pressure_needle_picture.height - 0.3;
    const double y = pivot.y;

    // Shield-shaped tail, the full height of the picture: square at its
    // back end, curving in to the pivot.
    cairo_new_path(cr);
    cairo_move_to(cr, 0.6, top);
    cairo_line_to(cr, 9, top);
    cairo_curve_to(cr, 13.5, top + 1, pivot.x - 1, y - 5, pivot.x + 1.5, y);
    cairo_curve_to(cr, pivot.x - 1, y + 5, 13.5, bottom - 1, 9, bottom);
    cairo_line_to(cr, 0.6, bottom);
    // The shield's top edge, slightly hollowed.
    cairo_curve_to(cr, 2.2, y + 4, 2.2, y - 4, 0.6, top);
    cairo_close_path(cr);
    fill_and_outline(cr, tail_dark, tail_outline, 1.2);

    blade(cr, y, {{pivot.x - 1, 3.6}, {pivot.x + 14, 3.2}, {tip, tip_half_width}});
    disc(cr, pivot, 2.8);
    fill_and_outline(cr, tail_dark, tail_outline, 0.8);
}

void draw_radar_altimeter_needle(Canvas& canvas) {
    using namespace radar_altimeter_geometry;
    cairo_t* cr = canvas.cr();
    const Point pivot = centre_of(needle_pivot_in_picture);
    const double tip = needle_picture.width;
    const double y = pivot.y;
    const double end_half_height = needle_picture.height / 2.0 - 0.3;

    // Long wedge tail, widening to the picture's full height at its end.
    tapered(cr, y, {{0.6, end_half_height}, {pivot.x, 3}});
    fill_and_outline(cr, tail_dark, tail_outline, 1.2);
    tapered(cr, y, {{pivot.x, 3.5}, {pivot.x + 13, 3.5}});
    fill_and_outline(cr, tail_dark, tail_outline, 1.0);
    hub(cr, pivot, 6.5);
    blade(cr, y, {{pivot.x + 12, 5.0}, {pivot.x + 80, 4.0}, {tip - 20, 3.0}, {tip, tip_half_width}});
}

void draw_labs_pointer(Canvas& canvas) {
    using namespace labs_instrument_geometry;
    cairo_t* cr = canvas.cr();
    const Point pivot = centre_of(pointer_pivot_in_picture);
    const double tip = pointer_picture.width;
    // A long plain bar, 15 wide with a dark outline, tapering to the tip; its
    // pivot end lies under the instrument's cover.
    tapered(cr, pivot.y, {{0, 7.5}, {tip - 40, 7.5}, {tip, 1.2}});
    set_colour(cr, Rgb{30, 34, 44});
    cairo_fill(cr);
    tapered(cr, pivot.y, {{0, 6.2}, {tip - 40, 6.2}, {tip - 1.6, 0.7}});
    set_colour(cr, off_white);
    cairo_fill(cr);
}
