// Reading layouts whole real panel files: only the window drawn is held to
// the rules; the limits that keep reading bounded, each at its edge and one
// past it; bytes that are no plain text; module names that are no plain
// file names.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/panel_layout.h"

namespace {

using namespace panelhost;
using namespace std::string_literals;

const LayoutMessage* only_message(const PanelLayout& layout) {
    EXPECT_EQ(layout.messages.size(), 1u) << layout.message_text();
    return layout.messages.empty() ? nullptr : &layout.messages[0];
}

bool reads_cleanly(const std::string& text) {
    PanelLayout layout = read_panel_layout(text, "p.cfg");
    EXPECT_TRUE(layout.messages.empty()) << layout.message_text();
    return layout.messages.empty();
}

TEST(TolerantReading, OnlyTheWindowDrawnIsHeldToTheRules) {
    const std::string real =
        "[Window Titles]\r\n"
        "Window00=Main\r\n"
        "Window01=Radios\r\n"
        "[Window00]\r\n"
        "size_mm=1024\r\n"             // 5: one number, as real files have
        "gauge00=Stock!A\r\n"          // 6
        "[Window01]\r\n"
        "size_mm=100,100\r\n"
        "gauge00=Stock!Radio, 0, 0\r\n"
        "[Views]\r\n"
        "just words\r\n"               // 11
        "[Sound Extras]\r\n"           // 12
        "x=1\r\n";
    PanelLayout strict = read_panel_layout(real, "real.cfg");
    EXPECT_EQ(strict.messages.size(), 4u) << strict.message_text();
    EXPECT_TRUE(strict.has_errors());

    PanelLayout radios = read_panel_layout(real, "real.cfg");
    tolerate_other_windows(radios, *radios.window("Radios"));
    EXPECT_FALSE(radios.has_errors()) << radios.message_text();
    EXPECT_EQ(radios.messages.size(), 4u);
    EXPECT_NE(radios.message_text().find("real.cfg:5: warning: size_mm is \"1024\"; it takes WIDTH,HEIGHT in whole "
                                         "panel pixels ([Window00] is not drawn)"),
              std::string::npos)
        << radios.message_text();
    EXPECT_NE(radios.message_text().find("real.cfg:11: warning: \"just words\" is not KEY=VALUE or a [section] header "
                                         "(outside [Window01], the window drawn)"),
              std::string::npos)
        << radios.message_text();

    // Drawing the main window, its own lines are errors still.
    PanelLayout main = read_panel_layout(real, "real.cfg");
    tolerate_other_windows(main, main.windows[0]);
    int errors = 0;
    for (const LayoutMessage& m : main.messages) errors += m.level == LayoutMessage::Error;
    EXPECT_EQ(errors, 2) << main.message_text();

    // A repeat of the window drawn is its fault; bytes that are no text
    // are errors wherever they are.
    PanelLayout faults = read_panel_layout("[Window00]\n[Window01]\n// \x01\n[Window00]\n", "f.cfg");
    tolerate_other_windows(faults, faults.windows[0]);
    ASSERT_EQ(faults.messages.size(), 2u) << faults.message_text();
    EXPECT_EQ(faults.messages[0].level, LayoutMessage::Error);
    EXPECT_EQ(faults.messages[0].line, 3);
    EXPECT_EQ(faults.messages[1].level, LayoutMessage::Error);
    EXPECT_EQ(faults.messages[1].line, 4);
}

TEST(LayoutLimits, EachLimitHoldsAtItsEdgeAndRefusesOnePast) {
    // A line of 4096 bytes, its CR counted.
    const std::string edge = "[Window00]\r\n//" + std::string(max_layout_line_bytes - 3, 'x') + "\r\n";
    EXPECT_TRUE(reads_cleanly(edge));
    PanelLayout long_line = read_panel_layout("[Window00]\r\n//" + std::string(max_layout_line_bytes - 2, 'x') + "\r\n",
                                              "p.cfg");
    if (const LayoutMessage* m = only_message(long_line)) {
        EXPECT_EQ(m->line, 2);
        EXPECT_EQ(m->text, "the line is 4097 bytes long; a layout line may have at most 4096");
        EXPECT_TRUE(m->held_everywhere);
    }

    // 4096 x 4096 pixels, or as many in another shape; one more row is too many.
    EXPECT_TRUE(reads_cleanly("[Window00]\nsize_mm=4096,4096\n"));
    EXPECT_TRUE(reads_cleanly("[Window00]\nsize_mm=16384,1024\n"));
    PanelLayout large = read_panel_layout("[Window00]\nsize_mm=4096,4097\n", "p.cfg");
    if (const LayoutMessage* m = only_message(large)) {
        EXPECT_EQ(m->line, 2);
        EXPECT_NE(m->text.find("size_mm 4096 x 4097 is 16781312 pixels; a window may have at most 16777216"),
                  std::string::npos)
            << m->text;
    }
    EXPECT_EQ(large.windows[0].width, 0);

    // 1024 gauge lines in a window; the 1025th is refused and not kept,
    // once; another window counts its own.
    auto gauges = [](size_t n) {
        std::string text;
        for (size_t i = 0; i < n; ++i) text += "gauge" + std::to_string(i) + "=m!g, 0, 0\n";
        return text;
    };
    PanelLayout full = read_panel_layout("[Window00]\n" + gauges(max_gauges_per_window) + "[Window01]\n" + gauges(3),
                                         "p.cfg");
    EXPECT_TRUE(full.messages.empty()) << full.message_text();
    EXPECT_EQ(full.windows[0].gauges.size(), max_gauges_per_window);
    PanelLayout over = read_panel_layout("[Window00]\n" + gauges(max_gauges_per_window + 100), "p.cfg");
    if (const LayoutMessage* m = only_message(over)) {
        EXPECT_EQ(m->line, 1026);
        EXPECT_EQ(m->text, "gauge1024: [Window00] has more than 1024 gauge lines; this one and those after it are "
                           "not read");
    }
    EXPECT_EQ(over.windows[0].gauges.size(), max_gauges_per_window);

    // A whole file of 16 MiB is read; one byte more is refused unread.
    const std::string path = (std::filesystem::temp_directory_path() / "layout_limit_test.cfg").string();
    std::string text = "[Window00]\nsize_mm=1,1\n";
    const std::string filler = "//" + std::string(4000, 'x') + "\n";
    while (text.size() + filler.size() <= size_t(max_layout_file_bytes)) text += filler;
    text += std::string(size_t(max_layout_file_bytes) - text.size(), '\n');
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_TRUE(load_panel_layout(path).messages.empty());
    std::ofstream(path, std::ios::binary | std::ios::app) << "\n";
    PanelLayout too_big = load_panel_layout(path);
    if (const LayoutMessage* m = only_message(too_big)) {
        EXPECT_EQ(m->line, 0);
        EXPECT_EQ(m->text, "is 16777217 bytes; a layout file may have at most 16777216");
    }
    std::remove(path.c_str());

    // 1000 messages are listed; past them the rest of the file is not read.
    std::string bad_lines = "[Window00]\n";
    for (size_t i = 0; i < max_layout_messages; ++i) bad_lines += "x\n";
    PanelLayout listed = read_panel_layout(bad_lines, "p.cfg");
    EXPECT_EQ(listed.messages.size(), max_layout_messages);
    PanelLayout cut = read_panel_layout(bad_lines + "x\nx\n", "p.cfg");
    ASSERT_EQ(cut.messages.size(), max_layout_messages + 1);
    EXPECT_EQ(cut.messages.back().line, 1002);
    EXPECT_EQ(cut.messages.back().text, "1000 problems before this line; the rest of the file is not read");
}

TEST(StrictReading, BytesThatAreNoPlainTextAreNamedWithLineAndColumn) {
    // Tabs, CRLF, Windows-1252 letters and a DOS end-of-file mark are text.
    EXPECT_TRUE(reads_cleanly("[Window00]\r\n\tsize_mm=10,10\t// caf\xE9\r\n\x1A"));
    const std::pair<std::string, std::string> faults[] = {
        {"[Window00]\nsize_mm=10,10\ngauge00=m\0!g, 0, 0\n"s, "p.cfg:3: error: column 10: control byte 0x00 (NUL)"},
        {"[Window00]\r\nsize\rmm=10,10\r\n"s, "p.cfg:2: error: column 5: control byte 0x0D (a CR without its LF)"},
        {"[Window00]\nx=\x7F\n"s, "p.cfg:2: error: column 3: control byte 0x7F; a layout is plain text"},
    };
    for (const auto& [text, words] : faults) {
        PanelLayout layout = read_panel_layout(text, "p.cfg");
        if (const LayoutMessage* m = only_message(layout)) {
            EXPECT_NE(layout.message_text(*m).find(words), std::string::npos) << layout.message_text(*m);
        }
    }
    // UTF-16, with or without a byte-order mark: named, and nothing else said.
    const std::pair<std::string, const char*> wide[] = {
        {"\xFF\xFE[\0W\0"s, "little-endian"},
        {"\xFE\xFF\0[\0W"s, "big-endian"},
        {"[\0W\0i\0n\0d\0o\0w\0"s, "little-endian"},
    };
    for (const auto& [text, form] : wide) {
        PanelLayout layout = read_panel_layout(text, "w.cfg");
        if (const LayoutMessage* m = only_message(layout)) {
            EXPECT_EQ(layout.message_text(*m), "w.cfg: error: is UTF-16 ("s + form +
                                                   ") text; save it as ANSI (Windows-1252) or UTF-8 text");
        }
    }
}

TEST(StrictReading, AModuleIsNamedAsAPlainFileName) {
    EXPECT_TRUE(reads_cleanly("[Window00]\ngauge00=Corvalenx.v2!Airspeed, 0, 0\n"));
    for (const char* module : {"../Corvalenx", "..\\Corvalenx", "Gauges/Corvalenx", "C:Corvalenx", ".."}) {
        PanelLayout layout = read_panel_layout("[Window00]\ngauge00=" + std::string(module) + "!Airspeed, 0, 0\n",
                                               "p.cfg");
        if (const LayoutMessage* m = only_message(layout)) {
            EXPECT_EQ(m->line, 2);
            EXPECT_EQ(m->text, "gauge00: module \"" + std::string(module) +
                                   "\" is not a plain file name; a module is named without folders or ..: Corvalenx "
                                   "for Corvalenx.gau");
        }
        EXPECT_TRUE(layout.windows[0].gauges.empty());
    }
}

}  // namespace
