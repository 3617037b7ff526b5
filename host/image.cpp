#include "host/image.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "stb_easy_font.h"
#include "stb_image_write.h"

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

namespace {

Rgba pixel_or_clear(const Image& image, int x, int y) {
    return image.contains(x, y) ? image.at(x, y) : Rgba{};
}

}  // namespace

Rgba sample_bilinear(const Image& image, double x, double y) {
    double fx = std::floor(x), fy = std::floor(y);
    int x0 = int(fx), y0 = int(fy);
    double tx = x - fx, ty = y - fy;
    // Whole-pixel positions are copied exactly: strips and faces stay crisp.
    if (tx == 0 && ty == 0) return pixel_or_clear(image, x0, y0);
    Rgba p00 = pixel_or_clear(image, x0, y0), p10 = pixel_or_clear(image, x0 + 1, y0);
    Rgba p01 = pixel_or_clear(image, x0, y0 + 1), p11 = pixel_or_clear(image, x0 + 1, y0 + 1);
    double w00 = (1 - tx) * (1 - ty), w10 = tx * (1 - ty), w01 = (1 - tx) * ty, w11 = tx * ty;
    auto channel = [&](uint8_t Rgba::*c) {
        double v = p00.*c * w00 + p10.*c * w10 + p01.*c * w01 + p11.*c * w11;
        // The weights are non-negative and sum to 1, so v lies in [0, 255].
        return uint8_t(std::min(v + 0.5, 255.0));
    };
    return {channel(&Rgba::r), channel(&Rgba::g), channel(&Rgba::b), channel(&Rgba::a)};
}

void blit(Image& target, const Image& source, int x, int y) {
    for (int sy = 0; sy < source.height; ++sy) {
        int ty = y + sy;
        if (ty < 0 || ty >= target.height) continue;
        for (int sx = 0; sx < source.width; ++sx) {
            int tx = x + sx;
            if (tx < 0 || tx >= target.width) continue;
            composite(target.at(tx, ty), source.at(sx, sy));
        }
    }
}

void draw_rotated(Image& target, const Image& source, int pivot_x, int pivot_y, int at_x, int at_y,
                  double degrees) {
    double radians = degrees * (M_PI / 180.0);
    double c = std::cos(radians), s = std::sin(radians);
    // Exact quarter turns, so a needle at 0, 90, 180 or 270 is copied
    // without resampling.
    if (std::fabs(c) < 1e-12) c = 0;
    if (std::fabs(s) < 1e-12) s = 0;
    // Bounding box of the turned picture: its corners about the pivot.
    double x_min = 1e9, x_max = -1e9, y_min = 1e9, y_max = -1e9;
    for (double cx : {-1.0 - pivot_x, double(source.width - pivot_x)}) {
        for (double cy : {-1.0 - pivot_y, double(source.height - pivot_y)}) {
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
        for (int tx = x_lo; tx <= x_hi; ++tx) {
            double dx = tx - at_x;
            // Inverse turn: which source position lands on this pixel.
            double sx = pivot_x + c * dx + s * dy;
            double sy = pivot_y - s * dx + c * dy;
            if (sx <= -1 || sy <= -1 || sx >= source.width || sy >= source.height) continue;
            composite(target.at(tx, ty), sample_bilinear(source, sx, sy));
        }
    }
}

void draw_through_window(Image& target, const Image& source, const Image& window, int x, int y,
                         double offset_x, double offset_y) {
    for (int wy = 0; wy < window.height; ++wy) {
        int ty = y + wy;
        if (ty < 0 || ty >= target.height) continue;
        for (int wx = 0; wx < window.width; ++wx) {
            int tx = x + wx;
            if (tx < 0 || tx >= target.width) continue;
            if (window.at(wx, wy).a == 0) continue;  // outside the window
            composite(target.at(tx, ty), sample_bilinear(source, wx + offset_x, wy + offset_y));
        }
    }
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

bool write_png(const Image& image, const std::string& path, std::string& error) {
    // PNG keeps straight (not premultiplied) alpha.
    std::vector<uint8_t> straight(size_t(image.width) * image.height * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        Rgba p = image.pixels[i];
        uint8_t* out = &straight[i * 4];
        if (p.a == 0) {
            std::memset(out, 0, 4);
            continue;
        }
        auto unmultiply = [a = p.a](uint8_t c) { return uint8_t(std::min(255, (c * 255 + a / 2) / a)); };
        out[0] = unmultiply(p.r);
        out[1] = unmultiply(p.g);
        out[2] = unmultiply(p.b);
        out[3] = p.a;
    }
    errno = 0;
    if (!stbi_write_png(path.c_str(), image.width, image.height, 4, straight.data(), image.width * 4)) {
        error = "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    return true;
}

}  // namespace panelhost
