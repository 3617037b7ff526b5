// The dial faces. Every mark and numeral sits where the gauge's scale puts
// it: the bearings come from the calibration tables the records are built
// from, so face and needle cannot disagree.
#include <cmath>
#include <numbers>
#include <string>

#include "drawing.h"
#include "gauges/engine/engine_instruments_geometry.h"
#include "gauges/engine/engine_tachometer_geometry.h"
#include "gauges/engine/fuel_quantity_geometry.h"
#include "gauges/engine/manifold_pressure_geometry.h"
#include "gauges/flight/airspeed_geometry.h"
#include "gauges/flight/direction_finder_geometry.h"
#include "gauges/flight/labs_instrument_geometry.h"
#include "gauges/flight/radar_altimeter_geometry.h"
#include "pictures.h"

namespace {

constexpr double full_turn = 2 * std::numbers::pi;
constexpr Rgb dark_grey{32, 32, 32};
constexpr Rgb plum_black{24, 16, 24};
constexpr Rgb blue_black{16, 16, 24};
constexpr Rgb warm_white{242, 236, 226};

// The shadow the bezel casts on a face's rim.
void rim_shadow(cairo_t* cr, double r) {
    cairo_pattern_t* shade = cairo_pattern_create_radial(r, r, r - 8, r, r, r);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0.5);
    cairo_set_source(cr, shade);
    cairo_arc(cr, r, r, r, 0, full_turn);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
}

// A circular face filling its square.
void round_face(Canvas& canvas, Rgb ground) {
    cairo_t* cr = canvas.cr();
    const double r = canvas.width() / 2.0;
    cairo_arc(cr, r, r, r, 0, full_turn);
    set_colour(cr, ground);
    cairo_fill(cr);
    rim_shadow(cr, r);
}

struct MarkStyle {
    double length, width;
};

void mark_at(cairo_t* cr, const Scale& scale, double value, MarkStyle style) {
    // Half a pixel past the point, so the point's own pixel is fully inked.
    radial_mark(cr, scale.pivot(), scale.bearing(value), scale.radius(value) + 0.7, style.length, style.width);
}

void numeral_at(cairo_t* cr, const Scale& scale, double value, const std::string& text, double gap,
                Lettering style) {
    numeral_inside(cr, text, scale.pivot(), scale.bearing(value), scale.radius(value) - gap, style);
}

constexpr MarkStyle long_mark{15, 3.0};
constexpr MarkStyle medium_mark{11, 2.4};
constexpr MarkStyle short_mark{8, 1.8};
constexpr Lettering big_numerals{15};
constexpr Lettering face_words{9, true, 1.2};

}  // namespace

void draw_airspeed_face(Canvas& canvas) {
    using namespace airspeed_geometry;
    cairo_t* cr = canvas.cr();
    round_face(canvas, dark_grey);
    const Scale scale(needle_pivot, calibration);
    set_colour(cr, off_white);

    auto numbered = [](int knots) {
        for (const ScalePoint& p : calibration) {
            if (p.value == knots) return true;
        }
        return false;
    };
    for (int knots = 60; knots <= 400; knots += 10) {
        bool is_long = numbered(knots) || knots == 250 || knots == 350;
        mark_at(cr, scale, knots, is_long ? long_mark : short_mark);
    }
    for (const ScalePoint& p : calibration) {
        if (p.value == 0) {
            // No mark: the numeral itself stands at the rim, its top stroke
            // on the calibration point.
            numeral_inside(cr, "0", scale.pivot(), scale.bearing(0), scale.radius(0) + 1.5, big_numerals);
        } else {
            numeral_at(cr, scale, p.value, std::to_string(int(p.value)), long_mark.length + 4, big_numerals);
        }
    }
    letter(cr, "KNOTS", {scale.pivot().x + 22, scale.pivot().y + 44}, face_words);
}

void draw_manifold_pressure_face(Canvas& canvas) {
    using namespace manifold_pressure_geometry;
    cairo_t* cr = canvas.cr();
    round_face(canvas, dark_grey);
    const Scale scale(needle_pivot, calibration);
    set_colour(cr, off_white);
    for (int inches = 10; inches <= 75; ++inches) {
        mark_at(cr, scale, inches, inches % 5 == 0 ? long_mark : short_mark);
    }
    for (int inches = 10; inches <= 70; inches += 10) {
        numeral_at(cr, scale, inches, std::to_string(inches), long_mark.length + 4, big_numerals);
    }
    numeral_at(cr, scale, 75, "75", long_mark.length + 4, Lettering{11});
    Point below_30 = along(scale.pivot(), scale.bearing(30), scale.radius(30) - 62);
    letter(cr, "MAN", below_30, Lettering{11, true, 1.5});
}

void draw_tachometer_face(Canvas& canvas) {
    using namespace engine_tachometer_geometry;
    cairo_t* cr = canvas.cr();
    round_face(canvas, dark_grey);
    // One turn per thousand RPM: a hundredth of a turn per 10 RPM, the
    // needle's 270 (three o'clock based) being the 0 at twelve o'clock.
    const double degrees_per_mark = degrees_per_rpm * 10;
    const Scale scale(needle_pivot, 0, angle_at_rest - 270, degrees_per_mark, 100, mark_radius);
    set_colour(cr, off_white);
    for (int i = 0; i < 100; ++i) {
        mark_at(cr, scale, i, i % 10 == 0 ? long_mark : i % 5 == 0 ? medium_mark : short_mark);
    }
    for (int hundreds = 0; hundreds <= 9; ++hundreds) {
        numeral_at(cr, scale, hundreds * 10, std::to_string(hundreds), long_mark.length + 4, Lettering{17});
    }
    letter(cr, "RPM", {scale.pivot().x, scale.pivot().y - 38}, Lettering{10, true, 1.5});
}

void draw_fuel_quantity_face(Canvas& canvas) {
    using namespace fuel_quantity_geometry;
    cairo_t* cr = canvas.cr();
    round_face(canvas, dark_grey);
    const Scale scale(needle_pivot, calibration);
    set_colour(cr, off_white);
    for (int pounds = 0; pounds <= 2500; pounds += 100) {
        mark_at(cr, scale, pounds, pounds % 500 == 0 ? long_mark : short_mark);
    }
    for (int pounds = 0; pounds <= 2500; pounds += 500) {
        numeral_at(cr, scale, pounds, std::to_string(pounds / 100), long_mark.length + 4, Lettering{16});
    }
    Point c = scale.pivot();
    letter(cr, "FUEL", {c.x, c.y - 46}, face_words);
    letter(cr, "QUANTITY", {c.x, c.y - 31}, face_words);
    letter(cr, "LBS. X 100", {c.x, c.y + 38}, Lettering{8, true, 1.0});
}

void draw_engine_instruments_face(Canvas& canvas) {
    using namespace engine_instruments_geometry;
    cairo_t* cr = canvas.cr();
    const double r = canvas.width() / 2.0;
    constexpr double band_top = 82, band_bottom = 91;
    constexpr double notch_half_width = 9;

    // Upper third plum, the rest blue-black.
    round_face(canvas, blue_black);
    cairo_save(cr);
    cairo_arc(cr, r, r, r - 1, 0, full_turn);
    cairo_clip(cr);
    cairo_rectangle(cr, 0, 0, canvas.width(), band_top + 1);
    set_colour(cr, plum_black);
    cairo_fill(cr);

    // The raised band, notched in its middle.
    auto band_part = [&](double x0, double x1) { cairo_rectangle(cr, x0, band_top, x1 - x0, band_bottom - band_top); };
    const double middle = centre_of(temperature_pivot).x;
    band_part(0, middle - notch_half_width);
    band_part(middle + notch_half_width, canvas.width());
    cairo_pattern_t* relief = cairo_pattern_create_linear(0, band_top, 0, band_bottom);
    cairo_pattern_add_color_stop_rgb(relief, 0, 96 / 255.0, 94 / 255.0, 106 / 255.0);
    cairo_pattern_add_color_stop_rgb(relief, 1, 44 / 255.0, 42 / 255.0, 52 / 255.0);
    cairo_set_source(cr, relief);
    cairo_fill(cr);
    cairo_pattern_destroy(relief);
    // Light along its top edge, shadow along its bottom edge and the notch.
    cairo_set_line_width(cr, 1.2);
    set_colour(cr, Rgb{112, 108, 120});
    cairo_move_to(cr, 0, band_top + 0.6);
    cairo_line_to(cr, middle - notch_half_width, band_top + 0.6);
    cairo_move_to(cr, middle + notch_half_width, band_top + 0.6);
    cairo_line_to(cr, canvas.width(), band_top + 0.6);
    cairo_stroke(cr);
    set_colour(cr, Rgb{10, 10, 16});
    cairo_move_to(cr, 0, band_bottom + 0.4);
    cairo_line_to(cr, middle - notch_half_width, band_bottom + 0.4);
    cairo_line_to(cr, middle - notch_half_width, band_top);
    cairo_move_to(cr, middle + notch_half_width + 0.6, band_top);
    cairo_line_to(cr, middle + notch_half_width + 0.6, band_bottom + 0.4);
    cairo_line_to(cr, canvas.width(), band_bottom + 0.4);
    cairo_stroke(cr);
    cairo_restore(cr);

    set_colour(cr, off_white);
    constexpr MarkStyle long_fine{11, 2.4}, short_fine{6, 1.4}, finest{5, 1.1};

    const Scale temperature(temperature_pivot, temperature_calibration);
    for (int celsius = -50; celsius <= 150; celsius += 10) {
        mark_at(cr, temperature, celsius, celsius % 50 == 0 ? long_fine : short_fine);
    }
    for (int celsius : {0, 50, 100}) {
        numeral_at(cr, temperature, celsius, std::to_string(celsius), long_fine.length + 3, Lettering{11});
    }
    letter(cr, "°C", along(temperature.pivot(), temperature.bearing(25), temperature.radius(25) - 31),
           Lettering{9});

    // The half-dials' numerals are small: a little tracking keeps their
    // digits apart.
    constexpr Lettering half_dial_numerals{9, true, 0.8};
    const Scale oil(oil_pivot, oil_calibration);
    for (int psi = 0; psi <= 200; psi += 10) {
        mark_at(cr, oil, psi, psi % 50 == 0 ? long_fine : short_fine);
    }
    for (int psi : {0, 100, 200}) {
        numeral_at(cr, oil, psi, std::to_string(psi), long_fine.length + 3, half_dial_numerals);
    }
    // Each word high in its half-dial, clear of the numerals either side.
    letter(cr, "OIL", along(oil.pivot(), 322.5, 27), Lettering{8, true, 1});

    const Scale fuel(fuel_pivot, fuel_calibration);
    for (int psi = 0; psi <= 36; ++psi) {
        // The scale's top end carries a long mark too: its calibration point.
        mark_at(cr, fuel, psi, psi % 5 == 0 || psi == 36 ? long_fine : finest);
    }
    for (int psi : {0, 10, 20, 30}) {
        numeral_at(cr, fuel, psi, std::to_string(psi), long_fine.length + 3, half_dial_numerals);
    }
    letter(cr, "FUEL", along(fuel.pivot(), 37.5, 27), Lettering{8, true, 1});
}

void draw_radar_altimeter_face(Canvas& canvas) {
    using namespace radar_altimeter_geometry;
    cairo_t* cr = canvas.cr();
    round_face(canvas, plum_black);
    const Scale scale(needle_pivot, calibration);
    set_colour(cr, warm_white);
    constexpr unsigned points = count_of(calibration);
    for (unsigned i = 0; i < points; ++i) {
        const double value = calibration[i].value;
        mark_at(cr, scale, value, long_mark);
        if (i + 1 == points) break;
        // Four short marks between numbered marks; two before the last one.
        const int steps = i + 2 == points ? 3 : 5;
        const double next = calibration[i + 1].value;
        for (int k = 1; k < steps; ++k) {
            mark_at(cr, scale, value + (next - value) * k / steps, short_mark);
        }
    }
    for (unsigned i = 0; i + 1 < points; ++i) {
        const int feet = int(calibration[i].value);
        std::string text = std::to_string(feet);
        numeral_at(cr, scale, feet, text, long_mark.length + 4, Lettering{text.size() > 3 ? 12.0 : 14.0});
    }
    Point c = scale.pivot();
    letter(cr, "RADAR", {c.x, c.y - 24}, face_words);
    letter(cr, "ALTIMETER", {c.x, c.y + 24}, face_words);
}

namespace {

constexpr Rgb cover_grey{118, 118, 124};

// The lower-left cover over both pointers' pivots: an L whose arms end in
// round bosses about the pivots, its outer edge the face's rim. The bosses
// and the arms' inner edges keep each pointer hidden for its first 15 to 17
// pixels out from the pivot, wherever it stands.
void cover_path(cairo_t* cr) {
    using namespace labs_instrument_geometry;
    const Point lateral = centre_of(lateral_pivot), vertical = centre_of(vertical_pivot);
    constexpr double boss = 16, arm_inset = 14.5, arm_top_above_pivot = 8, far = 400;
    auto angle = [](double dx, double dy) { return std::atan2(dy, dx); };

    const double arm_top = vertical.y - arm_top_above_pivot;
    const double top_meets_boss = std::sqrt(boss * boss - arm_top_above_pivot * arm_top_above_pivot);
    const double edge_meets_boss = std::sqrt(boss * boss - arm_inset * arm_inset);
    cairo_new_path(cr);
    cairo_move_to(cr, -far, arm_top);
    cairo_line_to(cr, vertical.x - top_meets_boss, arm_top);
    // Clockwise round the upper boss to the vertical arm's inner edge.
    cairo_arc(cr, vertical.x, vertical.y, boss, angle(-top_meets_boss, -arm_top_above_pivot),
              angle(arm_inset, edge_meets_boss));
    cairo_line_to(cr, vertical.x + arm_inset, lateral.y - arm_inset);
    cairo_line_to(cr, lateral.x - edge_meets_boss, lateral.y - arm_inset);
    // Clockwise round the lower boss, ending under its pivot.
    cairo_arc(cr, lateral.x, lateral.y, boss, angle(-edge_meets_boss, -arm_inset), angle(0, boss) + 2 * std::numbers::pi);
    cairo_line_to(cr, lateral.x, far);
    cairo_line_to(cr, -far, far);
    cairo_close_path(cr);
}

void draw_cover(Canvas& canvas) {
    using namespace labs_instrument_geometry;
    cairo_t* cr = canvas.cr();
    const double r = canvas.width() / 2.0;
    // Crackle-finish paint: a fine deterministic grain over mid grey.
    cairo_surface_t* paint = cairo_image_surface_create(CAIRO_FORMAT_RGB24, canvas.width(), canvas.height());
    unsigned char* data = cairo_image_surface_get_data(paint);
    const int stride = cairo_image_surface_get_stride(paint);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            double g = grain(x, y, 139) * 0.6 + grain(x / 2, y / 2, 7) * 0.4;
            int level = int(cover_grey.r - 12 + 24 * g);
            auto* px = reinterpret_cast<uint32_t*>(data + y * stride) + x;
            *px = uint32_t(level) << 16 | uint32_t(level) << 8 | uint32_t(level + 6);
        }
    }
    cairo_surface_mark_dirty(paint);

    cairo_save(cr);
    cairo_arc(cr, r, r, r, 0, full_turn);
    cairo_clip(cr);
    cover_path(cr);
    cairo_set_source_surface(cr, paint, 0, 0);
    cairo_fill_preserve(cr);
    cairo_clip_preserve(cr);
    // Bevel: light catching the upper edges, a dark line all round, and the
    // rim's shadow where the cover meets the bezel.
    cairo_set_line_width(cr, 5);
    set_colour(cr, Rgb{170, 170, 176}, 0.35);
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 2.2);
    set_colour(cr, Rgb{52, 52, 58});
    cairo_stroke(cr);
    rim_shadow(cr, r);
    cairo_restore(cr);
    cairo_surface_destroy(paint);

    // Screw heads over the pivots.
    for (PixelPoint p : {lateral_pivot, vertical_pivot}) {
        Point c = centre_of(p);
        cairo_arc(cr, c.x, c.y, 6, 0, full_turn);
        set_colour(cr, Rgb{84, 84, 90});
        cairo_fill_preserve(cr);
        set_colour(cr, Rgb{44, 44, 50});
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
        cairo_move_to(cr, c.x - 4, c.y + 2);
        cairo_line_to(cr, c.x + 4, c.y - 2);
        cairo_set_line_width(cr, 1.4);
        cairo_stroke(cr);
    }
}

}  // namespace

void draw_labs_face(Canvas& canvas) {
    using namespace labs_instrument_geometry;
    cairo_t* cr = canvas.cr();
    const double r = canvas.width() / 2.0;
    // Faint horizontal bands between two blue-blacks.
    cairo_save(cr);
    cairo_arc(cr, r, r, r, 0, full_turn);
    cairo_clip(cr);
    for (int y = 0; y < canvas.height(); ++y) {
        double t = 0.5 + 0.5 * std::sin(y * full_turn / 24);
        set_colour(cr, Rgb{uint8_t(14 + std::lround(10 * t)), 16, 24});
        cairo_rectangle(cr, 0, y, canvas.width(), 1);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    rim_shadow(cr, r);

    set_colour(cr, off_white);
    constexpr MarkStyle arc_long{12, 2.6}, arc_short{7, 1.8};
    const Scale lateral(lateral_pivot, lateral_calibration);
    for (int units = -900; units <= 900; units += 100) {
        mark_at(cr, lateral, units, units % 300 == 0 ? arc_long : arc_short);
    }
    // Numerals above the arc, clear of the right-hand scale's top.
    for (int units : {-900, 0, 900}) {
        numeral_outside(cr, units == 0 ? "0" : "9", lateral.pivot(), lateral.bearing(units),
                        lateral.radius(units) + 4, Lettering{14});
    }
    letter(cr, "LEFT", along(lateral.pivot(), lateral.bearing(-450), lateral.radius(-450) - 26), face_words);
    letter(cr, "RIGHT", along(lateral.pivot(), lateral.bearing(450), lateral.radius(450) - 26), face_words);

    const Scale vertical(vertical_pivot, vertical_calibration);
    for (int third = 3; third <= 21; ++third) {
        mark_at(cr, vertical, third / 3.0, third % 3 == 0 ? arc_long : arc_short);
    }
    for (int units = 1; units <= 7; ++units) {
        numeral_at(cr, vertical, units, std::to_string(units), arc_long.length + 4, Lettering{13});
    }
    // CLIMB and DIVE run down the right edge, one upright letter under the
    // next, between the scale and the rim.
    auto lettered_down = [&](std::string_view word, double first_y) {
        for (size_t i = 0; i < word.size(); ++i) {
            letter(cr, word.substr(i, 1), {vertical.pivot().x + vertical.radius(4) + 13, first_y + i * 14.0},
                   Lettering{10});
        }
    };
    lettered_down("CLIMB", vertical.pivot().y - 78);
    lettered_down("DIVE", vertical.pivot().y + 22);

    draw_cover(canvas);
}

void draw_labs_overlay(Canvas& canvas) {
    draw_cover(canvas);
}

void draw_direction_finder_face(Canvas& canvas) {
    using namespace direction_finder_geometry;
    cairo_t* cr = canvas.cr();
    // The dial disc is the deviation window's, 171 pixels across.
    const Point c{deviation_window.x + deviation_window_size.width / 2.0 + 0.5,
                  deviation_window.y + deviation_window_size.height / 2.0 + 0.5};
    const double r = (deviation_window_size.width + 1) / 2.0;

    cairo_pattern_t* ground = cairo_pattern_create_radial(c.x, c.y, 0, c.x, c.y, r);
    cairo_pattern_add_color_stop_rgb(ground, 0, 70 / 255.0, 74 / 255.0, 84 / 255.0);
    cairo_pattern_add_color_stop_rgb(ground, 0.55, 38 / 255.0, 40 / 255.0, 48 / 255.0);
    cairo_pattern_add_color_stop_rgb(ground, 0.93, 22 / 255.0, 22 / 255.0, 28 / 255.0);
    cairo_pattern_add_color_stop_rgb(ground, 1, 12 / 255.0, 12 / 255.0, 16 / 255.0);
    cairo_arc(cr, c.x, c.y, r, 0, full_turn);
    cairo_set_source(cr, ground);
    cairo_fill(cr);
    cairo_pattern_destroy(ground);

    set_colour(cr, off_white);
    for (double rim : {0.0, 180.0}) {
        for (int i = 0; i < 17; ++i) {
            const int from_middle = i - 8;
            double length = from_middle == 0 ? 15 : i % 2 == 0 ? 10 : 6;
            radial_mark(cr, c, rim + from_middle * 5.4, r - 4, length, i % 2 == 0 ? 2.2 : 1.6);
        }
    }
    cairo_set_line_width(cr, 1.6);
    cairo_move_to(cr, c.x - r, c.y);
    cairo_line_to(cr, c.x + r, c.y);
    cairo_stroke(cr);
    cairo_arc(cr, c.x, c.y, 12, 0, full_turn);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
}
