// artgen: draws every bitmap the gauge module carries and writes them as the
// .bmp files the module's resource script embeds.
//
//   artgen --out DIR [--compare DIR] [--sheet FILE.png] [--review DIR]
//
// --compare fails (exit 1) unless DIR holds exactly the same files, byte for
// byte; --sheet writes a contact sheet of all pictures on mid-grey, labelled
// with their identifiers; --review writes each picture twice its size.
#include <omp.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "drawing.h"
#include "pictures.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace fs = std::filesystem;

namespace {

struct PictureSpec {
    int id;
    const char* name;
    int width, height;
    int pixels_per_metre;
    void (*draw)(Canvas&);
};

constexpr int usual_resolution = 2834;

// Every bitmap, in identifier order. The needle of 102 is stored three times
// because gauges never share a resource.
constexpr PictureSpec pictures[] = {
    {100, "airspeed_face", 278, 278, usual_resolution, draw_airspeed_face},
    {102, "airspeed_needle", 180, 17, usual_resolution, draw_main_needle},
    {105, "manifold_pressure_face", 278, 278, usual_resolution, draw_manifold_pressure_face},
    {107, "manifold_pressure_needle", 180, 17, usual_resolution, draw_main_needle},
    {110, "tachometer_face", 278, 278, usual_resolution, draw_tachometer_face},
    {112, "tachometer_needle", 180, 17, usual_resolution, draw_main_needle},
    {114, "tachometer_strip", 26, 429, 2833, draw_tachometer_strip},
    {115, "tachometer_strip_mask", 26, 39, 2833, draw_tachometer_strip_mask},
    {120, "fuel_quantity_face", 278, 278, usual_resolution, draw_fuel_quantity_face},
    {122, "fuel_quantity_needle", 180, 17, usual_resolution, draw_fuel_needle},
    {125, "engine_instruments_face", 256, 256, usual_resolution, draw_engine_instruments_face},
    {127, "temperature_needle", 125, 21, usual_resolution, draw_temperature_needle},
    {129, "pressure_needle", 75, 23, usual_resolution, draw_pressure_needle},
    {131, "radar_altimeter_face", 278, 278, usual_resolution, draw_radar_altimeter_face},
    {133, "radar_altimeter_needle", 213, 23, usual_resolution, draw_radar_altimeter_needle},
    {135, "labs_face", 320, 320, usual_resolution, draw_labs_face},
    {137, "labs_pointer", 204, 19, usual_resolution, draw_labs_pointer},
    {139, "labs_overlay", 320, 320, usual_resolution, draw_labs_overlay},
    {145, "direction_finder_face", 256, 256, 2835, draw_direction_finder_face},
    {147, "deviation_bar", 290, 170, usual_resolution, draw_deviation_bar},
    {148, "deviation_window", 170, 170, usual_resolution, draw_deviation_window},
    {150, "frequency_strip", 18, 297, 2833, draw_frequency_strip},
    {151, "frequency_strip_mask", 18, 27, 2833, draw_frequency_strip_mask},
};

std::string file_name(const PictureSpec& spec) {
    return std::to_string(spec.id) + "_" + spec.name + ".bmp";
}

IndexedPicture render(const PictureSpec& spec) {
    Canvas canvas(spec.width, spec.height);
    use_face_font(canvas.cr());
    spec.draw(canvas);
    try {
        return index_colours(canvas, spec.pixels_per_metre);
    } catch (const std::exception& e) {
        throw std::runtime_error("bitmap " + std::to_string(spec.id) + ": " + e.what());
    }
}

std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Differences between the generated set and a committed set, one per line.
std::vector<std::string> differences(const fs::path& generated, const fs::path& committed) {
    std::vector<std::string> found;
    std::set<std::string> expected;
    for (const PictureSpec& spec : pictures) {
        std::string name = file_name(spec);
        expected.insert(name);
        fs::path theirs = committed / name;
        if (!fs::exists(theirs)) {
            found.push_back(theirs.string() + ": missing");
        } else if (read_file(theirs) != read_file(generated / name)) {
            found.push_back(theirs.string() + ": differs from the regenerated picture");
        }
    }
    for (const auto& entry : fs::directory_iterator(committed)) {
        if (entry.path().extension() == ".bmp" && !expected.count(entry.path().filename().string())) {
            found.push_back(entry.path().string() + ": no picture of that name is drawn");
        }
    }
    return found;
}

// RGB pixels of a picture shown over `ground` where it is see-through.
void composite(const IndexedPicture& p, std::vector<uint8_t>& rgb, int sheet_width, int x0, int y0, int zoom,
               Rgb ground) {
    for (int y = 0; y < p.height * zoom; ++y) {
        for (int x = 0; x < p.width * zoom; ++x) {
            Rgb c = p.at(x / zoom, y / zoom);
            if (c == see_through) c = ground;
            uint8_t* out = &rgb[(size_t(y0 + y) * sheet_width + x0 + x) * 3];
            out[0] = c.r;
            out[1] = c.g;
            out[2] = c.b;
        }
    }
}

constexpr Rgb mid_grey{128, 128, 128};

void write_png(const fs::path& path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (!stbi_write_png(path.string().c_str(), width, height, 3, rgb.data(), width * 3)) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void write_contact_sheet(const std::vector<IndexedPicture>& rendered, const fs::path& path) {
    constexpr int margin = 12, label_height = 18, max_row_width = 1400;
    struct Place {
        int x, y;
    };
    std::vector<Place> places;
    int x = margin, y = margin, row_height = 0, width = 0;
    for (const IndexedPicture& p : rendered) {
        if (x + p.width + margin > max_row_width && x > margin) {
            x = margin;
            y += row_height + label_height + margin;
            row_height = 0;
        }
        places.push_back({x, y});
        x += std::max(p.width, 40) + margin;
        width = std::max(width, x);
        row_height = std::max(row_height, p.height);
    }
    const int height = y + row_height + label_height + margin;

    // Labels are drawn with Cairo, then the pictures are laid in pixel for
    // pixel.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    use_face_font(cr);
    set_colour(cr, mid_grey);
    cairo_paint(cr);
    set_colour(cr, Rgb{255, 255, 255});
    for (size_t i = 0; i < rendered.size(); ++i) {
        letter(cr, std::to_string(pictures[i].id),
               {places[i].x + std::max(rendered[i].width, 40) / 2.0, places[i].y + rendered[i].height + 10.0},
               Lettering{10});
    }
    cairo_surface_flush(surface);
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            uint32_t v = reinterpret_cast<const uint32_t*>(data + py * stride)[px];
            uint8_t* out = &rgb[(size_t(py) * width + px) * 3];
            out[0] = uint8_t(v >> 16);
            out[1] = uint8_t(v >> 8);
            out[2] = uint8_t(v);
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    for (size_t i = 0; i < rendered.size(); ++i) {
        composite(rendered[i], rgb, width, places[i].x, places[i].y, 1, mid_grey);
    }
    write_png(path, width, height, rgb);
}

void write_review(const std::vector<IndexedPicture>& rendered, const fs::path& dir) {
    fs::create_directories(dir);
    constexpr int zoom = 2;
    for (size_t i = 0; i < rendered.size(); ++i) {
        const IndexedPicture& p = rendered[i];
        std::vector<uint8_t> rgb(size_t(p.width) * zoom * p.height * zoom * 3);
        composite(p, rgb, p.width * zoom, 0, 0, zoom, mid_grey);
        write_png(dir / (std::to_string(pictures[i].id) + "_" + pictures[i].name + ".png"), p.width * zoom,
                  p.height * zoom, rgb);
    }
}

int usage(const char* why) {
    std::fprintf(stderr, "artgen: %s\nusage: artgen --out DIR [--compare DIR] [--sheet FILE.png] [--review DIR]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // libimagequant works in OpenMP threads; one thread keeps its sums, and
    // so the chosen colours, the same on every run and every machine.
    omp_set_num_threads(1);

    fs::path out, compare, sheet, review;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
        fs::path value = argv[++i];
        if (arg == "--out") out = value;
        else if (arg == "--compare") compare = value;
        else if (arg == "--sheet") sheet = value;
        else if (arg == "--review") review = value;
        else return usage(("unknown option " + arg).c_str());
    }
    if (out.empty()) return usage("--out DIR is required");

    try {
        require_typeface();
        fs::create_directories(out);
        std::vector<IndexedPicture> rendered;
        for (const PictureSpec& spec : pictures) {
            rendered.push_back(render(spec));
            write_file(out / file_name(spec), bmp_file(rendered.back()));
        }
        if (!sheet.empty()) write_contact_sheet(rendered, sheet);
        if (!review.empty()) write_review(rendered, review);
        if (!compare.empty()) {
            std::vector<std::string> found = differences(out, compare);
            for (const std::string& line : found) std::fprintf(stderr, "artgen: %s\n", line.c_str());
            if (!found.empty()) {
                std::fprintf(stderr, "artgen: the committed art is not what the generator draws; "
                                     "rebuild the 'art' target and commit resources/\n");
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
