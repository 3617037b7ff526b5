// What panelhost shows: needles turned through their calibration tables (the
// tip on the value's mark, for every table point of the built module),
// moving images offset by the travel formula and seen only through their
// masks, rate limits, failures, icons, variables and the mouse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/panel_host.h"
#include "tests/support/loaded_module.h"

namespace {

using namespace panelhost;

std::string beside_tests(const std::string& file) {
    std::string dir = module_path();
    return dir.substr(0, dir.find_last_of("\\/") + 1) + file;
}

std::unique_ptr<Host> open_or_fail(const std::string& path) {
    Report report;
    std::unique_ptr<Host> host = Host::open(path, report);
    EXPECT_NE(host, nullptr) << report.text();
    return host;
}

size_t element_of(const GaugeModel& g, ElementKind kind, int nth = 0) {
    for (size_t i = 0; i < g.elements.size(); ++i)
        if (g.elements[i].kind == kind && nth-- == 0) return i;
    ADD_FAILURE() << "no such element in " << g.name;
    return 0;
}

double wrapped(double angle) { return std::fmod(std::fmod(angle, 360.0) + 360.0, 360.0); }

// ---------------------------------------------------------------------------
// The fixture: a 16 x 16 grey face, an 8 x 3 needle pivoted at 2, 1 on the
// face's 8, 8 (0 up, 100 at three o'clock), a strip of red, green and blue
// 4-row cells behind a 4 x 4 window at 12, 12, and a yellow 2 x 2 icon at 7, 7.

const Rgba grey = opaque(40, 40, 40), white = opaque(240, 240, 240), yellow = opaque(240, 240, 0);
const Rgba red = opaque(200, 0, 0), green = opaque(0, 200, 0), blue = opaque(0, 0, 200);

class Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        host = open_or_fail(beside_tests("fixture_well_formed.gau"));
        ASSERT_NE(host, nullptr);
        gauge = host->gauge("Fixture");
        ASSERT_NE(gauge, nullptr);
        host->install(*gauge);
    }
    Image show(double needle_value, double strip_value) {
        host->variables.set_number(61, needle_value);
        host->variables.set_number(390, strip_value);
        host->update(*gauge);
        return host->draw(*gauge);
    }
    std::unique_ptr<Host> host;
    const GaugeModel* gauge = nullptr;
};

TEST_F(Fixture, NeedleFollowsItsTableAndHoldsBeyondItsEnds) {
    struct {
        double value, angle;
    } cases[] = {{0, 270}, {50, 315}, {100, 360}, {150, 360}, {-10, 270}, {NAN, 270}};
    for (auto c : cases) {
        show(c.value, 0);
        EXPECT_DOUBLE_EQ(host->state(*gauge, 1).angle, c.angle) << c.value;
    }
    // The tip (column 7, five pixels out) straight up at 0, straight right at 100.
    EXPECT_EQ(show(0, 0).at(8, 3), white);
    EXPECT_EQ(show(0, 0).at(13, 8), grey);
    EXPECT_EQ(show(100, 0).at(13, 8), white);
    EXPECT_EQ(show(100, 0).at(8, 3), grey);
}

TEST_F(Fixture, StripShowsTheRowsItsTravelGivesThroughTheMaskOnly) {
    struct {
        double value;
        Rgba top, bottom;
    } cases[] = {{0, red, red}, {50, green, green}, {100, blue, blue}, {25, red, green}, {120, blue, blue}};
    for (auto c : cases) {
        Image face = show(0, c.value);
        EXPECT_EQ(face.at(13, 12), c.top) << c.value;
        EXPECT_EQ(face.at(13, 15), c.bottom) << c.value;
        // The mask's bottom-left pixel is outside the window: the face shows.
        EXPECT_EQ(face.at(12, 15), grey) << c.value;
    }
    // Half a pixel of travel blends the two rows it falls between.
    Image half = show(0, 43.75);  // 3.5 pixels: the last red row over the first green
    Rgba blended = half.at(13, 12);
    EXPECT_NEAR(blended.r, 100, 1);
    EXPECT_NEAR(blended.g, 100, 1);
    EXPECT_EQ(half.at(13, 13), green);
    EXPECT_DOUBLE_EQ(host->state(*gauge, 2).offset_y, 3.5);
}

TEST_F(Fixture, IconIsDrawnLastAndPureBlackNowhere) {
    Image face = show(100, 0);
    EXPECT_EQ(face.at(7, 7), yellow);
    EXPECT_EQ(face.at(8, 8), yellow);  // over the needle's pivot
    EXPECT_EQ(face.at(0, 0), grey);    // the icon's pure black leaves the face alone
}

TEST_F(Fixture, FreezeKeepsWhatTheNeedleShowed) {
    show(50, 0);
    host->failed_keys.insert(7);
    show(100, 0);
    EXPECT_DOUBLE_EQ(host->state(*gauge, 1).angle, 315);
    host->failed_keys.clear();
    show(100, 0);
    EXPECT_DOUBLE_EQ(host->state(*gauge, 1).angle, 360);
}

TEST_F(Fixture, MouseFindsTheInnermostAreaWithNestedBoxesRelativeToTheirParent) {
    MouseHit hit = host->mouse(*gauge, 7, 7);
    ASSERT_NE(hit.area, nullptr);
    EXPECT_EQ(hit.area->index, 3);
    EXPECT_EQ(hit.area->x, 6);  // 4 (parent) + 2
    EXPECT_EQ(hit.area->record.event_id, 0x10070u);
    ASSERT_EQ(hit.enclosing.size(), 2u);
    EXPECT_EQ(hit.enclosing[0]->record.help_id, 0x22u);
    EXPECT_EQ(host->mouse(*gauge, 5, 5).area->index, 2);
    EXPECT_EQ(host->mouse(*gauge, 1, 1).area->index, 1);
    EXPECT_EQ(host->mouse(*gauge, 16, 1).area, nullptr);
}

TEST(HostCalibration, InterpolatesClockwiseAcrossTheWrapInEitherValueOrder) {
    ElementModel rising;
    rising.calibration = {{0, 300, 0}, {10, 30, 90}, {30, 120, 180}};
    EXPECT_DOUBLE_EQ(Host::calibrated_angle(rising, 5), 345);  // across the wrap
    EXPECT_DOUBLE_EQ(wrapped(Host::calibrated_angle(rising, 20)), 75);
    EXPECT_DOUBLE_EQ(Host::calibrated_angle(rising, -5), 300);
    EXPECT_DOUBLE_EQ(wrapped(Host::calibrated_angle(rising, 99)), 120);
    ElementModel falling;  // listed clockwise, values decreasing
    falling.calibration = {{36, 270, 0}, {15, 0, 90}, {0, 90, 180}};
    EXPECT_DOUBLE_EQ(Host::calibrated_angle(falling, 25.5), 315);
    EXPECT_DOUBLE_EQ(wrapped(Host::calibrated_angle(falling, 7.5)), 45);
    EXPECT_DOUBLE_EQ(Host::calibrated_angle(falling, 50), 270);
    EXPECT_DOUBLE_EQ(wrapped(Host::calibrated_angle(falling, -1)), 90);
}

TEST(HostVariables, AssignmentsParseAsNumbersOrBcdWords) {
    Variables v;
    std::string error;
    EXPECT_TRUE(v.set("61=120.5", error));
    EXPECT_EQ(v.value(61).number, 120.5);
    EXPECT_TRUE(v.set("16=0x0345", error));
    EXPECT_EQ(v.value(16).word, 0x0345u);
    // The word fills the value's first four bytes, little-endian.
    EXPECT_TRUE(v.set("16=0x87650345", error));
    const unsigned char word_bytes[8] = {0x45, 0x03, 0x65, 0x87, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(v.value(16).bytes, word_bytes, 8), 0);
    for (const char* bad : {"61", "=3", "x=3", "61=fast", "61=", "16=-1", "16=0x1FFFFFFFF", "-61=5", "+61=5",
                            " 61=5", "4294967296=5", "99999999999=5", "0=5"}) {
        EXPECT_FALSE(v.set(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

// ---------------------------------------------------------------------------
// The built module.

class BuiltModule : public ::testing::Test {
protected:
    void SetUp() override {
        host = open_or_fail(module_path());
        ASSERT_NE(host, nullptr);
    }
    const GaugeModel& gauge(const char* name) {
        const GaugeModel* g = host->gauge(name);
        EXPECT_NE(g, nullptr) << name;
        return *g;
    }
    std::unique_ptr<Host> host;
};

bool light(Rgba p) { return p.a == 255 && p.r + p.g + p.b > 3 * 150; }

// For every calibrated needle and every point of its table: drawn at the
// angle the host gives that value, the needle's tip lies on the point's ray,
// at most 8 pixels short of it, and the face has a mark at the point.
TEST_F(BuiltModule, EveryCalibratedNeedleTipLandsOnItsValuesMark) {
    int checked = 0;
    for (const GaugeModel& g : host->gauges()) {
        const Image& face = g.elements[0].picture->picture;
        for (const ElementModel& e : g.elements) {
            if (e.calibration.empty()) continue;
            const stored::ElementHeader* h = &e.header;
            for (const stored::CalibrationPoint& point : e.calibration_points) {
                double angle = wrapped(Host::calibrated_angle(e, point.value));
                Image canvas(g.width, g.height);
                draw_rotated(canvas, e.picture->picture, h->offset.x, h->offset.y, h->position.x, h->position.y,
                             angle);
                double px = point.point.x - h->position.x, py = point.point.y - h->position.y;
                double reach = std::hypot(px, py), ux = px / reach, uy = py / reach;
                double tip_along = -1, tip_across = 0;
                for (int y = 0; y < canvas.height; ++y) {
                    for (int x = 0; x < canvas.width; ++x) {
                        if (canvas.at(x, y).a < 128) continue;
                        double dx = x - h->position.x, dy = y - h->position.y;
                        double along = dx * ux + dy * uy;
                        if (along > tip_along) tip_along = along, tip_across = dx * -uy + dy * ux;
                    }
                }
                std::string where = g.name + " " + e.name + " value " + std::to_string(point.value);
                EXPECT_LE(std::fabs(tip_across), 1.5) << where;
                EXPECT_GE(tip_along, reach - 9.5) << where;
                EXPECT_LE(tip_along, reach + 1.5) << where;
                bool mark = false;
                for (int dy = -3; dy <= 3 && !mark; ++dy)
                    for (int dx = -3; dx <= 3 && !mark; ++dx)
                        mark = face.contains(point.point.x + dx, point.point.y + dy) &&
                               light(face.at(point.point.x + dx, point.point.y + dy));
                EXPECT_TRUE(mark) << where << ": no mark on the face near " << point.point.x << ", "
                                  << point.point.y;
                ++checked;
            }
        }
    }
    EXPECT_GE(checked, 9 + 4 + 5 + 3 * 3 + 10 + 2 * 3);
}

// The strip's pixel `row` rows down, a fractional row blending the two it
// falls between.
Rgba strip_at(const Image& strip, int x, double row) {
    const int top = int(std::floor(row));
    const double below = row - top;
    const Rgba a = strip.at(x, top), b = below > 0 ? strip.at(x, top + 1) : a;
    auto blend = [&](uint8_t Rgba::*c) { return uint8_t(std::lround(a.*c * (1 - below) + b.*c * below)); };
    return {blend(&Rgba::r), blend(&Rgba::g), blend(&Rgba::b), blend(&Rgba::a)};
}

// Draws the gauge and returns the window's pixels; compares them with the
// strip's rows from `first` (a fractional row blends two).
void expect_window_shows_rows(const Image& drawn, const stored::ElementHeader* at, const Image& strip, const Image& window,
                              double first, const std::string& label) {
    int mismatches = 0;
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            if (window.at(x, y).a == 0) continue;
            Rgba want = strip_at(strip, x, first + y);
            Rgba got = drawn.at(at->position.x + x, at->position.y + y);
            mismatches += std::abs(want.r - got.r) > 1 || std::abs(want.g - got.g) > 1 || std::abs(want.b - got.b) > 1;
        }
    }
    EXPECT_EQ(mismatches, 0) << label << ": window differs from strip rows from " << first;
}

TEST_F(BuiltModule, DrumsShowTheStripRowsTheirTravelGives) {
    const GaugeModel& tach = gauge("Engine_Tachometer");
    size_t drum = element_of(tach, ELEMENT_TYPE_MOVING_IMAGE);
    const ElementModel& e = tach.elements[drum];
    host->install(tach);
    // RPM giving drum values 0, 10, ..., 90 and 95.
    for (int d = 0; d <= 10; ++d) {
        double rpm = d < 10 ? d * 1000 : 9950;
        double rows = d < 10 ? 39.0 * d : 370.5;
        host->variables.set_number(390, rpm);
        host->update(tach);
        EXPECT_NEAR(host->state(tach, drum).offset_y, rows, 1e-9) << rpm;  // 95 comes back a hair above
        expect_window_shows_rows(host->draw(tach), &e.header, e.picture->picture, e.window->picture, rows,
                                 "tachometer at " + std::to_string(rpm));
    }
    // 100, the top of the range, is the repeated 0 (rows 270 to 296 of 150).
    const GaugeModel& df = gauge("Direction_Finder");
    size_t ones = element_of(df, ELEMENT_TYPE_MOVING_IMAGE, 0);
    host->install(df);
    host->variables.set_word(16, 0x000A);
    host->update(df);
    const ElementModel& o = df.elements[ones];
    EXPECT_DOUBLE_EQ(host->state(df, ones).offset_y, 270);
    Image drawn = host->draw(df);
    expect_window_shows_rows(drawn, &o.header, o.picture->picture, o.window->picture, 270, "ones drum at 100");
    expect_window_shows_rows(drawn, &o.header, o.picture->picture, o.window->picture, 0, "the repeated 0");
}

TEST_F(BuiltModule, FrequencyWordSetsEachDrumToItsDigit) {
    const GaugeModel& df = gauge("Direction_Finder");
    host->install(df);
    std::string error;
    ASSERT_TRUE(host->variables.set("16=0x0345", error));
    host->update(df);
    // Children in list order: ones, tens, hundreds.
    EXPECT_DOUBLE_EQ(host->state(df, element_of(df, ELEMENT_TYPE_MOVING_IMAGE, 0)).offset_y, 5 * 27);
    EXPECT_DOUBLE_EQ(host->state(df, element_of(df, ELEMENT_TYPE_MOVING_IMAGE, 1)).offset_y, 4 * 27);
    EXPECT_DOUBLE_EQ(host->state(df, element_of(df, ELEMENT_TYPE_MOVING_IMAGE, 2)).offset_y, 3 * 27);
}

TEST_F(BuiltModule, RateLimitMovesANeedleAtMostItsDegreesPerTick) {
    const GaugeModel& fuel = gauge("Fuel_Quantity");
    size_t needle = element_of(fuel, ELEMENT_TYPE_NEEDLE);
    host->variables.set_number(306, 6);
    host->variables.set_number(386, 0);
    host->install(fuel);
    host->update(fuel);  // the first update places the needle
    double start = host->state(fuel, needle).angle;
    host->variables.set_number(386, 400);  // 2400 lb
    double target = Host::calibrated_angle(fuel.elements[needle], 2400);
    int ticks = 0;
    for (double last = start; host->state(fuel, needle).angle != target && ticks < 100; ++ticks) {
        host->update(fuel);
        double now = host->state(fuel, needle).angle;
        EXPECT_LE(std::fabs(now - last), 6.0 + 1e-9);
        last = now;
    }
    EXPECT_EQ(ticks, int(std::ceil((target - start) / 6)));

    // And as slowly back.
    host->variables.set_number(386, 0);
    ticks = 0;
    for (double last = target; host->state(fuel, needle).angle != start && ticks < 100; ++ticks) {
        host->update(fuel);
        double now = host->state(fuel, needle).angle;
        EXPECT_LE(std::fabs(now - last), 6.0 + 1e-9);
        last = now;
    }
    EXPECT_EQ(ticks, int(std::ceil((target - start) / 6)));
}

// Install writes each calibration point's angle into the module's record:
// the direction from the needle's pivot to the point, clockwise from three
// o'clock. Read at the host's byte offsets (points of 24 bytes, x and y at 0
// and 4, the angle at 16).
TEST_F(BuiltModule, InstallWritesEveryCalibrationPointsAngle) {
    int written = 0;
    for (const GaugeModel& g : host->gauges()) {
        for (const ElementModel& e : g.elements) {
            if (e.calibration.empty()) continue;
            auto* table = host->module().live<uint8_t>(e.needle.calibration);
            for (size_t p = 0; p < e.calibration.size(); ++p) std::memset(table + 24 * p + 16, 0, 8);
        }
        host->install(g);
        for (const ElementModel& e : g.elements) {
            if (e.calibration.empty()) continue;
            const auto* table = host->module().live<const uint8_t>(e.needle.calibration);
            for (size_t p = 0; p < e.calibration.size(); ++p) {
                int32_t x, y;
                double angle;
                std::memcpy(&x, table + 24 * p, 4);
                std::memcpy(&y, table + 24 * p + 4, 4);
                std::memcpy(&angle, table + 24 * p + 16, 8);
                double expected = wrapped(std::atan2(y - e.header.position.y, x - e.header.position.x) * 180 / M_PI);
                EXPECT_NEAR(angle, expected, 1e-9) << g.name << " " << e.name << " point " << p;
                ++written;
            }
        }
        host->kill(g);
    }
    EXPECT_EQ(written, 9 + 4 + 5 + 3 * 3 + 10 + 2 * 3);
}

TEST_F(BuiltModule, ZeroFailureReadsTheVariablesAsZero) {
    const GaugeModel& tach = gauge("Engine_Tachometer");
    host->install(tach);
    host->variables.set_number(390, 2350);
    host->failed_keys.insert(20);
    host->update(tach);
    EXPECT_DOUBLE_EQ(host->state(tach, element_of(tach, ELEMENT_TYPE_NEEDLE)).angle, 270);
    EXPECT_DOUBLE_EQ(host->state(tach, element_of(tach, ELEMENT_TYPE_MOVING_IMAGE)).offset_y, 0);
}

TEST_F(BuiltModule, DirectionFinderTuningAreaAnswersTheMouse) {
    const GaugeModel& df = gauge("Direction_Finder");
    struct {
        int x, y;
        int area;
        uint32_t help, event;
        int32_t cursor;
    } cases[] = {
        {41, 211, 3, 0, 0x10070, 1},      {74, 236, 6, 0, 0x10083, 2},  {122, 251, 8, 0, 0x10084, 2},
        {98, 210, 7, 0, 0x10072, 1},      {66, 215, 2, 0xA718, 0, -1},  {10, 10, 1, 0xAB00, 0, -1},
        {123, 230, 1, 0xAB00, 0, -1},
    };
    for (auto c : cases) {
        MouseHit hit = host->mouse(df, c.x, c.y);
        ASSERT_NE(hit.area, nullptr) << c.x << ", " << c.y;
        EXPECT_EQ(hit.area->index, c.area) << c.x << ", " << c.y;
        EXPECT_EQ(hit.area->record.help_id, c.help) << c.x << ", " << c.y;
        EXPECT_EQ(hit.area->record.event_id, c.event) << c.x << ", " << c.y;
        EXPECT_EQ(int32_t(hit.area->record.cursor), c.cursor) << c.x << ", " << c.y;
    }
}

TEST_F(BuiltModule, EveryGaugeInstallsUpdatesAndDrawsWithoutWarnings) {
    for (const GaugeModel& g : host->gauges()) {
        host->install(g);
        host->update(g);
        Image drawn = host->draw(g);
        EXPECT_EQ(drawn.width, g.width);
        EXPECT_EQ(host->warnings, std::vector<std::string>{}) << g.name;
        host->kill(g);
        EXPECT_FALSE(host->installed(g));
    }
}

}  // namespace
