#include "host/picture_comparison.h"

#include <algorithm>
#include <cstdlib>

#include "host/picture_checks.h"
#include "host/png_file.h"
#include "host/base/report.h"
#include "stb_image.h"

namespace panelhost {

namespace {

// Larger pictures are refused before they are decoded: no gauge is near
// this, and a hostile header could ask for gigabytes. stb_image takes no
// side longer than 1 << 24.
constexpr long long max_pixels = 64ll << 20;
constexpr uint32_t max_side = 1u << 24;
constexpr size_t max_file_size = size_t(256) << 20;

// stb_image's reason for refusing a picture; it does not give one for every fault.
std::string damaged(const std::string& path) {
    const char* reason = stbi_failure_reason();
    return path + ": a damaged PNG file (" + (reason && *reason ? reason : "it could not be decoded") + ")";
}

int channel_difference(const uint8_t* a, const uint8_t* b) {
    if (a[3] == 0 && b[3] == 0) return 0;  // both see-through: their colours show nowhere
    int largest = 0;
    for (int c = 0; c < 4; ++c) largest = std::max(largest, std::abs(int(a[c]) - int(b[c])));
    return largest;
}

}  // namespace

bool read_png(const std::string& path, StraightPicture& picture, std::string& error) {
    error.clear();
    std::vector<uint8_t> bytes;
    if (!read_picture_file(path, max_file_size, bytes, error)) return false;
    if (!starts_as_png(bytes)) {
        error = path + ": not a PNG file (it does not start with the PNG signature)";
        return false;
    }
    PngHeader header;
    std::string problem;
    if (!check_png_chunks(bytes, header, problem)) {
        error = path + ": a damaged PNG file (" + problem + ")";
        return false;
    }
    if (header.width > max_side || header.height > max_side ||
        (long long)header.width * header.height > max_pixels) {
        error = format("%s: %u x %u pixels: too large (this host compares pictures of up to %lld pixels, %u a side)",
                       path.c_str(), unsigned(header.width), unsigned(header.height), max_pixels, unsigned(max_side));
        return false;
    }
    int width = 0, height = 0, channels = 0;
    uint8_t* decoded = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4);
    if (!decoded) {
        error = damaged(path);
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(decoded, decoded + size_t(width) * size_t(height) * 4);
    stbi_image_free(decoded);
    return true;
}

StraightPicture straight_picture(const Image& image) {
    StraightPicture picture{image.width, image.height, {}};
    straighten(image, picture.rgba);
    return picture;
}

PictureDifference compare_pictures(const StraightPicture& a, const StraightPicture& b, int tolerance) {
    PictureDifference d;
    d.same_size = a.width == b.width && a.height == b.height;
    if (!d.same_size) return d;
    d.pixels = size_t(a.width) * size_t(a.height);
    d.left = a.width, d.top = a.height;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            int difference = channel_difference(a.at(x, y), b.at(x, y));
            d.largest = std::max(d.largest, difference);
            if (difference <= tolerance) continue;
            ++d.differing;
            d.left = std::min(d.left, x), d.right = std::max(d.right, x);
            d.top = std::min(d.top, y), d.bottom = std::max(d.bottom, y);
        }
    }
    if (!d.differing) d.left = d.top = 0;
    return d;
}

std::string difference_text(const PictureDifference& d, const StraightPicture& a, const StraightPicture& b,
                            int tolerance) {
    if (!d.same_size)
        return format("they are not the same size: %d x %d against %d x %d", a.width, a.height, b.width, b.height);
    if (d.same())
        return d.largest ? format("the same within tolerance %d (%zu pixels; the largest difference is %d)",
                                  tolerance, d.pixels, d.largest)
                         : format("the same (%zu pixels)", d.pixels);
    return format("%zu of %zu pixels differ by more than %d: by up to %d, in the box %d, %d, %d x %d", d.differing,
                  d.pixels, tolerance, d.largest, d.left, d.top, d.right - d.left + 1, d.bottom - d.top + 1);
}

Image difference_picture(const StraightPicture& a, const StraightPicture& b, int tolerance,
                         const PictureDifference& d) {
    Image out(a.width, a.height);
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const uint8_t* p = a.at(x, y);
            int difference = channel_difference(p, b.at(x, y));
            if (difference > tolerance) {
                out.at(x, y) = opaque(uint8_t(128 + 127 * difference / 255), 0, 0);
                continue;
            }
            // Grey from A over a dark ground, dimmed so red stands out.
            int grey = (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
            int shown = (24 * (255 - p[3]) + grey * p[3]) / 255;
            auto level = uint8_t(40 + shown * 2 / 5);
            out.at(x, y) = opaque(level, level, level);
        }
    }
    if (!d.differing) return out;
    // The box, a pixel outside the differing pixels where the picture allows.
    draw_outline(out, d.left - 1, d.top - 1, d.right + 1, d.bottom + 1, opaque(255, 220, 0));
    return out;
}

}  // namespace panelhost
