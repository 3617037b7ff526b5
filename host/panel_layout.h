// Panel layouts in the panel-file form of the 2000-generation panel system:
// [WindowNN] sections, each with its size, position and background, and one
// line per gauge:
//
//     [Window00]
//     size_mm=1118,612
//     background_color=46,50,56
//     gauge00=Corvalenx!Airspeed, 10, 20, 278, 278
//     gauge01=Corvalenx!Manifold Pressure, 300, 20
//
// Reading is plain text processing with no Windows or module code, in two
// steps: read_panel_layout checks the form; place_gauges, given each named
// gauge's face size, fills in sizes left out and checks that every gauge
// lies on its window. Problems are collected as messages naming the line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace panelhost {

struct LayoutMessage {
    enum Level { Error, Warning } level;
    int line;  // from 1; 0 for the file as a whole
    std::string text;
    int window_index = -1;  // in PanelLayout::windows: the window whose section holds the line; -1: none
    // A fault of the text itself (a control byte, a line too long): an
    // error whichever window is drawn.
    bool held_everywhere = false;
};

struct LayoutGauge {
    int line = 0;
    std::string key;     // "gauge03", as written
    int number = 0;      // 3
    std::string module;  // "Corvalenx": the file Corvalenx.gau
    std::string gauge;   // "Manifold Pressure": spaces inside a name are kept
    int x = 0, y = 0;
    int width = 0, height = 0;  // 0 until given or placed: left out, they come from the face
    bool width_given = false, height_given = false;

    std::string label() const;  // "gauge03 (Corvalenx!Airspeed)"
};

struct LayoutColour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const LayoutColour&) const = default;
};

struct LayoutWindow {
    int line = 0;         // of its [WindowNN] header
    std::string section;  // "Window00", as written
    int number = 0;       // 0
    std::string title;    // from [Window Titles]; the section name when it has none
    int width = 0, height = 0;  // size_mm; 0 until given or taken from the background bitmap
    std::optional<LayoutColour> background_colour;  // background_color=R,G,B
    std::string background_file;                    // file=NAME, relative to the layout's folder
    std::vector<LayoutGauge> gauges;                // in the file's order
};

struct PanelLayout {
    std::string source;  // the name messages give: the file's path
    std::vector<LayoutWindow> windows;
    std::vector<LayoutMessage> messages;

    bool has_errors() const;
    // "Window01", "1" or "01"; a title also matches (case ignored). Null if none.
    LayoutWindow* window(std::string_view name);
    // "panel.cfg:14: error: ..." for each message, one a line.
    std::string message_text() const;
    std::string message_text(const LayoutMessage& message) const;
};

// Largest window side this host draws, in pixels.
inline constexpr int max_window_side = 16384;
// Limits that keep reading and drawing bounded, each checked before memory
// is spent on what it limits: a window's pixels (4096 x 4096, 64 MiB
// drawn), gauge lines in one window, bytes in one line and in a whole file.
// Real panel files stay far below them.
inline constexpr int64_t max_window_pixels = int64_t(4096) * 4096;
inline constexpr size_t max_gauges_per_window = 1024;
inline constexpr size_t max_layout_line_bytes = 4096;
inline constexpr int64_t max_layout_file_bytes = int64_t(16) << 20;
// Past this many messages the rest of a file is not read: a file of
// nothing but bad lines would otherwise hold a message for each.
inline constexpr size_t max_layout_messages = 1000;

// Reads a layout's text. Every problem is a message; windows and gauges
// that were read are kept even when other lines had errors.
PanelLayout read_panel_layout(std::string_view text, std::string source);

// Reads the file at `path` (an error message when it cannot be read).
PanelLayout load_panel_layout(const std::string& path);

// A real panel file holds windows this host is not asked to draw, often
// with lines it would refuse (size_mm=1024). Drawing `drawn`, every error
// outside its section becomes a warning saying so; faults of the text
// itself stay errors.
void tolerate_other_windows(PanelLayout& layout, const LayoutWindow& drawn);

// The folder part of a layout's path ("" for a bare file name), so that a
// background file= and the gauge modules are looked for beside it.
std::string layout_folder(const std::string& path);

struct FaceSize {
    int width = 0, height = 0;
};

// Answers the face size of MODULE!GAUGE, or nothing with `why` saying what
// is missing ("no module ...", "no gauge ...").
using FaceSizeLookup =
    std::function<std::optional<FaceSize>(const std::string& module, const std::string& gauge, std::string& why)>;

// Gives each gauge of `window` its size (left out: the face's; only the
// width given: the height in the face's proportions) and checks that each
// names a gauge that exists, has a positive size and lies on the window.
// Errors go into the layout's messages. The window's size must be known.
void place_gauges(PanelLayout& layout, LayoutWindow& window, const FaceSizeLookup& face_size);

// "Window07" -> 7 for the prefix "window" (case ignored); nothing for
// "Window", "Windows" or "Window7x": the numbers the panel system goes by.
std::optional<int> numbered_name(std::string_view name, std::string_view prefix);

}  // namespace panelhost
