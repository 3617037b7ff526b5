// Panel layouts: the reader's view of the shipped example, the message each
// kind of bad line gets (naming its line), sizes taken from the faces,
// gauges off the window, and whole windows drawn with the built module.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "host/panel_layout.h"
#include "host/panel_window.h"
#include "tests/support/loaded_module.h"

namespace {

using namespace panelhost;

std::string beside_tests(const std::string& file) {
    std::string dir = module_path();
    return dir.substr(0, dir.find_last_of("\\/") + 1) + file;
}

std::string messages_of(const PanelLayout& layout) { return layout.message_text(); }

// The one message on `line`, or a failure listing them all.
const LayoutMessage* message_at(const PanelLayout& layout, int line) {
    const LayoutMessage* found = nullptr;
    for (const LayoutMessage& m : layout.messages) {
        if (m.line != line) continue;
        EXPECT_EQ(found, nullptr) << "two messages on line " << line << ":\n" << messages_of(layout);
        found = &m;
    }
    EXPECT_NE(found, nullptr) << "no message on line " << line << ":\n" << messages_of(layout);
    return found;
}

TEST(PanelLayout, ReadsTheShippedExampleWithoutComplaint) {
    PanelLayout layout = load_panel_layout(beside_tests("Corvalenx-panel.cfg"));
    EXPECT_TRUE(layout.messages.empty()) << messages_of(layout);
    ASSERT_EQ(layout.windows.size(), 1u);
    const LayoutWindow& w = layout.windows[0];
    // No [Window Titles] to copy by mistake: the window goes by its section.
    EXPECT_EQ(w.title, "Window00");
    EXPECT_EQ(w.width, 1212);
    EXPECT_EQ(w.height, 646);
    ASSERT_TRUE(w.background_colour);
    EXPECT_EQ(*w.background_colour, (LayoutColour{58, 62, 68}));
    ASSERT_EQ(w.gauges.size(), 8u);
    // The one name with a space keeps it; spaces around fields go.
    const LayoutGauge& manifold = w.gauges[4];
    EXPECT_EQ(manifold.module, "Corvalenx");
    EXPECT_EQ(manifold.gauge, "Manifold Pressure");
    EXPECT_EQ(manifold.number, 4);
    EXPECT_EQ(manifold.x, 53);
    EXPECT_EQ(manifold.y, 352);
    EXPECT_EQ(manifold.width, 278);
    EXPECT_EQ(manifold.height, 278);
    EXPECT_EQ(layout.window("0"), &layout.windows[0]);
    EXPECT_EQ(layout.window("window00"), &layout.windows[0]);
    EXPECT_EQ(layout.window("1"), nullptr);
}

TEST(PanelLayout, ReadsWhatAWindowsEditorWrites) {
    // Byte-order mark, CRLF, keys in any case, comments after values.
    PanelLayout layout = read_panel_layout(
        "\xEF\xBB\xBF[WINDOW01]\r\nSize_MM=100,80\r\nGauge00=m!g, 1, 2 // first\r\ngauge01=m!g,3,4;second\r\n",
        "p.cfg");
    EXPECT_TRUE(layout.messages.empty()) << messages_of(layout);
    ASSERT_EQ(layout.windows.size(), 1u);
    EXPECT_EQ(layout.windows[0].number, 1);
    EXPECT_EQ(layout.windows[0].title, "WINDOW01");
    ASSERT_EQ(layout.windows[0].gauges.size(), 2u);
    EXPECT_EQ(layout.windows[0].gauges[1].y, 4);
    EXPECT_FALSE(layout.windows[0].gauges[1].width_given);

    // A message names the line as the editor counts it, CRLF or not.
    PanelLayout bad = read_panel_layout("[Window00]\r\n// note\r\n\r\nsize_mm=1\r\n", "crlf.cfg");
    ASSERT_EQ(bad.messages.size(), 1u) << messages_of(bad);
    EXPECT_EQ(bad.messages[0].line, 4) << messages_of(bad);
}

TEST(PanelLayout, EachBadLineGetsAMessageNamingItsLine) {
    const char* text =
        "stray=1\n"                                  // 1
        "[Window00]\n"                               // 2
        "size_mm=200,0\n"                            // 3
        "background_color=300,0,0\n"                 // 4
        "gauge00=Corvalenx Airspeed, 1, 2\n"         // 5
        "gauge01=Corvalenx!, 1, 2\n"                 // 6
        "gauge02=Corvalenx!Airspeed, 1\n"            // 7
        "gauge03=Corvalenx!Airspeed, 1, 2.5\n"       // 8
        "gauge04=Corvalenx!Airspeed, 1, 2, 3, 4, 5\n"  // 9
        "gauge04=Corvalenx!Airspeed, 1, 2\n"         // 10
        "colour=1\n"                                 // 11
        "just words\n"                               // 12
        "[Window00]\n"                               // 13
        "[Mystery]\n"                                // 14
        "[Views]\n"                                  // 15
        "anything=goes\n"                            // 16
        "[Window02\n"                                // 17
        "gauge06=m!g, 1, 1\n"                        // 18
        "[Window03]\n"                               // 19
        "size_mm=10,10\n"                            // 20
        "SIZE_MM=20,20\n";                           // 21
    PanelLayout layout = read_panel_layout(text, "bad.cfg");
    struct Expected {
        int line;
        LayoutMessage::Level level;
        const char* words;
    } expected[] = {
        {1, LayoutMessage::Warning, "\"stray\" comes before any [section]"},
        {3, LayoutMessage::Error, "size_mm 200 x 0: each side must be from 1 to 16384"},
        {4, LayoutMessage::Error, "background_color is \"300,0,0\"; it takes RED,GREEN,BLUE, each 0 to 255"},
        {5, LayoutMessage::Error, "the gauge is named MODULE!GAUGE"},
        {6, LayoutMessage::Error, "lacks the gauge name around the !"},
        {7, LayoutMessage::Error, "gauge02 (Corvalenx!Airspeed) needs at least X, Y"},
        {8, LayoutMessage::Error, "y is \"2.5\"; positions and sizes are whole panel pixels"},
        {9, LayoutMessage::Warning, "the fields after the height are ignored"},
        {10, LayoutMessage::Error, "gauge04 repeats the gauge number of line 9"},
        {11, LayoutMessage::Warning, "unknown key \"colour\" in [Window00]; ignored"},
        {12, LayoutMessage::Error, "\"just words\" is not KEY=VALUE"},
        {13, LayoutMessage::Error, "[Window00] repeats [Window00] of line 2"},
        {14, LayoutMessage::Warning, "[Mystery] is not a section this host reads"},
        {17, LayoutMessage::Error, "\"[Window02\" is not a [section] header"},
        {21, LayoutMessage::Warning, "SIZE_MM is given again (line 20); this line's value counts"},
    };
    for (const Expected& e : expected) {
        const LayoutMessage* m = message_at(layout, e.line);
        if (!m) continue;
        EXPECT_EQ(m->level, e.level) << m->text;
        EXPECT_NE(m->text.find(e.words), std::string::npos) << "line " << e.line << ": " << m->text;
    }
    EXPECT_EQ(layout.messages.size(), std::size(expected)) << messages_of(layout);
    EXPECT_TRUE(layout.has_errors());
    // The text a user sees: file, line, level.
    EXPECT_NE(messages_of(layout).find("bad.cfg:5: error: gauge00=Corvalenx Airspeed"), std::string::npos);
}

TEST(PanelLayout, AFileWithoutWindowsOrThatCannotBeReadIsAnError) {
    PanelLayout empty = read_panel_layout("[Window Titles]\nWindow00=Main\n", "empty.cfg");
    ASSERT_EQ(empty.messages.size(), 1u);
    EXPECT_EQ(messages_of(empty), "empty.cfg: error: no [WindowNN] section: there is no panel window to draw\n");
    PanelLayout missing = load_panel_layout(beside_tests("no_such_layout.cfg"));
    EXPECT_TRUE(missing.has_errors());
    EXPECT_NE(messages_of(missing).find("no_such_layout.cfg: error: cannot be read"), std::string::npos);
}

TEST(PanelLayout, AGapInTheGaugeNumbersIsAWarningOnTheGaugeAfterIt) {
    PanelLayout layout = read_panel_layout("[Window00]\ngauge00=m!g,0,0\ngauge02=m!g,0,0\n", "gap.cfg");
    ASSERT_EQ(layout.messages.size(), 1u) << messages_of(layout);
    EXPECT_EQ(layout.messages[0].level, LayoutMessage::Warning);
    EXPECT_EQ(layout.messages[0].line, 3);
    EXPECT_NE(layout.messages[0].text.find("gauge01 is missing"), std::string::npos);
}

// A module "m" with a 100 x 50 gauge "wide"; nothing else exists.
std::optional<FaceSize> fake_faces(const std::string& module, const std::string& gauge, std::string& why) {
    if (module != "m") {
        why = "no module " + module;
        return std::nullopt;
    }
    if (gauge != "wide") {
        why = "no gauge \"" + gauge + "\"";
        return std::nullopt;
    }
    return FaceSize{100, 50};
}

TEST(PanelLayout, PlacingTakesSizesFromTheFaceAndKeepsGaugesOnTheWindow) {
    const char* text =
        "[Window00]\n"
        "size_mm=300,200\n"
        "gauge00=m!wide, 0, 0\n"             // 3: the face's size
        "gauge01=m!wide, 0, 0, 40\n"         // 4: width only: 40 x 20
        "gauge02=m!wide, 200, 150, 100, 50\n"  // 5: touching the far corner: fine
        "gauge03=m!wide, 0, 0, 0, 10\n"      // 6
        "gauge04=m!wide, 0, 0, 10, -3\n"     // 7
        "gauge05=m!wide, -1, 0\n"            // 8
        "gauge06=m!wide, 0, -1\n"            // 9
        "gauge07=m!wide, 201, 0\n"           // 10
        "gauge08=m!wide, 0, 151\n"           // 11
        "gauge09=x!wide, 0, 0\n"             // 12
        "gauge10=m!narrow, 0, 0\n"           // 13
        "gauge11=m!wide, 0, 0, 43\n";       // 14: 43 x 21.5, rounded
    PanelLayout layout = read_panel_layout(text, "place.cfg");
    ASSERT_FALSE(layout.has_errors()) << messages_of(layout);
    place_gauges(layout, layout.windows[0], fake_faces);
    const std::vector<LayoutGauge>& g = layout.windows[0].gauges;
    EXPECT_EQ(g[0].width, 100);
    EXPECT_EQ(g[0].height, 50);
    EXPECT_EQ(g[1].width, 40);
    EXPECT_EQ(g[1].height, 20);
    EXPECT_EQ(g[11].height, 22);
    const std::pair<int, const char*> expected[] = {
        {6, "gauge03 (m!wide): size 0 x 10; a gauge's width and height must be positive"},
        {7, "size 10 x -3"},
        {8, "at -1, 0, 100 x 50 starts left of the window ([Window00] is 300 x 200)"},
        {9, "starts above the window"},
        {10, "at 201, 0, 100 x 50 reaches past the window's right edge"},
        {11, "reaches below the window's bottom edge"},
        {12, "gauge09 (x!wide): no module x"},
        {13, "gauge10 (m!narrow): no gauge \"narrow\""},
    };
    for (auto [line, words] : expected) {
        const LayoutMessage* m = message_at(layout, line);
        if (!m) continue;
        EXPECT_EQ(m->level, LayoutMessage::Error);
        EXPECT_NE(m->text.find(words), std::string::npos) << "line " << line << ": " << m->text;
    }
    EXPECT_EQ(layout.messages.size(), std::size(expected)) << messages_of(layout);
}

// ---------------------------------------------------------------------------
// Whole windows drawn with the built module.

std::string write_file(const std::string& name, const std::string& text) {
    std::string path = beside_tests(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A 24-bit .bmp: left half pure black, right half (200, 100, 50).
std::string write_test_bitmap(const std::string& name, int width, int height) {
    int row = (width * 3 + 3) & ~3;
    std::string bytes(54 + size_t(row) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    };
    bytes[0] = 'B', bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    bytes[26] = 1, bytes[28] = 24;
    for (int y = 0; y < height; ++y)
        for (int x = width / 2; x < width; ++x) {
            size_t at = 54 + size_t(y) * row + 3 * x;
            bytes[at] = char(50), bytes[at + 1] = char(100), bytes[at + 2] = char(200);
        }
    return write_file(name, bytes);
}

struct DrawnWindow {
    PanelLayout layout;
    std::unique_ptr<PanelModules> modules;
    std::unique_ptr<PanelWindow> window;
};

// Reads `text` as a layout beside the tests (where the module is), and
// prepares its first window.
void prepare(DrawnWindow& d, const std::string& text) {
    d.layout = read_panel_layout(text, beside_tests("drawn.cfg"));
    ASSERT_FALSE(d.layout.has_errors()) << messages_of(d.layout);
    d.modules = std::make_unique<PanelModules>(std::vector<std::string>{layout_folder(d.layout.source)});
    d.window = PanelWindow::prepare(d.layout, d.layout.windows[0], *d.modules);
}

TEST(PanelWindow, TheExampleLayoutDrawsEachGaugeAtItsPlace) {
    DrawnWindow d;
    std::ifstream in(beside_tests("Corvalenx-panel.cfg"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    prepare(d, text);
    ASSERT_NE(d.window, nullptr) << messages_of(d.layout);
    Host* host = d.modules->opened().at(0)->host.get();
    host->variables.set_number(61, 120);
    host->variables.set_number(390, 2350);
    d.window->install();
    d.window->update();
    Image panel = d.window->draw();
    ASSERT_EQ(panel.width, 1212);
    ASSERT_EQ(panel.height, 646);
    const Rgba ground = opaque(58, 62, 68);
    EXPECT_EQ(panel.at(5, 5), ground);
    for (const LayoutGauge& g : d.layout.windows[0].gauges) {
        SCOPED_TRACE(g.label());
        Image expected(g.width, g.height, ground);
        blit(expected, host->draw(*host->gauge(g.gauge)), 0, 0);
        int wrong = 0;
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) wrong += !(panel.at(g.x + x, g.y + y) == expected.at(x, y));
        EXPECT_EQ(wrong, 0);
    }
}

TEST(PanelWindow, AGaugeIsScaledIntoItsBoxOverTheBackgroundBitmap) {
    write_test_bitmap("ground.bmp", 60, 20);
    DrawnWindow d;
    // No size_mm: the window takes the bitmap's 60 x 20, and the 278 x 278
    // airspeed face is drawn into a 20 x 20 box on its right half.
    prepare(d, "[Window00]\nfile=ground.bmp\nbackground_color=0,0,255\ngauge00=Corvalenx!Airspeed, 40, 0, 20\n");
    ASSERT_NE(d.window, nullptr) << messages_of(d.layout);
    EXPECT_EQ(d.layout.windows[0].height, 20);
    d.window->install();
    d.window->update();
    Image panel = d.window->draw();
    ASSERT_EQ(panel.width, 60);
    EXPECT_EQ(panel.at(5, 10), opaque(0, 0, 255)) << "the bitmap's pure black shows the colour";
    EXPECT_EQ(panel.at(35, 10), opaque(200, 100, 50));
    // The face's dark grey fills the box's middle; its see-through corners
    // show the bitmap.
    Rgba middle = panel.at(45, 14);
    EXPECT_EQ(middle.a, 255);
    EXPECT_LT(middle.r, 120);
    EXPECT_EQ(panel.at(40, 0), opaque(200, 100, 50));
    for (const Rgba& p : panel.pixels) EXPECT_TRUE(p.r <= p.a && p.g <= p.a && p.b <= p.a);
}

TEST(PanelWindow, AGaugeOfItsOwnWidthButAnotherHeightIsScaledToIt) {
    // Half its height: below the box, only the window's colour.
    DrawnWindow squashed;
    prepare(squashed, "[Window00]\nsize_mm=278,300\nbackground_color=0,0,255\ngauge00=Corvalenx!Airspeed, 0, 0, 278, 139\n");
    ASSERT_NE(squashed.window, nullptr) << messages_of(squashed.layout);
    squashed.window->install();
    squashed.window->update();
    Image flat = squashed.window->draw();
    EXPECT_NE(flat.at(139, 70), opaque(0, 0, 255));
    for (int y = 139; y < 300; y += 20) EXPECT_EQ(flat.at(139, y), opaque(0, 0, 255)) << "y " << y;
}

TEST(PanelWindow, MissingPiecesAreErrorsNamingTheLine) {
    DrawnWindow unsized;
    prepare(unsized, "[Window00]\ngauge00=Corvalenx!Airspeed, 0, 0\n");
    EXPECT_EQ(unsized.window, nullptr);
    EXPECT_NE(messages_of(unsized.layout).find("drawn.cfg:1: error: [Window00] has neither size_mm nor a background"),
              std::string::npos) << messages_of(unsized.layout);

    DrawnWindow no_bitmap;
    prepare(no_bitmap, "[Window00]\nfile=no_such.bmp\n");
    EXPECT_EQ(no_bitmap.window, nullptr);
    EXPECT_NE(messages_of(no_bitmap.layout).find(":1: error: [Window00] background: "), std::string::npos);
    EXPECT_NE(messages_of(no_bitmap.layout).find("no_such.bmp: cannot read it"), std::string::npos);

    DrawnWindow unknown;
    prepare(unknown,
            "[Window00]\nsize_mm=400,400\ngauge00=Corvalenx!Manifold_Pressure, 0, 0\ngauge01=Nowhere!A, 0, 0\n");
    EXPECT_EQ(unknown.window, nullptr);
    std::string text = messages_of(unknown.layout);
    EXPECT_NE(text.find(":3: error: gauge00 (Corvalenx!Manifold_Pressure): module Corvalenx has no gauge "
                        "\"Manifold_Pressure\"; it has \"Airspeed\" \"Manifold Pressure\""),
              std::string::npos) << text;
    EXPECT_NE(text.find(":4: error: gauge01 (Nowhere!A): no module Nowhere: no Nowhere.gau in "), std::string::npos)
        << text;
}

TEST(PanelWindow, ScalingKeepsColoursAndSeeThroughClean) {
    // A 4 x 4 picture: opaque red left half, see-through right half.
    Image picture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x) picture.at(x, y) = opaque(200, 0, 0);
    Image up = scale_picture(picture, 16, 16);
    EXPECT_EQ(up.at(2, 8), opaque(200, 0, 0));
    EXPECT_EQ(up.at(14, 8), Rgba{});
    for (const Rgba& p : up.pixels) {
        EXPECT_EQ(p.g, 0);  // no colour from nowhere at the edge
        EXPECT_LE(p.r, p.a);
    }
    Image down = scale_picture(picture, 2, 2);
    EXPECT_EQ(down.at(0, 1), opaque(200, 0, 0));
    EXPECT_EQ(down.at(1, 1), Rgba{});
}

}  // namespace
