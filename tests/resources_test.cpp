// The module's resources as the host reads them: the 23 bitmaps by number
// (format, see-through colour, and every picture's geometry the records rely
// on) and the version resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/loaded_module.h"

namespace {

constexpr WORD english_us = 0x0409;
constexpr WORD bitmap_type = 2, version_type = 16;  // RT_BITMAP, RT_VERSION

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, Rgb c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

constexpr Rgb see_through{0, 0, 0};

int luma(Rgb c) {
    return (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
}

struct Resource {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Resource resource(WORD type, WORD id) {
    HMODULE module = corvalenx().handle;
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id), english_us);
    if (!found) return {};
    return {static_cast<const BYTE*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)};
}

// A bitmap resource read the way the host reads it: a packed DIB.
struct Bitmap {
    int id = 0;
    Resource raw;
    const BITMAPINFOHEADER* header = nullptr;
    const RGBQUAD* colours = nullptr;
    const BYTE* rows = nullptr;
    int width = 0, height = 0, row_length = 0;

    // Rows counted from the top of the picture as displayed.
    Rgb at(int x, int y) const {
        const RGBQUAD& q = colours[rows[size_t(height - 1 - y) * row_length + x]];
        return {q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    bool opaque(int x, int y) const { return at(x, y) != see_through; }
};

Bitmap bitmap(int id) {
    Bitmap b;
    b.id = id;
    b.raw = resource(bitmap_type, WORD(id));
    if (!b.raw.data || b.raw.size < sizeof(BITMAPINFOHEADER) + 1024) {
        ADD_FAILURE() << "bitmap " << id << " missing or truncated";
        return b;
    }
    b.header = reinterpret_cast<const BITMAPINFOHEADER*>(b.raw.data);
    b.colours = reinterpret_cast<const RGBQUAD*>(b.raw.data + sizeof(BITMAPINFOHEADER));
    b.rows = b.raw.data + sizeof(BITMAPINFOHEADER) + 1024;
    b.width = b.header->biWidth;
    b.height = b.header->biHeight;
    b.row_length = (b.width + 3) & ~3;
    return b;
}

struct Expected {
    int id, width, height, pixels_per_metre;
};

constexpr Expected all_bitmaps[] = {
    {100, 278, 278, 2834}, {102, 180, 17, 2834},  {105, 278, 278, 2834}, {107, 180, 17, 2834},
    {110, 278, 278, 2834}, {112, 180, 17, 2834},  {114, 26, 429, 2833},  {115, 26, 39, 2833},
    {120, 278, 278, 2834}, {122, 180, 17, 2834},  {125, 256, 256, 2834}, {127, 125, 21, 2834},
    {129, 75, 23, 2834},   {131, 278, 278, 2834}, {133, 213, 23, 2834},  {135, 320, 320, 2834},
    {137, 204, 19, 2834},  {139, 320, 320, 2834}, {145, 256, 256, 2835}, {147, 290, 170, 2834},
    {148, 170, 170, 2834}, {150, 18, 297, 2833},  {151, 18, 27, 2833},
};

// ---------------------------------------------------------------------------
// What the library carries

uintptr_t integer_name(LPCSTR name) {
    return IS_INTRESOURCE(name) ? reinterpret_cast<uintptr_t>(name) : ~uintptr_t(0);
}

BOOL CALLBACK collect_type(HMODULE, LPSTR type, LONG_PTR found) {
    reinterpret_cast<std::set<uintptr_t>*>(found)->insert(integer_name(type));
    return TRUE;
}

BOOL CALLBACK collect_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    reinterpret_cast<std::set<uintptr_t>*>(found)->insert(integer_name(name));
    return TRUE;
}

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::set<WORD>*>(found)->insert(language);
    return TRUE;
}

std::set<uintptr_t> enumerate_names(WORD type) {
    std::set<uintptr_t> names;
    EnumResourceNamesA(corvalenx().handle, MAKEINTRESOURCEA(type), collect_name, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

std::set<WORD> enumerate_languages(WORD type, WORD id) {
    std::set<WORD> languages;
    EnumResourceLanguagesA(corvalenx().handle, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id), collect_language,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

TEST(Resources, AreTheTwentyThreeBitmapsAndOneVersionResource) {
    std::set<uintptr_t> types;
    EnumResourceTypesA(corvalenx().handle, collect_type, reinterpret_cast<LONG_PTR>(&types));
    EXPECT_EQ(types, (std::set<uintptr_t>{bitmap_type, version_type}));

    std::set<uintptr_t> expected_ids;
    for (const Expected& e : all_bitmaps) expected_ids.insert(e.id);
    EXPECT_EQ(enumerate_names(bitmap_type), expected_ids);
    EXPECT_EQ(enumerate_names(version_type), (std::set<uintptr_t>{1}));

    for (const Expected& e : all_bitmaps) {
        EXPECT_EQ(enumerate_languages(bitmap_type, WORD(e.id)), (std::set<WORD>{english_us})) << "bitmap " << e.id;
    }
    EXPECT_EQ(enumerate_languages(version_type, 1), (std::set<WORD>{english_us}));
}

// One group of bitmaps per gauge, in gauge-table order, each starting with its
// dial face: the bitmaps a gauge's records name, with the mask after each
// moving image, are exactly those from its face up to the next gauge's face.
TEST(Resources, OneGroupPerGaugeInTableOrderFromItsFace) {
    namespace layout = host_layout;
    const std::set<uintptr_t> all = enumerate_names(bitmap_type);
    const std::vector<Record> gauges = corvalenx().gauges();
    ASSERT_FALSE(gauges.empty());
    EXPECT_EQ(*all.begin(), root_of(gauges.front()).word(layout::element::bitmap));
    for (size_t g = 0; g < gauges.size(); ++g) {
        SCOPED_TRACE(gauges[g].text(layout::gauge_header::name));
        std::set<uintptr_t> named;
        for (Record e : elements_of(gauges[g])) {
            named.insert(e.word(layout::element::bitmap));
            if (e.word(layout::element::kind) == layout::element::moving_image) {
                named.insert(e.word(layout::element::bitmap) + 1);
            }
        }
        const uintptr_t face = root_of(gauges[g]).word(layout::element::bitmap);
        const uintptr_t next =
            g + 1 < gauges.size() ? root_of(gauges[g + 1]).word(layout::element::bitmap) : ~uintptr_t(0);
        ASSERT_LT(face, next) << "faces in table order";
        EXPECT_EQ(named, std::set<uintptr_t>(all.lower_bound(face), all.lower_bound(next)));
    }
}

TEST(Resources, EveryBitmapIsAnUncompressedBottomUpEightBitDib) {
    for (const Expected& e : all_bitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(e.id));
        Bitmap b = bitmap(e.id);
        ASSERT_NE(b.header, nullptr);
        const int row_length = (e.width + 3) & ~3;
        EXPECT_EQ(b.raw.size, DWORD(40 + 1024 + row_length * e.height));
        const BITMAPINFOHEADER& h = *b.header;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, e.width);
        EXPECT_EQ(h.biHeight, e.height) << "positive: bottom row first";
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 8);
        EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
        EXPECT_EQ(h.biSizeImage, DWORD(row_length * e.height));
        EXPECT_EQ(h.biXPelsPerMeter, e.pixels_per_metre);
        EXPECT_EQ(h.biYPelsPerMeter, e.pixels_per_metre);
        EXPECT_EQ(h.biClrUsed, 256u);
        EXPECT_EQ(h.biClrImportant, 256u);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(b.colours[i].rgbReserved, 0) << "colour-table entry " << i;
        for (int row = 0; row < e.height; ++row) {
            for (int pad = e.width; pad < row_length; ++pad) {
                ASSERT_EQ(b.rows[size_t(row) * row_length + pad], 0) << "stored row " << row << ", byte " << pad;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Dial faces

struct FacePoint {
    double x, y;
};

double bearing_from(FacePoint pivot, double x, double y) {
    double b = std::atan2(x - pivot.x, pivot.y - y) * 180 / std::numbers::pi;
    return b < 0 ? b + 360 : b;
}

FacePoint along(FacePoint from, double bearing, double distance) {
    double a = bearing * std::numbers::pi / 180;
    return {from.x + distance * std::sin(a), from.y - distance * std::cos(a)};
}

TEST(Faces, RoundFacesAreOpaqueToTheirRimAndSeeThroughBeyondIt) {
    for (int id : {100, 105, 110, 120, 125, 131, 135}) {
        SCOPED_TRACE("face " + std::to_string(id));
        Bitmap face = bitmap(id);
        const double c = face.width / 2.0;
        int stray = 0, outside_drawn = 0;
        for (int y = 0; y < face.height; ++y) {
            for (int x = 0; x < face.width; ++x) {
                double r = std::hypot(x + 0.5 - c, y + 0.5 - c);
                if (r < c - 1 && !face.opaque(x, y)) ++stray;
                if (r > c + 0.75 && face.opaque(x, y)) ++outside_drawn;
            }
        }
        EXPECT_EQ(stray, 0) << "see-through pixels inside the dial";
        EXPECT_EQ(outside_drawn, 0) << "drawn pixels in the corners";
        for (auto [x, y] : {std::pair{0, 0}, {face.width - 1, 0}, {0, face.height - 1}, {face.width - 1, face.height - 1}}) {
            EXPECT_EQ(face.at(x, y), see_through) << "corner " << x << ", " << y;
        }
    }
}

TEST(Faces, DirectionFinderDrawsOnlyItsDisc) {
    Bitmap face = bitmap(145);
    const FacePoint centre{129.5, 128.5};
    for (int y = 0; y < face.height; ++y) {
        for (int x = 0; x < face.width; ++x) {
            double r = std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y);
            bool in_box = x >= 44 && x <= 214 && y >= 43 && y <= 213;
            if (!in_box || r > 86.5) {
                ASSERT_FALSE(face.opaque(x, y)) << x << ", " << y;
            }
            if (r < 84.5) {
                ASSERT_TRUE(face.opaque(x, y)) << x << ", " << y;
            }
        }
    }
    // The drum windows stand over see-through black.
    for (int y = 0; y <= 26; ++y) {
        for (int x = 100; x <= 155; ++x) ASSERT_FALSE(face.opaque(x, y));
    }
}

struct Calibration {
    int face;
    FacePoint pivot;
    std::vector<std::pair<int, int>> points;
    std::vector<double> values;
    bool first_on_numeral = false;
    uint32_t token = 0;
};

// Every calibrated needle's table as the module stores it, on the face of its
// gauge, about the centre of its pivot pixel: the records are checked against
// the gauges' own descriptions elsewhere; here the faces are checked against
// the records.
std::vector<Calibration> module_calibrations() {
    namespace layout = host_layout;
    std::vector<Calibration> all;
    for (Record gauge : corvalenx().gauges()) {
        const int face = int(root_of(gauge).word(layout::element::bitmap));
        for (Record e : elements_of(gauge)) {
            if (e.word(layout::element::kind) != layout::element::needle) continue;
            if (e.at(layout::needle::table).null()) continue;
            Calibration scale{face,
                              {e.signed_word(layout::element::x) + 0.5, e.signed_word(layout::element::y) + 0.5},
                              {},
                              {},
                              face == 100,  // the airspeed's 0 is a numeral without a mark
                              e.word(layout::needle::variable)};
            for (uint32_t i = 0; i < e.word(layout::needle::point_count); ++i) {
                Record point = e.at(layout::needle::table).entry(i, layout::calibration_point::size);
                scale.points.push_back({point.signed_word(layout::calibration_point::x),
                                        point.signed_word(layout::calibration_point::y)});
                scale.values.push_back(point.number(layout::calibration_point::value));
            }
            all.push_back(scale);
        }
    }
    return all;
}

const std::vector<Calibration>& calibrations() {
    static const std::vector<Calibration> all = module_calibrations();
    return all;
}

// The calibration of the needle driven by this variable token.
const Calibration& calibration_of(uint32_t token) {
    for (const Calibration& scale : calibrations()) {
        if (scale.token == token) return scale;
    }
    ADD_FAILURE() << "no calibrated needle reads variable " << token;
    return calibrations().front();
}

TEST(Faces, EachCalibrationPointIsTheOuterEndOfItsMark) {
    for (const Calibration& scale : calibrations()) {
        Bitmap face = bitmap(scale.face);
        for (size_t i = 0; i < scale.points.size(); ++i) {
            auto [x, y] = scale.points[i];
            SCOPED_TRACE("face " + std::to_string(scale.face) + ", point " + std::to_string(x) + ", " + std::to_string(y));
            EXPECT_GE(luma(face.at(x, y)), 150) << "the point's own pixel is inked";
            if (i == 0 && scale.first_on_numeral) continue;
            // Beyond the mark's outer end lies plain face.
            double bearing = bearing_from(scale.pivot, x + 0.5, y + 0.5);
            double reach = std::hypot(x + 0.5 - scale.pivot.x, y + 0.5 - scale.pivot.y);
            FacePoint beyond = along(scale.pivot, bearing, reach + 3);
            EXPECT_LT(luma(face.at(int(beyond.x), int(beyond.y))), 80) << "nothing of the mark 3 pixels further out";
            FacePoint inside = along(scale.pivot, bearing, reach - 6);
            EXPECT_GE(luma(face.at(int(inside.x), int(inside.y))), 150) << "the mark runs inward from the point";
        }
    }
}

// A scale as the face draws it: through each stop, the bearing (unwrapped,
// so that it only grows clockwise), the radius of the marks' outer ends, and
// the value. Between stops all three are linear in each other.
struct Stop {
    double bearing, radius, value;
};

std::vector<Stop> stops_of(const Calibration& scale) {
    std::vector<Stop> stops;
    for (size_t i = 0; i < scale.points.size(); ++i) {
        auto [x, y] = scale.points[i];
        double bearing = bearing_from(scale.pivot, x + 0.5, y + 0.5);
        if (!stops.empty()) {
            while (bearing < stops.back().bearing) bearing += 360;
        }
        stops.push_back({bearing, std::hypot(x + 0.5 - scale.pivot.x, y + 0.5 - scale.pivot.y), scale.values[i]});
    }
    return stops;
}

double bearing_of_value(const std::vector<Stop>& stops, double value) {
    for (size_t i = 0; i + 1 < stops.size(); ++i) {
        const Stop &a = stops[i], &b = stops[i + 1];
        if (value >= std::min(a.value, b.value) && value <= std::max(a.value, b.value)) {
            return a.bearing + (b.bearing - a.bearing) * (value - a.value) / (b.value - a.value);
        }
    }
    ADD_FAILURE() << "value " << value << " lies off the scale";
    return 0;
}

double radius_at(const std::vector<Stop>& stops, double bearing) {
    if (bearing <= stops.front().bearing) return stops.front().radius;
    for (size_t i = 0; i + 1 < stops.size(); ++i) {
        const Stop &a = stops[i], &b = stops[i + 1];
        if (bearing <= b.bearing) {
            return a.radius + (b.radius - a.radius) * (bearing - a.bearing) / (b.bearing - a.bearing);
        }
    }
    return stops.back().radius;
}

// Brightness between pixel centres, so that a ring crosses a thin mark
// as one run however the mark's edge pixels fall.
double luma_between(const Bitmap& b, FacePoint p) {
    const double x = p.x - 0.5, y = p.y - 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    auto at = [&](int px, int py) {
        return double(luma(b.at(std::clamp(px, 0, b.width - 1), std::clamp(py, 0, b.height - 1))));
    };
    const double upper = at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx;
    const double lower = at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx;
    return upper * (1 - fy) + lower * fy;
}

// The middle bearing of each mark a ring `depth` inside the marks' outer ends
// crosses, clockwise from `from` to `to`.
std::vector<double> marks_crossed(const Bitmap& face, FacePoint pivot, const std::vector<Stop>& stops, double depth,
                                  double from, double to) {
    std::vector<double> middles;
    double run_start = 0;
    bool inked = false;
    constexpr double step = 0.05;
    for (double bearing = from; bearing <= to + step; bearing += step) {
        bool ink = bearing <= to &&
                   luma_between(face, along(pivot, bearing, radius_at(stops, bearing) - depth)) >= 128;
        if (ink && !inked) run_start = bearing;
        if (!ink && inked) middles.push_back((run_start + bearing - step) / 2);
        inked = ink;
    }
    return middles;
}

std::vector<double> every(double from, double to, double step) {
    std::vector<double> values;
    for (double v = from; v <= to + step / 1000; v += step) values.push_back(v);
    return values;
}

// Marks of one length and longer, and how far in from the outer ends a ring
// crosses all of them and no shorter one.
struct Tier {
    const char* which;
    double depth;
    std::vector<double> values;
};

struct MarkedScale {
    std::string name;
    int face;
    FacePoint pivot;
    std::vector<Stop> stops;
    double first, last;  // values at the ends of the stretch searched
    std::vector<Tier> tiers;
};

std::vector<MarkedScale> marked_scales() {
    const Calibration &airspeed = calibration_of(61), &manifold = calibration_of(391),
                      &fuel_quantity = calibration_of(386), &temperature = calibration_of(416),
                      &oil_pressure = calibration_of(418), &fuel_pressure = calibration_of(425),
                      &radar_altimeter = calibration_of(73), &labs_lateral = calibration_of(70),
                      &labs_vertical = calibration_of(351);
    std::vector<double> radar_marks;
    for (size_t i = 0; i + 1 < radar_altimeter.values.size(); ++i) {
        double from = radar_altimeter.values[i], to = radar_altimeter.values[i + 1];
        int steps = to == 8000 ? 3 : 5;  // two short marks before the last, four elsewhere
        for (int k = 0; k < steps; ++k) radar_marks.push_back(from + (to - from) * k / steps);
    }
    radar_marks.push_back(8000);
    std::vector<double> fuel_pressure_long = every(0, 35, 5);
    fuel_pressure_long.push_back(36);  // its calibration point's mark
    std::vector<double> thirds;
    for (int third = 3; third <= 21; ++third) thirds.push_back(third / 3.0);

    // The tachometer's scale is its needle's turn, 3.6 degrees per 10 RPM.
    const std::vector<Stop> tachometer{{0, 130, 0}, {360, 130, 100}};
    // The direction finder's rims: 17 marks 5.4 degrees apart about the
    // disc's centre, alternately long and short, the middle one longest.
    const std::vector<Stop> upper_rim{{-43.2, 81.5, 0}, {43.2, 81.5, 16}};
    const std::vector<Stop> lower_rim{{136.8, 81.5, 0}, {223.2, 81.5, 16}};

    return {
        // Nothing between the 0 and the 60.
        {"airspeed", 100, airspeed.pivot, stops_of(airspeed), 15, 400,
         {{"every mark", 3, every(60, 400, 10)},
          {"long marks", 12, {60, 80, 100, 120, 160, 200, 250, 300, 350, 400}}}},
        {"manifold pressure", 105, manifold.pivot, stops_of(manifold), 10, 75,
         {{"every mark", 3, every(10, 75, 1)}, {"long marks", 12, every(10, 75, 5)}}},
        {"tachometer", 110, {139.5, 139.5}, tachometer, 0, 99,
         {{"every mark", 3, every(0, 99, 1)},
          {"medium and long marks", 9.5, every(0, 95, 5)},
          {"long marks", 12, every(0, 90, 10)}}},
        {"fuel quantity", 120, fuel_quantity.pivot, stops_of(fuel_quantity), 0, 2500,
         {{"every mark", 3, every(0, 2500, 100)}, {"long marks", 12, every(0, 2500, 500)}}},
        {"temperature", 125, temperature.pivot, stops_of(temperature), -50, 150,
         {{"every mark", 2.5, every(-50, 150, 10)}, {"long marks", 8, every(-50, 150, 50)}}},
        {"oil pressure", 125, oil_pressure.pivot, stops_of(oil_pressure), 0, 200,
         {{"every mark", 2.5, every(0, 200, 10)}, {"long marks", 8, every(0, 200, 50)}}},
        {"fuel pressure", 125, fuel_pressure.pivot, stops_of(fuel_pressure), 0, 36,
         {{"every mark", 2.5, every(0, 36, 1)}, {"long marks", 8, fuel_pressure_long}}},
        {"radar altimeter", 131, radar_altimeter.pivot, stops_of(radar_altimeter), 0, 8000,
         {{"every mark", 3, radar_marks}, {"long marks", 12, radar_altimeter.values}}},
        {"LABS lateral", 135, labs_lateral.pivot, stops_of(labs_lateral), -900, 900,
         {{"every mark", 3, every(-900, 900, 100)}, {"long marks", 9.5, every(-900, 900, 300)}}},
        {"LABS vertical", 135, labs_vertical.pivot, stops_of(labs_vertical), 1, 7,
         {{"every mark", 3, thirds}, {"long marks", 9.5, every(1, 7, 1)}}},
        {"direction finder upper rim", 145, {129.5, 128.5}, upper_rim, 0, 16,
         {{"every mark", 3, every(0, 16, 1)}, {"long marks", 8, every(0, 16, 2)}, {"the middle mark", 12, {8}}}},
        {"direction finder lower rim", 145, {129.5, 128.5}, lower_rim, 0, 16,
         {{"every mark", 3, every(0, 16, 1)}, {"long marks", 8, every(0, 16, 2)}, {"the middle mark", 12, {8}}}},
    };
}

TEST(Faces, MarksStandEvenlyInAngleBetweenCalibrationPoints) {
    for (const MarkedScale& scale : marked_scales()) {
        Bitmap face = bitmap(scale.face);
        double from = bearing_of_value(scale.stops, scale.first), to = bearing_of_value(scale.stops, scale.last);
        if (from > to) std::swap(from, to);
        for (const Tier& tier : scale.tiers) {
            SCOPED_TRACE(scale.name + ", " + tier.which);
            std::vector<double> expected;
            for (double v : tier.values) expected.push_back(bearing_of_value(scale.stops, v));
            std::sort(expected.begin(), expected.end());
            // A little past each end, so that the end marks are crossed whole.
            std::vector<double> found = marks_crossed(face, scale.pivot, scale.stops, tier.depth, from - 1.5, to + 1.5);
            EXPECT_EQ(found.size(), expected.size()) << "marks crossed";
            if (found.size() != expected.size()) continue;
            for (size_t i = 0; i < found.size(); ++i) {
                EXPECT_NEAR(found[i], expected[i], 0.3) << "bearing of mark " << i;
            }
        }
    }
}

TEST(Faces, NoMarksInTheGapFromTheLastPointBackToTheFirst) {
    for (const Calibration* scale : {&calibration_of(391), &calibration_of(73)}) {
        SCOPED_TRACE("face " + std::to_string(scale->face));
        Bitmap face = bitmap(scale->face);
        std::vector<Stop> stops = stops_of(*scale);
        Stop from = stops.back(), to = stops.front();
        to.bearing += 360;
        // A ring through every mark's reach, clear of the two end marks.
        EXPECT_TRUE(marks_crossed(face, scale->pivot, {from, to}, 4, from.bearing + 1.5, to.bearing - 1.5).empty());
    }
}

TEST(Faces, TachometerNumeralMarksStandEveryThirtySixDegreesFromTwelveOClock) {
    Bitmap face = bitmap(110);
    const FacePoint pivot{139.5, 139.5};
    for (int numeral = 0; numeral <= 9; ++numeral) {
        FacePoint end = along(pivot, numeral * 36.0, 128);
        EXPECT_GE(luma(face.at(int(end.x), int(end.y))), 150) << "numeral " << numeral;
        FacePoint between = along(pivot, numeral * 36.0 + 1.8, 128);
        EXPECT_LT(luma(face.at(int(between.x), int(between.y))), 100) << "half a mark past numeral " << numeral;
    }
}

TEST(Faces, TachometerDrumWindowIsPlainFace) {
    Bitmap face = bitmap(110);
    const Rgb ground = face.at(70, 120);
    EXPECT_NE(ground, see_through);
    for (int y = 120; y < 120 + 39; ++y) {
        for (int x = 70; x < 70 + 26; ++x) ASSERT_EQ(face.at(x, y), ground) << x << ", " << y;
    }
}

// ---------------------------------------------------------------------------
// Needles

struct Needle {
    int id;
    int pivot_x, pivot_y;
};

// Every needle picture with the pivot its elements turn it about.
std::vector<Needle> needles() {
    namespace layout = host_layout;
    std::map<int, Needle> by_picture;
    for (Record gauge : corvalenx().gauges()) {
        for (Record e : elements_of(gauge)) {
            if (e.word(layout::element::kind) != layout::element::needle) continue;
            const int id = int(e.word(layout::element::bitmap));
            by_picture[id] = {id, e.signed_word(layout::element::pivot_x), e.signed_word(layout::element::pivot_y)};
        }
    }
    std::vector<Needle> all;
    for (const auto& [id, needle] : by_picture) all.push_back(needle);
    return all;
}

TEST(Needles, PointAtTheirRightEdgeOnThePivotRow) {
    const std::vector<Needle> all = needles();
    EXPECT_EQ(all.size(), 8u);
    for (const Needle& n : all) {
        SCOPED_TRACE("needle " + std::to_string(n.id));
        Bitmap b = bitmap(n.id);
        EXPECT_EQ(n.pivot_y, (b.height - 1) / 2) << "the pivot is on the middle row";
        EXPECT_TRUE(b.opaque(b.width - 1, n.pivot_y)) << "the tip";
        EXPECT_GE(luma(b.at(b.width - 12, n.pivot_y)), 230) << "a light blade leads to the tip";
        // Everything around the needle is see-through.
        EXPECT_FALSE(b.opaque(b.width - 1, 0));
        EXPECT_FALSE(b.opaque(b.width - 1, b.height - 1));
        EXPECT_FALSE(b.opaque(b.width / 2, 0));
        EXPECT_FALSE(b.opaque(b.width / 2, b.height - 1));
        if (n.id != 127) {
            EXPECT_TRUE(b.opaque(n.pivot_x, n.pivot_y)) << "the pivot";
        }
    }
}

TEST(Needles, AirspeedManifoldAndTachometerShareOnePicture) {
    Bitmap a = bitmap(102);
    for (int id : {107, 112}) {
        Bitmap b = bitmap(id);
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) ASSERT_EQ(a.at(x, y), b.at(x, y)) << id << " at " << x << ", " << y;
        }
    }
}

TEST(Needles, DarkHubAndCounterweightBehindTheBlade) {
    for (auto [id, x, y] : {std::tuple{102, 34, 8}, {102, 8, 8}, {122, 20, 8}, {122, 8, 8}, {129, 6, 11}, {133, 40, 11}}) {
        Bitmap b = bitmap(id);
        EXPECT_TRUE(b.opaque(x, y) && luma(b.at(x, y)) < 80) << "the dark tail of " << id << " at " << x << ", " << y;
    }
    Bitmap main = bitmap(102);
    EXPECT_LT(luma(main.at(54 + 4, 8)), 80) << "hub disc on the pivot";
    EXPECT_LT(luma(main.at(54 + 10, 8)), 80) << "dark up to 12 pixels out";
    EXPECT_GE(luma(main.at(54 + 14, 8)), 230) << "the blade from 12 pixels out";
    for (int y : {1, 15}) EXPECT_TRUE(main.opaque(8, y)) << "counterweight disc at the tail's end, row " << y;

    Bitmap fuel = bitmap(122);
    EXPECT_GE(luma(fuel.at(55, 8)), 230) << "a blade through the pivot, no hub";
    EXPECT_GE(luma(fuel.at(55 - 24, 8)), 230) << "the blade starts 26 pixels behind the pivot";
    EXPECT_LT(luma(fuel.at(55 - 30, 8)), 80) << "dark arm behind it";

    Bitmap radar = bitmap(133);
    EXPECT_TRUE(radar.opaque(1, 0));
    EXPECT_TRUE(radar.opaque(1, 22)) << "the wedge tail reaches the full height at its end";
    EXPECT_LT(luma(radar.at(87 + 4, 11)), 80) << "dark hub";
    EXPECT_GE(luma(radar.at(87 + 14, 11)), 230) << "blade from 12 pixels out";

    Bitmap pressure = bitmap(129);
    bool full_height = false;
    for (int x = 0; x < 17; ++x) full_height |= pressure.opaque(x, 0) && pressure.opaque(x, 22);
    EXPECT_TRUE(full_height) << "the shield tail spans all 23 rows";
    EXPECT_FALSE(pressure.opaque(40, 0));
}

TEST(Needles, TemperatureNeedleDrawsNothingWithin54PixelsOfItsPivot) {
    Bitmap b = bitmap(127);
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x <= 63; ++x) ASSERT_FALSE(b.opaque(x, y)) << x << ", " << y;
    }
    EXPECT_TRUE(b.opaque(64, 10)) << "the blade starts 54 pixels out";
}

// ---------------------------------------------------------------------------
// Moving images and their windows

struct Strip {
    int id, pitch, digit_height, lift;
};

TEST(Strips, ElevenCellsZeroToNineAndZeroAgain) {
    for (const Strip& s : {Strip{114, 39, 29, 0}, Strip{150, 27, 21, 1}}) {
        SCOPED_TRACE("strip " + std::to_string(s.id));
        Bitmap b = bitmap(s.id);
        ASSERT_EQ(b.height, 11 * s.pitch);
        std::vector<std::vector<Rgb>> cells;
        for (int cell = 0; cell < 11; ++cell) {
            SCOPED_TRACE("cell " + std::to_string(cell));
            int top = b.height, bottom = -1, left = b.width, right = -1;
            std::vector<Rgb> pixels;
            for (int y = cell * s.pitch; y < (cell + 1) * s.pitch; ++y) {
                for (int x = 0; x < b.width; ++x) {
                    Rgb c = b.at(x, y);
                    pixels.push_back(c);
                    ASSERT_NE(c, see_through) << "no see-through pixel in a strip";
                    if (luma(c) >= 128) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
                }
            }
            EXPECT_NEAR(bottom - top + 1, s.digit_height, 1);
            double centre = cell * s.pitch + s.pitch / 2.0 - s.lift;
            EXPECT_NEAR((top + bottom + 1) / 2.0, centre, 1.0);
            EXPECT_NEAR((left + right + 1) / 2.0, b.width / 2.0, 1.5);
            cells.push_back(pixels);
        }
        EXPECT_EQ(cells[0], cells[10]) << "the repeated 0 is the same picture as the first";
        for (int cell = 1; cell < 11; ++cell) EXPECT_NE(cells[cell - 1], cells[cell]) << "cell " << cell;
    }
}

// No pure black: the window is the whole rectangle.
TEST(Masks, RectangularWindowsHoldNoSeeThrough) {
    for (int id : {115, 151}) {
        Bitmap b = bitmap(id);
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x) ASSERT_TRUE(b.opaque(x, y)) << "mask " << id << " at " << x << ", " << y;
        }
    }
}

TEST(Masks, DeviationWindowIsADisc168Across) {
    Bitmap b = bitmap(148);
    int window_pixels = 0;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            if (b.opaque(x, y)) {
                ++window_pixels;
                ASSERT_LE(std::hypot(x - 84.5, y - 84.5), 84.5) << x << ", " << y;
            }
        }
    }
    for (int i = 1; i <= 168; i += 167) {
        EXPECT_TRUE(b.opaque(i, 84)) << "column " << i;
        EXPECT_TRUE(b.opaque(84, i)) << "row " << i;
    }
    for (int i : {0, 169}) {
        EXPECT_FALSE(b.opaque(i, 84));
        EXPECT_FALSE(b.opaque(84, i));
    }
    EXPECT_NEAR(window_pixels, std::numbers::pi * 84 * 84, 300);
}

TEST(DeviationImage, OneOutlinedBarInColumns142To148AndRows6To162) {
    Bitmap b = bitmap(147);
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            bool in_bar = x >= 142 && x <= 148 && y >= 6 && y <= 162;
            ASSERT_EQ(b.opaque(x, y), in_bar) << x << ", " << y;
            if (!in_bar) continue;
            bool outline = x == 142 || x == 148 || y == 6 || y == 162;
            if (outline) {
                ASSERT_LT(luma(b.at(x, y)), 80) << x << ", " << y;
            } else {
                ASSERT_GE(luma(b.at(x, y)), 230) << x << ", " << y;
            }
        }
    }
}

TEST(Overlay, RepeatsTheFacesCoverAndHidesOnlyThePointersPivotEnds) {
    Bitmap overlay = bitmap(139), face = bitmap(135);
    int covered = 0;
    for (int y = 1; y < overlay.height - 1; ++y) {
        for (int x = 1; x < overlay.width - 1; ++x) {
            bool inner = true;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) inner &= overlay.opaque(x + dx, y + dy);
            }
            if (!inner) continue;
            ++covered;
            // Each picture has its own colour table, so allow for rounding.
            Rgb a = overlay.at(x, y), b = face.at(x, y);
            ASSERT_LE(std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}), 6)
                << "the cover as the face shows it, at " << x << ", " << y << ": " << a << " against " << b;
            ASSERT_TRUE(x <= 156 + 17 && y >= 174 - 17) << "the cover keeps to the lower left, at " << x << ", " << y;
        }
    }
    EXPECT_GT(covered, 5000);

    // Across each pointer's whole swing (bearings of its outer calibration
    // points), its first 15 pixels are covered and from 18 out it shows.
    struct Swing {
        FacePoint pivot;
        double from, to;
    };
    for (const Swing& s : {Swing{{156.5, 253.5}, 333, 387}, Swing{{77.5, 174.5}, 63, 117}}) {
        for (double bearing = s.from; bearing <= s.to; bearing += 1) {
            for (double d = 0; d <= 15; d += 0.5) {
                FacePoint p = along(s.pivot, bearing, d);
                ASSERT_TRUE(overlay.opaque(int(p.x), int(p.y))) << "bearing " << bearing << ", " << d << " out";
            }
            for (double d = 18; d <= 60; d += 0.5) {
                FacePoint p = along(s.pivot, bearing, d);
                ASSERT_FALSE(overlay.opaque(int(p.x), int(p.y))) << "bearing " << bearing << ", " << d << " out";
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Version resource

std::wstring wide_module_path() {
    std::string path = module_path();
    return std::wstring(path.begin(), path.end());
}

// One node of the version resource's tree: key, value bytes, children.
struct VersionBlock {
    std::wstring key;
    const BYTE* value = nullptr;
    WORD value_length = 0;
    std::vector<VersionBlock> children;
};

VersionBlock parse_block(const BYTE* start) {
    auto word = [](const BYTE* p) { return *reinterpret_cast<const WORD*>(p); };
    auto align = [&](const BYTE* p) { return start + ((p - start + 3) & ~3); };
    VersionBlock block;
    const WORD length = word(start);
    block.value_length = word(start + 2);
    const WORD type = word(start + 4);
    const wchar_t* key = reinterpret_cast<const wchar_t*>(start + 6);
    block.key = key;
    const BYTE* p = align(start + 6 + (block.key.size() + 1) * 2);
    block.value = p;
    // Text values count characters, binary values bytes.
    p = align(p + block.value_length * (type == 1 ? 2 : 1));
    while (p < start + length) {
        block.children.push_back(parse_block(p));
        p = align(p + word(p));
    }
    return block;
}

TEST(Version, FixedPartAsTheHostExpects) {
    std::wstring path = wide_module_path();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwStrucVersion, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x00010004u) << "VOS_DOS_WINDOWS32";
    EXPECT_EQ(fixed->dwFileType, 1u) << "VFT_APP, not VFT_DLL";
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const std::map<std::wstring, std::wstring> fixed_strings = {
        {L"FileDescription", L"VO2 Virev Ide"},
        {L"FileVersion", L"1.0.0"},
        {L"ProductName", L"Corvalenx Gauges"},
        {L"ProductVersion", L"1.0.0"},
    };
    for (const auto& [key, expected] : fixed_strings) {
        wchar_t* value = nullptr;
        std::wstring query = L"\\StringFileInfo\\040904b0\\" + key;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << std::string(key.begin(), key.end());
        EXPECT_EQ(std::wstring(value), expected) << std::string(key.begin(), key.end());
    }
}

TEST(Version, OneStringTableWithTheSixKeysInOrder) {
    Resource raw = resource(version_type, 1);
    ASSERT_NE(raw.data, nullptr);
    VersionBlock root = parse_block(raw.data);
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    EXPECT_EQ(root.value_length, sizeof(VS_FIXEDFILEINFO));
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].key, L"StringFileInfo");
    EXPECT_EQ(root.children[1].key, L"VarFileInfo");

    ASSERT_EQ(root.children[0].children.size(), 1u) << "one string table";
    const VersionBlock& table = root.children[0].children[0];
    EXPECT_EQ(table.key, L"040904b0");
    std::vector<std::wstring> keys;
    for (const VersionBlock& s : table.children) {
        keys.push_back(s.key);
        EXPECT_GT(s.value_length, 1) << "a value for " << std::string(s.key.begin(), s.key.end());
    }
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"CompanyName", L"FileDescription", L"FileVersion", L"LegalCopyright",
                                               L"ProductName", L"ProductVersion"}));

    ASSERT_EQ(root.children[1].children.size(), 1u);
    EXPECT_EQ(root.children[1].children[0].key, L"Translation");
}

}  // namespace
