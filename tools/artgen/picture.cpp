#include "picture.h"

#include <libimagequant.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error("cannot create a " + std::to_string(width) + " x " +
                                 std::to_string(height) + " drawing surface");
    }
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

uint32_t Canvas::argb(int x, int y) const {
    cairo_surface_flush(surface_);
    auto* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    return reinterpret_cast<const uint32_t*>(row)[x];
}

void Canvas::put(int x, int y, Rgb c) {
    cairo_surface_flush(surface_);
    auto* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    reinterpret_cast<uint32_t*>(row)[x] = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    cairo_surface_mark_dirty(surface_);
}

bool Canvas::opaque(int x, int y) const {
    return (argb(x, y) >> 24) >= 128;
}

Rgb Canvas::colour(int x, int y) const {
    if (!opaque(x, y)) return see_through;
    // Cairo keeps colours premultiplied: that is the colour drawn over black,
    // which is how an anti-aliased edge against the see-through ground looks.
    uint32_t p = argb(x, y);
    Rgb c{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
    return c == see_through ? nearest_opaque_black : c;
}

namespace {

uint32_t key(Rgb c) {
    return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

int luminance(Rgb c) {
    return 299 * c.r + 587 * c.g + 114 * c.b;
}

// Few colours: each gets an entry of its own, darkest first.
bool index_exactly(const Canvas& canvas, IndexedPicture& out) {
    std::map<uint32_t, Rgb> colours;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            Rgb c = canvas.colour(x, y);
            colours.emplace(key(c), c);
            if (colours.size() > 256) return false;
        }
    }
    std::vector<Rgb> sorted;
    for (auto& [k, c] : colours) sorted.push_back(c);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](Rgb a, Rgb b) { return luminance(a) < luminance(b); });
    std::map<uint32_t, uint8_t> index_of;
    for (size_t i = 0; i < sorted.size(); ++i) {
        out.palette[i] = sorted[i];
        index_of[key(sorted[i])] = uint8_t(i);
    }
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            out.indices.push_back(index_of[key(canvas.colour(x, y))]);
        }
    }
    return true;
}

template <auto destroy>
struct Destroyer {
    template <typename T>
    void operator()(T* p) const { destroy(p); }
};

void index_through_libimagequant(const Canvas& canvas, IndexedPicture& out) {
    const int w = canvas.width(), h = canvas.height();
    // See-through pixels go in fully transparent, so that they share one
    // entry and no opaque pixel can be matched to it.
    std::vector<liq_color> rgba(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Rgb c = canvas.colour(x, y);
            rgba[size_t(y) * w + x] = canvas.opaque(x, y) ? liq_color{c.r, c.g, c.b, 255}
                                                          : liq_color{0, 0, 0, 0};
        }
    }
    std::unique_ptr<liq_attr, Destroyer<liq_attr_destroy>> attr(liq_attr_create());
    liq_set_max_colors(attr.get(), 256);
    liq_set_speed(attr.get(), 1);
    liq_set_quality(attr.get(), 0, 100);
    std::unique_ptr<liq_image, Destroyer<liq_image_destroy>> image(
        liq_image_create_rgba(attr.get(), rgba.data(), w, h, 0));
    liq_result* raw_result = nullptr;
    if (!image || liq_image_quantize(image.get(), attr.get(), &raw_result) != LIQ_OK) {
        throw std::runtime_error("libimagequant could not reduce the picture to 256 colours");
    }
    std::unique_ptr<liq_result, Destroyer<liq_result_destroy>> result(raw_result);
    liq_set_dithering_level(result.get(), 0.5f);
    out.indices.resize(size_t(w) * h);
    if (liq_write_remapped_image(result.get(), image.get(), out.indices.data(), out.indices.size()) != LIQ_OK) {
        throw std::runtime_error("libimagequant could not remap the picture");
    }
    const liq_palette* palette = liq_get_palette(result.get());
    for (unsigned i = 0; i < palette->count; ++i) {
        liq_color e = palette->entries[i];
        Rgb c{e.r, e.g, e.b};
        out.palette[i] = e.a < 128 ? see_through : c == see_through ? nearest_opaque_black : c;
    }
}

}  // namespace

IndexedPicture index_colours(const Canvas& canvas, int pixels_per_metre) {
    IndexedPicture out;
    out.width = canvas.width();
    out.height = canvas.height();
    out.pixels_per_metre = pixels_per_metre;
    if (!index_exactly(canvas, out)) {
        out.indices.clear();
        out.palette = {};
        index_through_libimagequant(canvas, out);
    }
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            if ((out.at(x, y) == see_through) != !canvas.opaque(x, y)) {
                throw std::runtime_error("colour reduction broke the see-through rule at pixel " +
                                         std::to_string(x) + ", " + std::to_string(y));
            }
        }
    }
    return out;
}

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> bmp_file(const IndexedPicture& picture) {
    const uint32_t row_length = (uint32_t(picture.width) + 3) & ~3u;
    const uint32_t image_size = row_length * uint32_t(picture.height);
    const uint32_t pixels_offset = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.reserve(pixels_offset + image_size);

    out.push_back('B');
    out.push_back('M');
    put32(out, pixels_offset + image_size);
    put32(out, 0);
    put32(out, pixels_offset);

    put32(out, 40);
    put32(out, uint32_t(picture.width));
    put32(out, uint32_t(picture.height));  // positive: bottom row first
    put16(out, 1);                         // planes
    put16(out, 8);                         // bits per pixel
    put32(out, 0);                         // BI_RGB
    put32(out, image_size);
    put32(out, uint32_t(picture.pixels_per_metre));
    put32(out, uint32_t(picture.pixels_per_metre));
    put32(out, 256);  // colours used
    put32(out, 256);  // colours important

    for (Rgb c : picture.palette) {
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = picture.height - 1; y >= 0; --y) {
        auto row = picture.indices.begin() + ptrdiff_t(y) * picture.width;
        out.insert(out.end(), row, row + picture.width);
        out.insert(out.end(), row_length - uint32_t(picture.width), 0);
    }
    return out;
}
