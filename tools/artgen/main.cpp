// artgen: draws every bitmap the gauge module carries and writes them as the
// .bmp files the module's resource script embeds.
//
//   artgen --out DIR [--compare DIR] [--sheet FILE.png] [--review DIR]
//
// --compare fails (exit 1) unless DIR holds exactly the same files, byte for
// byte; --sheet writes a contact sheet of all pictures on mid-grey, labelled
// with their identifiers; --review writes each picture twice its size, and
// each gauge put together at a sample reading.
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

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
#include "resources/bitmap_ids.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace fs = std::filesystem;

namespace {

struct PictureRecipe {
    int id;
    const char* name;
    PixelSize size;
    int pixels_per_metre;
    void (*draw)(Canvas&);
};

constexpr int usual_resolution = 2834;

// Every bitmap, in identifier order, sized from its gauge's geometry. The
// main needle is stored three times because gauges never share a resource.
constexpr PictureRecipe pictures[] = {
    {AIRSPEED_FACE_BITMAP, "airspeed_face", airspeed_geometry::face, usual_resolution, draw_airspeed_face},
    {AIRSPEED_NEEDLE_BITMAP, "airspeed_needle", airspeed_geometry::needle_picture, usual_resolution,
     draw_main_needle},
    {MANIFOLD_PRESSURE_FACE_BITMAP, "manifold_pressure_face", manifold_pressure_geometry::face, usual_resolution,
     draw_manifold_pressure_face},
    {MANIFOLD_PRESSURE_NEEDLE_BITMAP, "manifold_pressure_needle", manifold_pressure_geometry::needle_picture,
     usual_resolution, draw_main_needle},
    {TACHOMETER_FACE_BITMAP, "tachometer_face", engine_tachometer_geometry::face, usual_resolution,
     draw_tachometer_face},
    {TACHOMETER_NEEDLE_BITMAP, "tachometer_needle", engine_tachometer_geometry::needle_picture, usual_resolution,
     draw_main_needle},
    {TACHOMETER_STRIP_BITMAP, "tachometer_strip", engine_tachometer_geometry::drum_strip, 2833,
     draw_tachometer_strip},
    {TACHOMETER_STRIP_MASK_BITMAP, "tachometer_strip_mask", engine_tachometer_geometry::drum_window_size, 2833,
     draw_tachometer_strip_mask},
    {FUEL_QUANTITY_FACE_BITMAP, "fuel_quantity_face", fuel_quantity_geometry::face, usual_resolution,
     draw_fuel_quantity_face},
    {FUEL_QUANTITY_NEEDLE_BITMAP, "fuel_quantity_needle", fuel_quantity_geometry::needle_picture, usual_resolution,
     draw_fuel_needle},
    {ENGINE_INSTRUMENTS_FACE_BITMAP, "engine_instruments_face", engine_instruments_geometry::face, usual_resolution,
     draw_engine_instruments_face},
    {TEMPERATURE_NEEDLE_BITMAP, "temperature_needle", engine_instruments_geometry::temperature_needle_picture,
     usual_resolution, draw_temperature_needle},
    {PRESSURE_NEEDLE_BITMAP, "pressure_needle", engine_instruments_geometry::pressure_needle_picture,
     usual_resolution, draw_pressure_needle},
    {RADAR_ALTIMETER_FACE_BITMAP, "radar_altimeter_face", radar_altimeter_geometry::face, usual_resolution,
     draw_radar_altimeter_face},
    {RADAR_ALTIMETER_NEEDLE_BITMAP, "radar_altimeter_needle", radar_altimeter_geometry::needle_picture,
     usual_resolution, draw_radar_altimeter_needle},
    {LABS_FACE_BITMAP, "labs_face", labs_instrument_geometry::face, usual_resolution, draw_labs_face},
    {LABS_POINTER_BITMAP, "labs_pointer", labs_instrument_geometry::pointer_picture, usual_resolution,
     draw_labs_pointer},
    {LABS_OVERLAY_BITMAP, "labs_overlay", labs_instrument_geometry::face, usual_resolution, draw_labs_overlay},
    {DIRECTION_FINDER_FACE_BITMAP, "direction_finder_face", direction_finder_geometry::face, 2835,
     draw_direction_finder_face},
    {DEVIATION_BAR_BITMAP, "deviation_bar", direction_finder_geometry::deviation_image, usual_resolution,
     draw_deviation_bar},
    {DEVIATION_WINDOW_BITMAP, "deviation_window", direction_finder_geometry::deviation_window_size,
     usual_resolution, draw_deviation_window},
    {FREQUENCY_STRIP_BITMAP, "frequency_strip", direction_finder_geometry::drum_strip, 2833, draw_frequency_strip},
    {FREQUENCY_STRIP_MASK_BITMAP, "frequency_strip_mask", direction_finder_geometry::drum_window, 2833,
     draw_frequency_strip_mask},
};

std::string file_name(const PictureRecipe& recipe) {
    return std::to_string(recipe.id) + "_" + recipe.name + ".bmp";
}

IndexedPicture render(const PictureRecipe& recipe) {
    Canvas canvas(recipe.size.width, recipe.size.height);
    use_face_font(canvas.cr());
    recipe.draw(canvas);
    try {
        return index_colours(canvas, recipe.pixels_per_metre);
    } catch (const std::exception& e) {
        throw std::runtime_error("bitmap " + std::to_string(recipe.id) + ": " + e.what());
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
    for (const PictureRecipe& recipe : pictures) {
        std::string name = file_name(recipe);
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

// The picture as a Cairo surface, see-through pixels transparent.
cairo_surface_t* surface_of(const IndexedPicture& p) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.width, p.height);
    unsigned char* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            Rgb c = p.at(x, y);
            reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x] =
                c == see_through ? 0 : 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

// Gauges put together the way the host draws them, for review by eye: each
// needle turned to a sample reading, drums and the deviation bar through
// their windows.
void write_assembled(const std::vector<IndexedPicture>& rendered, const fs::path& dir) {
    auto picture = [&](int id) -> const IndexedPicture& {
        for (size_t i = 0; i < rendered.size(); ++i) {
            if (pictures[i].id == id) return rendered[i];
        }
        throw std::logic_error("no picture " + std::to_string(id));
    };
    struct Needle {
        int id;
        Point position, pivot;
        double bearing;
    };
    struct Drum {
        int id;
        Point window;
        double offset_x, offset_y;
    };
    struct Gauge {
        const char* name;
        int face;
        std::vector<Drum> drums;
        std::vector<Needle> needles;
        int overlay;
    };
    // Sample readings placed from the same geometry the records use, so the
    // previews show the needles and drums where the host puts them.
    auto needle = [](int id, PixelPoint at, PixelPoint pivot, double bearing) {
        return Needle{id, {double(at.x), double(at.y)}, {double(pivot.x), double(pivot.y)}, bearing};
    };
    auto calibrated = [&](int id, PixelPoint at, PixelPoint pivot, std::span<const ScalePoint> table, double value) {
        return needle(id, at, pivot, Scale(at, table).bearing(value));
    };
    auto at_pixel = [](PixelPoint p) { return Point{double(p.x), double(p.y)}; };
    namespace airspeed = airspeed_geometry;
    namespace df = direction_finder_geometry;
    namespace eng = engine_instruments_geometry;
    namespace fuel = fuel_quantity_geometry;
    namespace labs = labs_instrument_geometry;
    namespace manifold = manifold_pressure_geometry;
    namespace radar = radar_altimeter_geometry;
    namespace tach = engine_tachometer_geometry;
    constexpr double rpm = 2350;
    // A drum shows digit d at 10 * d of its 0..100 axis: d cells down the strip.
    auto digit = [&](int id, PixelPoint window, int pitch, int d) {
        return Drum{id, at_pixel(window), 0, double(d * pitch)};
    };
    // The deviation bar at +5 degrees: 15 of the axis's 40 units of travel.
    const double deviation_offset = -(df::deviation_image.width - df::deviation_window_size.width) * 15 / 40.0;
    const Gauge gauges[] = {
        {"airspeed_at_250", AIRSPEED_FACE_BITMAP, {},
         {calibrated(AIRSPEED_NEEDLE_BITMAP, airspeed::needle_pivot, airspeed::needle_pivot_in_picture,
                     airspeed::calibration, 250)},
         0},
        {"manifold_at_30", MANIFOLD_PRESSURE_FACE_BITMAP, {},
         {calibrated(MANIFOLD_PRESSURE_NEEDLE_BITMAP, manifold::needle_pivot, manifold::needle_pivot_in_picture,
                     manifold::calibration, 30)},
         0},
        {"tachometer_at_2350", TACHOMETER_FACE_BITMAP,
         {digit(TACHOMETER_STRIP_BITMAP, tach::drum_window, tach::drum_cell_pitch, 2)},
         // The needle's angle is clockwise from three o'clock; a bearing from twelve.
         {needle(TACHOMETER_NEEDLE_BITMAP, tach::needle_pivot, tach::needle_pivot_in_picture,
                 std::fmod(tach::angle_at_rest + tach::degrees_per_rpm * rpm - 270, 360))},
         0},
        {"fuel_at_1500", FUEL_QUANTITY_FACE_BITMAP, {},
         {calibrated(FUEL_QUANTITY_NEEDLE_BITMAP, fuel::needle_pivot, fuel::needle_pivot_in_picture, fuel::calibration,
                     1500)},
         0},
        {"engine_at_50_100_15", ENGINE_INSTRUMENTS_FACE_BITMAP, {},
         {calibrated(TEMPERATURE_NEEDLE_BITMAP, eng::temperature_pivot, eng::temperature_pivot_in_picture,
                     eng::temperature_calibration, 50),
          calibrated(PRESSURE_NEEDLE_BITMAP, eng::oil_pivot, eng::pressure_pivot_in_picture, eng::oil_calibration, 100),
          calibrated(PRESSURE_NEEDLE_BITMAP, eng::fuel_pivot, eng::pressure_pivot_in_picture, eng::fuel_calibration,
                     15)},
         0},
        {"radar_at_100", RADAR_ALTIMETER_FACE_BITMAP, {},
         {calibrated(RADAR_ALTIMETER_NEEDLE_BITMAP, radar::needle_pivot, radar::needle_pivot_in_picture,
                     radar::calibration, 100)},
         0},
        {"labs_at_300_5", LABS_FACE_BITMAP, {},
         {calibrated(LABS_POINTER_BITMAP, labs::lateral_pivot, labs::pointer_pivot_in_picture,
                     labs::lateral_calibration, 300),
          calibrated(LABS_POINTER_BITMAP, labs::vertical_pivot, labs::pointer_pivot_in_picture,
                     labs::vertical_calibration, 5)},
         LABS_OVERLAY_BITMAP},
        {"direction_finder_345_plus5", DIRECTION_FINDER_FACE_BITMAP,
         {digit(FREQUENCY_STRIP_BITMAP, df::hundreds_drum, df::drum_cell_pitch, 3),
          digit(FREQUENCY_STRIP_BITMAP, df::tens_drum, df::drum_cell_pitch, 4),
          digit(FREQUENCY_STRIP_BITMAP, df::ones_drum, df::drum_cell_pitch, 5),
          {DEVIATION_BAR_BITMAP, at_pixel(df::deviation_window), deviation_offset, 0}},
         {}, 0},
    };
    fs::create_directories(dir);
    constexpr int zoom = 2;
    for (const Gauge& g : gauges) {
        const IndexedPicture& face = picture(g.face);
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, face.width * zoom, face.height * zoom);
        cairo_t* cr = cairo_create(target);
        cairo_scale(cr, zoom, zoom);
        set_colour(cr, mid_grey);
        cairo_paint(cr);
        auto paint = [&](int id, auto&& place) {
            cairo_surface_t* s = surface_of(picture(id));
            cairo_save(cr);
            place();
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_destroy(s);
        };
        paint(g.face, [] {});
        for (const Drum& d : g.drums) {
            const IndexedPicture& mask = picture(d.id + 1);
            cairo_save(cr);
            cairo_rectangle(cr, d.window.x, d.window.y, mask.width, mask.height);
            cairo_clip(cr);
            cairo_surface_t* window = surface_of(mask);
            cairo_surface_t* image = surface_of(picture(d.id));
            cairo_set_source_surface(cr, image, d.window.x + d.offset_x, d.window.y - d.offset_y);
            cairo_mask_surface(cr, window, d.window.x, d.window.y);
            cairo_surface_destroy(image);
            cairo_surface_destroy(window);
            cairo_restore(cr);
        }
        for (const Needle& n : g.needles) {
            paint(n.id, [&] {
                cairo_translate(cr, n.position.x + 0.5, n.position.y + 0.5);
                cairo_rotate(cr, (n.bearing - 90) * 3.14159265358979 / 180);
                cairo_translate(cr, -(n.pivot.x + 0.5), -(n.pivot.y + 0.5));
            });
        }
        if (g.overlay) paint(g.overlay, [] {});
        cairo_destroy(cr);
        cairo_surface_write_to_png(target, (dir / (std::string(g.name) + ".png")).string().c_str());
        cairo_surface_destroy(target);
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
        fs::path* target = arg == "--out" ? &out
                         : arg == "--compare" ? &compare
                         : arg == "--sheet" ? &sheet
                         : arg == "--review" ? &review
                                             : nullptr;
        if (!target) return usage(("unknown option " + arg).c_str());
        if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
        *target = argv[++i];
    }
    if (out.empty()) return usage("--out DIR is required");

    try {
        require_typeface();
        fs::create_directories(out);
        std::vector<IndexedPicture> rendered;
        for (const PictureRecipe& recipe : pictures) {
            rendered.push_back(render(recipe));
            write_file(out / file_name(recipe), bmp_file(rendered.back()));
        }
        if (!sheet.empty()) write_contact_sheet(rendered, sheet);
        if (!review.empty()) {
            write_review(rendered, review);
            write_assembled(rendered, review / "assembled");
        }
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
