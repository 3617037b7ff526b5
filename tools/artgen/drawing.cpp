#include "drawing.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string>

namespace {

constexpr double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

constexpr const char* typeface = "B612";

}  // namespace

void set_colour(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

Point along(Point from, double bearing, double distance) {
    return {from.x + distance * std::sin(radians(bearing)), from.y - distance * std::cos(radians(bearing))};
}

double bearing_of(Point from, Point to) {
    double b = std::atan2(to.x - from.x, from.y - to.y) * 180 / std::numbers::pi;
    return b < 0 ? b + 360 : b;
}

double distance(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

Scale::Scale(PixelPoint pivot, std::span<const ScalePoint> calibration) : pivot_(centre_of(pivot)) {
    if (calibration.size() < 2) throw std::invalid_argument("a scale needs at least two calibration points");
    double unwrapped = 0;
    for (size_t i = 0; i < calibration.size(); ++i) {
        Point at = centre_of(calibration[i].at);
        double b = bearing_of(pivot_, at);
        if (i == 0) {
            unwrapped = b;
        } else {
            // Tables are listed clockwise: each point lies a clockwise turn of
            // less than a full circle past the one before.
            double step = std::fmod(b - std::fmod(unwrapped, 360) + 720, 360);
            unwrapped += step;
        }
        stops_.push_back({calibration[i].value, unwrapped, distance(pivot_, at)});
    }
}

Scale::Scale(PixelPoint pivot, double first_value, double first_bearing, double degrees_per_unit,
             double last_value, double radius)
    : pivot_(centre_of(pivot)),
      stops_{{first_value, first_bearing, radius},
             {last_value, first_bearing + (last_value - first_value) * degrees_per_unit, radius}} {}

double Scale::interpolate(double value, double Stop::*field) const {
    size_t segment = 0;
    for (size_t i = 0; i + 1 < stops_.size(); ++i) {
        double lo = std::min(stops_[i].value, stops_[i + 1].value);
        double hi = std::max(stops_[i].value, stops_[i + 1].value);
        if (value >= lo && value <= hi) {
            segment = i;
            break;
        }
        if (i + 2 == stops_.size()) {
            throw std::out_of_range("value " + std::to_string(value) + " lies outside the scale's calibration");
        }
    }
    const Stop& a = stops_[segment];
    const Stop& b = stops_[segment + 1];
    double t = (value - a.value) / (b.value - a.value);
    return a.*field + t * (b.*field - a.*field);
}

double Scale::bearing(double value) const {
    return std::fmod(interpolate(value, &Stop::bearing), 360);
}

double Scale::radius(double value) const {
    return interpolate(value, &Stop::radius);
}

void radial_mark(cairo_t* cr, Point pivot, double bearing, double outer, double length, double width) {
    Point a = along(pivot, bearing, outer);
    Point b = along(pivot, bearing, outer - length);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_stroke(cr);
}

void use_face_font(cairo_t* cr) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

void require_typeface() {
    for (const char* style : {"B612:bold", "B612"}) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(style));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcChar8* family = nullptr;
        bool found = match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
                     std::string(reinterpret_cast<char*>(family)) == typeface;
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
        if (!found) {
            throw std::runtime_error(std::string("typeface ") + style +
                                     " is not installed (Debian package fonts-b612)");
        }
    }
}

namespace {

void select(cairo_t* cr, Lettering style) {
    cairo_select_font_face(cr, typeface, CAIRO_FONT_SLANT_NORMAL,
                           style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    // Size the font so that a capital (and so a digit) is `height` tall.
    cairo_set_font_size(cr, 100);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "H", &e);
    cairo_set_font_size(cr, 100 * style.height / e.height);
}

// Ink extents of a run of glyphs laid out with extra tracking.
struct Run {
    double x_bearing, y_bearing, width, height;
    std::vector<double> pen;  // each glyph's pen position
};

Run lay_out(cairo_t* cr, std::string_view text, Lettering style) {
    Run run{0, 0, 0, 0, {}};
    double pen = 0, left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    // Work glyph by glyph (UTF-8 sequences kept whole) so tracking applies.
    for (size_t i = 0; i < text.size();) {
        size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
        std::string glyph(text.substr(i, n));
        cairo_text_extents_t e;
        cairo_text_extents(cr, glyph.c_str(), &e);
        run.pen.push_back(pen);
        if (e.width > 0) {
            left = std::min(left, pen + e.x_bearing);
            right = std::max(right, pen + e.x_bearing + e.width);
            top = std::min(top, e.y_bearing);
            bottom = std::max(bottom, e.y_bearing + e.height);
        }
        pen += e.x_advance + style.tracking;
        i += n;
    }
    run.x_bearing = left;
    run.y_bearing = top;
    run.width = right - left;
    run.height = bottom - top;
    return run;
}

}  // namespace

InkBox ink_box(cairo_t* cr, std::string_view text, Lettering style) {
    select(cr, style);
    Run run = lay_out(cr, text, style);
    return {run.width, run.height};
}

void letter(cairo_t* cr, std::string_view text, Point centre, Lettering style) {
    select(cr, style);
    Run run = lay_out(cr, text, style);
    double x0 = centre.x - run.width / 2 - run.x_bearing;
    double y0 = centre.y - run.height / 2 - run.y_bearing;
    size_t g = 0;
    for (size_t i = 0; i < text.size(); ++g) {
        size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
        std::string glyph(text.substr(i, n));
        cairo_move_to(cr, x0 + run.pen[g], y0);
        cairo_show_text(cr, glyph.c_str());
        i += n;
    }
    cairo_new_path(cr);
}

namespace {

// How far the ink box's centre lies from its edge, seen along a bearing.
double half_depth(InkBox box, double bearing) {
    return std::abs(box.width / 2 * std::sin(radians(bearing))) +
           std::abs(box.height / 2 * std::cos(radians(bearing)));
}

}  // namespace

void numeral_inside(cairo_t* cr, std::string_view text, Point pivot, double bearing, double inner,
                    Lettering style) {
    InkBox box = ink_box(cr, text, style);
    letter(cr, text, along(pivot, bearing, inner - half_depth(box, bearing)), style);
}

void numeral_outside(cairo_t* cr, std::string_view text, Point pivot, double bearing, double outer,
                     Lettering style) {
    InkBox box = ink_box(cr, text, style);
    letter(cr, text, along(pivot, bearing, outer + half_depth(box, bearing)), style);
}

double grain(int x, int y, unsigned seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0x1000000);
}
