#include "host/base/image.h"

#include <algorithm>
#include <cmath>

#include "stb_easy_font.h"

namespace panelhost {

void composite(Rgba& target, Rgba source) {
    if (source.a == 255) {
        target = source;
        return;
    }
    if (source.a == 0) return;
    unsigned keep = 255 - source.a;
    auto mix = [keep](uint8_t s, uint8_t t) { return uint8_t(s + (t * keep + 127) / 255); };
    target = {mix(source.r, target.r), mix(source.g, target.g), mix(source.b, target.b),
              mix(source.a, target.a)};
}

Coverage::Coverage(const Image& picture) : rows(size_t(picture.height)) {
    left = picture.width;
    top = picture.height;
    for (int y = 0; y < picture.height; ++y) {
        const Rgba* row = &picture.pixels[size_t(y) * picture.width];
        Span& span = rows[y];
        for (int x = 0; x < picture.width; ++x) {
            if (row[x].a == 0) continue;  // premultiplied: clear in every channel
            if (span.empty()) span.first = x;
            span.last = x;
        }
        if (span.empty()) continue;
        left = std::min(left, span.first);
        right = std::max(right, span.last);
        top = std::min(top, y);
        bottom = y;
    }
    if (empty()) left = top = 0;
}

Coverage Coverage::whole(const Image& picture) {
    Coverage c;
    c.rows.assign(size_t(picture.height), Span{0, picture.width - 1});
    if (picture.width > 0 && picture.height > 0) c.right = picture.width - 1, c.bottom = picture.height - 1;
    return c;
}

Coverage::Span Coverage::in_rows(int y) const {
    Span both;
    for (int row : {y, y + 1}) {
        if (row < 0 || row >= int(rows.size()) || rows[row].empty()) continue;
        both.first = both.empty() ? rows[row].first : std::min(both.first, rows[row].first);
        both.last = std::max(both.last, rows[row].last);
    }
    return both;
}

namespace {

Rgba pixel_or_clear(const Image& image, int x, int y) {
    return image.contains(x, y) ? image.at(x, y) : Rgba{};
}

bool clear(Rgba p) { return p.r == 0 && p.g == 0 && p.b == 0 && p.a == 0; }

// floor(v) for the pixel positions the drawing loops sample: std::floor is a
// library call here, and this runs for every pixel drawn.
int floor_of(double v) {
    int i = int(v);
    return double(i) > v ? i - 1 : i;
}

// sample_bilinear for a position known to lie in [-1, width) x [-1, height).
Rgba sample_inside(const Image& image, double x, double y) {
    int x0 = floor_of(x), y0 = floor_of(y);
    double tx = x - x0, ty = y - y0;
    // Whole-pixel positions are copied exactly: strips and faces stay crisp.
    if (tx == 0 && ty == 0) return pixel_or_clear(image, x0, y0);
    Rgba p00 = pixel_or_clear(image, x0, y0), p10 = pixel_or_clear(image, x0 + 1, y0);
    Rgba p01 = pixel_or_clear(image, x0, y0 + 1), p11 = pixel_or_clear(image, x0 + 1, y0 + 1);
    // Four see-through pixels blend to see-through; most of a needle's
    // turned box is such.
    if (clear(p00) && clear(p10) && clear(p01) && clear(p11)) return {};
    double w00 = (1 - tx) * (1 - ty), w10 = tx * (1 - ty), w01 = (1 - tx) * ty, w11 = tx * ty;
    auto channel = [&](uint8_t Rgba::*c) {
        double v = p00.*c * w00 + p10.*c * w10 + p01.*c * w01 + p11.*c * w11;
        // The weights are non-negative and sum to 1, so v lies in [0, 255].
        return uint8_t(std::min(v + 0.5, 255.0));
    };
    return {channel(&Rgba::r), channel(&Rgba::g), channel(&Rgba::b), channel(&Rgba::a)};
}

// Narrows [lo, hi] to the d for which low < base + slope * d < high.
void narrow(double& lo, double& hi, double base, double slope, double low, double high) {
    if (slope == 0) {
        if (!(base > low && base < high)) lo = 1, hi = 0;
        return;
    }
    double a = (low - base) / slope, b = (high - base) / slope;
    if (slope < 0) std::swap(a, b);
    lo = std::max(lo, a);
    hi = std::min(hi, b);
}

}  // namespace

Rgba sample_bilinear(const Image& image, double x, double y) {
    // Beyond these, all four pixels blended lie outside (NaN too).
    if (!(x >= -1 && x < image.width && y >= -1 && y < image.height)) return {};
    return sample_inside(image, x, y);
}

void blit(Image& target, const Image& source, int x, int y) { blit(target, source, Coverage::whole(source), x, y); }

void blit(Image& target, const Image& source, const Coverage& coverage, int x, int y) {
    int from_y = std::max(coverage.top, -y), to_y = std::min(coverage.bottom, target.height - 1 - y);
    for (int sy = from_y; sy <= to_y; ++sy) {
        const Coverage::Span& span = coverage.rows[sy];
        int from_x = std::max(span.first, -x), to_x = std::min(span.last, target.width - 1 - x);
        Rgba* out = &target.at(0, y + sy);
        const Rgba* in = &source.at(0, sy);
        for (int sx = from_x; sx <= to_x; ++sx) composite(out[x + sx], in[sx]);
    }
}

void draw_rotated(Image& target, const Image& source, int pivot_x, int pivot_y, int at_x, int at_y,
                  double degrees) {
    draw_rotated(target, source, Coverage::whole(source), pivot_x, pivot_y, at_x, at_y, degrees);
}

void draw_rotated(Image& target, const Image& source, const Coverage& coverage, int pivot_x, int pivot_y,
                  int at_x, int at_y, double degrees) {
    if (coverage.empty()) return;
    double radians = degrees * (M_PI / 180.0);
    double c = std::cos(radians), s = std::sin(radians);
    // Exact quarter turns, so a needle at 0, 90, 180 or 270 is copied
    // without resampling.
    if (std::fabs(c) < 1e-12) c = 0;
    if (std::fabs(s) < 1e-12) s = 0;
    // Only a source position strictly inside this box has a covered pixel
    // among the four it blends; anywhere else the sample is see-through.
    const double sx_low = coverage.left - 1, sx_high = coverage.right + 1;
    const double sy_low = coverage.top - 1, sy_high = coverage.bottom + 1;
    // Bounding box of the turned box: its corners about the pivot.
    double x_min = 1e9, x_max = -1e9, y_min = 1e9, y_max = -1e9;
    for (double cx : {sx_low - pivot_x, sx_high - pivot_x}) {
        for (double cy : {sy_low - pivot_y, sy_high - pivot_y}) {
            double tx = c * cx - s * cy, ty = s * cx + c * cy;
            x_min = std::min(x_min, tx), x_max = std::max(x_max, tx);
            y_min = std::min(y_min, ty), y_max = std::max(y_max, ty);
        }
    }
    int x_lo = std::max(0, at_x + int(std::floor(x_min)) - 1);
    int x_hi = std::min(target.width - 1, at_x + int(std::ceil(x_max)) + 1);
    int y_lo = std::max(0, at_y + int(std::floor(y_min)) - 1);
    int y_hi = std::min(target.height - 1, at_y + int(std::ceil(y_max)) + 1);
    for (int ty = y_lo; ty <= y_hi; ++ty) {
        double dy = ty - at_y;
        // The turned box's crossing of this row, a pixel wider either side
        // for rounding; the test in the loop decides each pixel.
        double lo = x_lo - at_x, hi = x_hi - at_x;
        narrow(lo, hi, pivot_x + s * dy, c, sx_low, sx_high);
        narrow(lo, hi, pivot_y + c * dy, -s, sy_low, sy_high);
        if (lo > hi) continue;
        int from = std::max(x_lo, at_x + int(std::floor(lo)) - 1);
        int to = std::min(x_hi, at_x + int(std::ceil(hi)) + 1);
        Rgba* out = &target.at(0, ty);
        for (int tx = from; tx <= to; ++tx) {
            double dx = tx - at_x;
            // Inverse turn: which source position lands on this pixel.
            double sx = pivot_x + c * dx + s * dy;
            double sy = pivot_y - s * dx + c * dy;
            if (sx <= sx_low || sy <= sy_low || sx >= sx_high || sy >= sy_high) continue;
            composite(out[tx], sample_inside(source, sx, sy));
        }
    }
}

void draw_through_window(Image& target, const Image& source, const Image& window, int x, int y,
                         double offset_x, double offset_y) {
    draw_through_window(target, source, Coverage::whole(source), window, Coverage::whole(window), x, y, offset_x,
                        offset_y);
}

void draw_through_window(Image& target, const Image& source, const Coverage& source_coverage,
                         const Image& window, const Coverage& window_coverage, int x, int y, double offset_x,
                         double offset_y) {
    if (!std::isfinite(offset_x) || !std::isfinite(offset_y)) return;
    for (int wy = 0; wy < window.height; ++wy) {
        int ty = y + wy;
        if (ty < 0 || ty >= target.height) continue;
        double sy = wy + offset_y;
        if (!(sy >= -1 && sy < source.height)) continue;
        // The source columns the samples of this row blend, as window
        // columns: wx + offset_x strictly between first - 1 and last + 1.
        Coverage::Span covered = source_coverage.in_rows(floor_of(sy));
        const Coverage::Span& open = window_coverage.rows[wy];
        if (covered.empty() || open.empty()) continue;
        double lo = std::max({double(open.first), double(-x), std::floor(covered.first - 1 - offset_x)});
        double hi = std::min({double(open.last), double(target.width - 1 - x), std::ceil(covered.last + 1 - offset_x)});
        if (lo > hi) continue;
        for (int wx = int(lo); wx <= int(hi); ++wx) {
            if (window.at(wx, wy).a == 0) continue;  // outside the window
            composite(target.at(x + wx, ty), sample_bilinear(source, wx + offset_x, sy));
        }
    }
}

void draw_outline(Image& target, int left, int top, int right, int bottom, Rgba colour) {
    for (int x = left; x <= right; ++x)
        for (int y : {top, bottom})
            if (target.contains(x, y)) target.at(x, y) = colour;
    for (int y = top; y <= bottom; ++y)
        for (int x : {left, right})
            if (target.contains(x, y)) target.at(x, y) = colour;
}

int text_width(const std::string& text, int scale) {
    return stb_easy_font_width(const_cast<char*>(text.c_str())) * scale;
}

int draw_text(Image& target, int x, int y, const std::string& text, Rgba colour, int scale) {
    struct Vertex {
        float x, y, z;
        unsigned char colour[4];
    };
    std::vector<Vertex> quads(text.size() * 80 + 16);
    int count = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr, quads.data(),
                                    int(quads.size() * sizeof(Vertex)));
    for (int q = 0; q < count; ++q) {
        const Vertex* v = &quads[size_t(q) * 4];
        // Every quad is an axis-aligned rectangle: corners 0 and 2 span it.
        int x0 = x + int(std::lround(v[0].x * scale)), y0 = y + int(std::lround(v[0].y * scale));
        int x1 = x + int(std::lround(v[2].x * scale)), y1 = y + int(std::lround(v[2].y * scale));
        for (int py = std::max(0, y0); py < std::min(target.height, y1); ++py)
            for (int px = std::max(0, x0); px < std::min(target.width, x1); ++px)
                composite(target.at(px, py), colour);
    }
    return text_width(text, scale);
}

}  // namespace panelhost
