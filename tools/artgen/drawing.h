// Drawing vocabulary shared by every picture: colours, directions on a face,
// scales built from the gauges' calibration tables, marks and lettering.
#pragma once

#include <cairo.h>

#include <span>
#include <string_view>
#include <vector>

#include "module/dial_geometry.h"
#include "picture.h"

inline constexpr Rgb off_white{253, 248, 236};
inline constexpr Rgb tail_dark{36, 47, 65};
inline constexpr Rgb tail_outline{18, 24, 34};

void set_colour(cairo_t* cr, Rgb c, double alpha = 1.0);

struct Point {
    double x, y;
};

// The centre of a pixel: pivots and calibration points name pixels.
constexpr Point centre_of(PixelPoint p) {
    return {p.x + 0.5, p.y + 0.5};
}

// Directions on a face are bearings: degrees clockwise from twelve o'clock.
Point along(Point from, double bearing, double distance);
double bearing_of(Point from, Point to);
double distance(Point a, Point b);

// A dial scale about a pivot: the bearing of each value, spaced evenly in
// angle and linearly in value between neighbouring calibration points, and
// the radius of the outer end of its mark, which passes through each point.
class Scale {
public:
    Scale(PixelPoint pivot, std::span<const ScalePoint> calibration);
    // A linear scale with no calibration table (the tachometer's).
    Scale(PixelPoint pivot, double first_value, double first_bearing, double degrees_per_unit,
          double last_value, double radius);

    Point pivot() const { return pivot_; }
    double bearing(double value) const;
    double radius(double value) const;
    Point outer_end(double value) const { return along(pivot_, bearing(value), radius(value)); }

private:
    struct Stop {
        double value, bearing, radius;
    };
    double interpolate(double value, double Stop::*field) const;

    Point pivot_;
    std::vector<Stop> stops_;  // bearings unwrapped so that they only grow
};

// A radial mark reaching from `outer` inward by `length`.
void radial_mark(cairo_t* cr, Point pivot, double bearing, double outer, double length, double width);

// Upright lettering, sized and placed by its ink so that every glyph lands
// where it is meant to whatever the font's side bearings.
struct Lettering {
    double height;  // ink height of a capital or a digit, pixels
    bool bold = true;
    double tracking = 0;  // extra space between letters, pixels
};

struct InkBox {
    double width, height;
};
InkBox ink_box(cairo_t* cr, std::string_view text, Lettering style);
// Draws text with its ink box centred on `centre`.
void letter(cairo_t* cr, std::string_view text, Point centre, Lettering style);
// Draws a numeral inside a scale: its ink box just inside `inner` along the
// bearing, whatever the bearing.
void numeral_inside(cairo_t* cr, std::string_view text, Point pivot, double bearing, double inner,
                    Lettering style);
void numeral_outside(cairo_t* cr, std::string_view text, Point pivot, double bearing, double outer,
                     Lettering style);

// Fixed font settings, so that the art does not depend on a user's font
// configuration; fails unless the typeface really is installed.
void use_face_font(cairo_t* cr);
void require_typeface();

// Deterministic per-pixel noise in [0, 1), for textured paint.
double grain(int x, int y, unsigned seed);
