// add-window and remove-window on a panel file as real aircraft have them:
// the window lands under the first free number with its title line, every
// other byte stays, removing it gives the file back byte for byte, and a
// file that cannot be edited safely is refused and left as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/panel_file_edit.h"
#include "host/panel_layout.h"

namespace {

using namespace panelhost;
using namespace std::string_literals;
namespace fs = std::filesystem;

const std::string example_path = PANELHOST_SOURCE_DIR "/package/Corvalenx-panel.cfg";

// Two windows, CRLF, comments, Windows-1252 bytes (0xE9, 0xA9), a one-number
// size_mm as real files have, [Views], [Default View] and a section of
// someone else's.
const std::string aircraft_panel =
    "// Panel of the test aircraft, \xE9t\xE9 edition\r\n"
    "[Window Titles]\r\n"
    "Window00=Main Panel\r\n"
    "Window01=Radio Stack  ; the radios\r\n"
    "\r\n"
    "[Window00]\r\n"
    "file=panel.bmp\r\n"
    "size_mm=1024\r\n"
    "position=0\r\n"
    "visible=1\r\n"
    "ident=MAIN_PANEL\r\n"
    "gauge00=Stock!Airspeed,  10, 20\r\n"
    "gauge01=Stock!Altimeter, 300, 20, 200, 200\r\n"
    "\r\n"
    "[Window01]\r\n"
    "size_mm=300,200\r\n"
    "gauge00=Stock!Radio, 0, 0\r\n"
    "\r\n"
    "// views of the virtual cockpit\r\n"
    "[Views]\r\n"
    "VIEW_FORWARD_DIR=0.0, 0.0, 0.0\r\n"
    "\r\n"
    "[Default View]\r\n"
    "X=0\r\n"
    "SIZE_X=8192\r\n"
    "[Vendor Extras]\r\n"
    "note=\xA9 1999\r\n";

std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The example's window section after its header, as the file holds it, up
// to the line that ends what a person copies by hand.
std::string example_body(const std::string& eol) {
    std::string text = file_bytes(example_path);
    text = text.substr(text.find("[Window00]\n") + 11);
    text = text.substr(0, text.find("// ----- to here"));
    while (text.back() == '\n') text.pop_back();
    std::string out;
    for (char c : text) out += c == '\n' ? eol : std::string(1, c);
    return out;
}

PanelFileChange added_to(const std::string& panel) {
    PanelFileChange change;
    std::string error;
    EXPECT_TRUE(plan_add_window(file_bytes(example_path), "example.cfg", panel, "panel.cfg", change, error)) << error;
    return change;
}

TEST(PanelFileEdit, AddsTheWindowUnderTheFirstFreeNumberAndKeepsEveryOtherByte) {
    PanelFileChange change = added_to(aircraft_panel);
    EXPECT_FALSE(change.nothing_to_do);
    EXPECT_EQ(change.section, "Window02");
    EXPECT_EQ(change.title, "Corvalenx Gauges");
    EXPECT_EQ(change.gauges, 8);
    EXPECT_FALSE(change.titles_section_made);

    // The title after the last title, the section after the last window;
    // nothing else differs, and the new lines end as the file's do.
    std::string expected = aircraft_panel;
    const std::string after_window = "gauge00=Stock!Radio, 0, 0\r\n";
    expected.insert(expected.find(after_window) + after_window.size(),
                    "\r\n[Window02]\r\n" + example_body("\r\n") + "\r\n");
    const std::string after_title = "Window01=Radio Stack  ; the radios\r\n";
    expected.insert(expected.find(after_title) + after_title.size(), "Window02=Corvalenx Gauges\r\n");
    EXPECT_EQ(change.text, expected);
    EXPECT_EQ(change.title_line, 5);
    EXPECT_EQ(change.section_line, 20);

    // Read back, the new window is drawn whole while the others' lines
    // (size_mm=1024) are only warnings.
    PanelLayout layout = read_panel_layout(change.text, "panel.cfg");
    LayoutWindow* window = layout.window("Corvalenx Gauges");
    ASSERT_NE(window, nullptr) << layout.message_text();
    EXPECT_EQ(window->number, 2);
    EXPECT_EQ(window->line, 20);
    EXPECT_EQ(window->gauges.size(), 8u);
    tolerate_other_windows(layout, *window);
    EXPECT_FALSE(layout.has_errors()) << layout.message_text();

    // Once there, it is found by its title and nothing changes.
    PanelFileChange again = added_to(change.text);
    EXPECT_TRUE(again.nothing_to_do);
    EXPECT_EQ(again.section, "Window02");
    EXPECT_EQ(again.text, change.text);

    PanelFileChange removed;
    std::string error;
    ASSERT_TRUE(plan_remove_window(change.text, "panel.cfg", "corvalenx gauges", removed, error)) << error;
    EXPECT_EQ(removed.section, "Window02");
    EXPECT_EQ(removed.text, aircraft_panel);

    // The example as the zip carries it, with CR LF, adds the same bytes.
    std::string example_crlf;
    for (char c : file_bytes(example_path)) example_crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    PanelFileChange from_crlf;
    ASSERT_TRUE(plan_add_window(example_crlf, "example.cfg", aircraft_panel, "panel.cfg", from_crlf, error)) << error;
    EXPECT_EQ(from_crlf.text, change.text);
}

TEST(PanelFileEdit, RemovesAWindowTheFileHadAndLeavesTheCommentsOfWhatFollows) {
    PanelFileChange removed;
    std::string error;
    ASSERT_TRUE(plan_remove_window(aircraft_panel, "panel.cfg", "RADIO STACK", removed, error)) << error;
    EXPECT_EQ(removed.section, "Window01");
    EXPECT_EQ(removed.gauges, 1);
    std::string expected = aircraft_panel;
    for (const char* gone : {"Window01=Radio Stack  ; the radios\r\n",
                             "\r\n[Window01]\r\nsize_mm=300,200\r\ngauge00=Stock!Radio, 0, 0\r\n"})
        expected.erase(expected.find(gone), std::strlen(gone));
    EXPECT_EQ(removed.text, expected);
}

TEST(PanelFileEdit, NumbersTitlesAndLineEndsFollowTheFile) {
    // LF line ends, a byte-order mark, no [Window Titles], no line end at
    // the end, windows 00 and 02: the new one is 01, and the title section
    // is made before the first section (after the mark).
    const std::string bare = "\xEF\xBB\xBF[Window00]\nsize_mm=10,10\n\n[WINDOW02]\nsize_mm=10,10\n[Views]\nx=1";
    PanelFileChange change = added_to(bare);
    EXPECT_EQ(change.section, "Window01");
    EXPECT_TRUE(change.titles_section_made);
    EXPECT_TRUE(change.text.starts_with("\xEF\xBB\xBF[Window Titles]\nWindow01=Corvalenx Gauges\n\n[Window00]\n"))
        << change.text;
    EXPECT_EQ(change.text.find('\r'), std::string::npos);
    EXPECT_NE(change.text.find("size_mm=10,10\n\n[Window01]\nsize_mm=1212,646\n"), std::string::npos);
    EXPECT_TRUE(change.text.ends_with("\n[Views]\nx=1"));
    PanelFileChange removed;
    std::string error;
    ASSERT_TRUE(plan_remove_window(change.text, "p.cfg", "Corvalenx Gauges", removed, error)) << error;
    EXPECT_EQ(removed.text, bare);

    // A title line without its section takes its number too; the key keeps
    // the case of the titles before it; a last line without a line end
    // stays without one.
    const std::string titled = "[Window Titles]\r\nwindow00=A\r\nwindow01=B\r\n[Window00]\r\nsize_mm=1,1";
    change = added_to(titled);
    EXPECT_EQ(change.section, "Window02");
    EXPECT_TRUE(change.text.starts_with("[Window Titles]\r\nwindow00=A\r\nwindow01=B\r\nwindow02=Corvalenx Gauges\r\n"))
        << change.text;
    EXPECT_TRUE(change.text.ends_with("gauge07=Corvalenx!Engine_Instruments, 935, 363, 256, 256"));
    ASSERT_TRUE(plan_remove_window(change.text, "p.cfg", "Corvalenx Gauges", removed, error)) << error;
    EXPECT_EQ(removed.text, titled);
}

TEST(PanelFileEdit, RefusesWhatItCannotEditSafely) {
    PanelFileChange change;
    std::string error;
    const std::string example = file_bytes(example_path);
    const std::pair<std::string, const char*> refused[] = {
        {"[fltsim]\r\nalias=Test Twin\\panel\r\n", "panel.cfg:2: only aliases the panel of \"Test Twin\\panel\""},
        {"[Window00]\r\nsize_mm=1,1\r\n// a\0b\r\n"s, "panel.cfg:3: error: column 5: control byte 0x00 (NUL)"},
        {"\xFF\xFE[\0W\0"s, "panel.cfg: error: is UTF-16 (little-endian) text"},
        {"// nothing but a comment\n", "panel.cfg: has no [section] header"},
    };
    for (const auto& [text, words] : refused) {
        EXPECT_FALSE(plan_add_window(example, "example.cfg", text, "panel.cfg", change, error));
        EXPECT_NE(error.find(words), std::string::npos) << error;
    }
    // The example itself must name its window's title, or draw all its
    // gauges from one module to be titled after it.
    EXPECT_FALSE(plan_add_window("[Window00]\nsize_mm=1,1\n", "ex.cfg", aircraft_panel, "panel.cfg", change, error));
    EXPECT_NE(error.find("ex.cfg: gives [Window00] no title"), std::string::npos) << error;
    EXPECT_FALSE(plan_add_window("[Window00]\nsize_mm=9,9\ngauge00=A!x, 0, 0\ngauge01=B!y, 1, 1\n", "ex.cfg",
                                 aircraft_panel, "panel.cfg", change, error));
    EXPECT_NE(error.find("more than one module"), std::string::npos) << error;
    ASSERT_TRUE(plan_add_window("[Window00]\nsize_mm=9,9\ngauge00=Acme!x, 0, 0\ngauge01=Acme!y, 1, 1\n", "ex.cfg",
                                aircraft_panel, "panel.cfg", change, error))
        << error;
    EXPECT_EQ(change.title, "Acme Gauges");
    EXPECT_FALSE(plan_remove_window(aircraft_panel, "panel.cfg", "Nowhere", change, error));
    EXPECT_NE(error.find("no window is titled \"Nowhere\" under [Window Titles] (its titles: \"Main Panel\", "
                         "\"Radio Stack\")"),
              std::string::npos)
        << error;
}

// ---------------------------------------------------------------------------
// The files: backups, atomic replacement, dry runs, refusals.

class PanelFiles : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("panel_files_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        panel = (folder / "panel.cfg").string();
        write_bytes(panel, aircraft_panel);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(panel, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path folder;
    std::string panel;
};

TEST_F(PanelFiles, BackupsAreNeverOverwrittenAndRemovingGivesTheFileBack) {
    PanelFileRun dry = add_window_to_file(example_path, panel, true);
    ASSERT_TRUE(dry.ok) << dry.report;
    EXPECT_NE(dry.report.find("would add [Window02] \"Corvalenx Gauges\" (8 gauges) at line 20"), std::string::npos)
        << dry.report;
    EXPECT_NE(dry.report.find("\n  gauge04=Corvalenx!Manifold Pressure,"), std::string::npos) << dry.report;
    EXPECT_EQ(file_bytes(panel), aircraft_panel);
    EXPECT_EQ(files(), std::vector<std::string>{"panel.cfg"});

    PanelFileRun added = add_window_to_file(example_path, panel, false);
    ASSERT_TRUE(added.ok) << added.report;
    EXPECT_NE(added.report.find("the file as it was is " + panel + ".bak\n"), std::string::npos) << added.report;
    const std::string merged = file_bytes(panel);
    EXPECT_NE(merged.find("[Window02]\r\n"), std::string::npos);
    EXPECT_EQ(file_bytes(panel + ".bak"), aircraft_panel);

    PanelFileRun again = add_window_to_file(example_path, panel, false);
    ASSERT_TRUE(again.ok) << again.report;
    EXPECT_NE(again.report.find("already has [Window02] \"Corvalenx Gauges\""), std::string::npos) << again.report;
    EXPECT_EQ(file_bytes(panel), merged);
    EXPECT_EQ(files(), (std::vector<std::string>{"panel.cfg", "panel.cfg.bak"}));

    PanelFileRun dry_removal = remove_window_from_file(panel, "Corvalenx Gauges", true);
    ASSERT_TRUE(dry_removal.ok) << dry_removal.report;
    EXPECT_EQ(file_bytes(panel), merged);

    PanelFileRun removed = remove_window_from_file(panel, "Corvalenx Gauges", false);
    ASSERT_TRUE(removed.ok) << removed.report;
    EXPECT_EQ(file_bytes(panel), aircraft_panel);
    EXPECT_EQ(file_bytes(panel + ".bak"), aircraft_panel);
    EXPECT_EQ(file_bytes(panel + ".bak1"), merged);
    ASSERT_TRUE(add_window_to_file(example_path, panel, false).ok);
    EXPECT_EQ(file_bytes(panel + ".bak2"), aircraft_panel);
    EXPECT_EQ(files(), (std::vector<std::string>{"panel.cfg", "panel.cfg.bak", "panel.cfg.bak1", "panel.cfg.bak2"}));
}

TEST_F(PanelFiles, RefusedFilesAreLeftUntouched) {
    // Read-only (also for a user who could write it anyway).
    fs::permissions(panel, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    PanelFileRun read_only = add_window_to_file(example_path, panel, false);
    EXPECT_FALSE(read_only.ok);
    EXPECT_NE(read_only.report.find(panel + ": is read-only"), std::string::npos) << read_only.report;
    fs::permissions(panel, fs::perms::owner_write, fs::perm_options::add);

    const std::pair<std::string, const char*> refused[] = {
        {"[fltsim]\nalias=Other\\panel\n", "only aliases the panel of \"Other\\panel\""},
        {"[Window00]\n\0\0"s, "control byte 0x00 (NUL)"},
        {"\xFE\xFF\0[\0W"s, "UTF-16 (big-endian)"},
    };
    for (const auto& [text, words] : refused) {
        write_bytes(panel, text);
        for (bool dry_run : {false, true}) {
            PanelFileRun run = add_window_to_file(example_path, panel, dry_run);
            EXPECT_FALSE(run.ok);
            EXPECT_NE(run.report.find(panel), std::string::npos) << run.report;
            EXPECT_NE(run.report.find(words), std::string::npos) << run.report;
            EXPECT_FALSE(remove_window_from_file(panel, "Main Panel", dry_run).ok);
        }
        EXPECT_EQ(file_bytes(panel), text);
    }
    PanelFileRun folder_run = add_window_to_file(example_path, folder.string(), false);
    EXPECT_FALSE(folder_run.ok);
    EXPECT_NE(folder_run.report.find(folder.string() + ": is not a file"), std::string::npos) << folder_run.report;
    EXPECT_EQ(files(), std::vector<std::string>{"panel.cfg"});
}

}  // namespace
