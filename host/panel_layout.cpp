#include "host/panel_layout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace panelhost {

namespace {

std::string trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The parts streamed one after another into a string, for messages.
template <typename... Parts>
std::string cat(const Parts&... parts) {
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

bool equal_ignoring_case(std::string_view a, std::string_view b) { return lower(a) == lower(b); }


std::vector<std::string> split_fields(std::string_view text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        fields.push_back(trimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

// Positions and sizes: whole numbers with an optional sign, within reason.
bool whole_number(const std::string& text, int& out) {
    if (text.empty()) return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size() || text.size() - i > 7) return false;
    long value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    out = int(text[0] == '-' ? -value : value);
    return true;
}

// "UTF-16 (little-endian)" when the text is UTF-16, by its byte-order mark
// or, without one, by ASCII text with every other byte 0; else null.
const char* utf16_form(std::string_view text) {
    if (text.starts_with("\xFF\xFE")) return "UTF-16 (little-endian)";
    if (text.starts_with("\xFE\xFF")) return "UTF-16 (big-endian)";
    const size_t sample = std::min<size_t>(text.size() & ~size_t(1), 64);
    bool little = sample > 0, big = sample > 0;
    for (size_t i = 0; i < sample; i += 2) {
        little = little && text[i] != 0 && text[i + 1] == 0;
        big = big && text[i] == 0 && text[i + 1] != 0;
    }
    return little ? "UTF-16 (little-endian)" : big ? "UTF-16 (big-endian)" : nullptr;
}

// The column (from 1) of the first control byte in a line, 0 if none. A
// tab is spacing and the CR of a CRLF line end is no byte of the line.
size_t control_byte_column(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        bool line_end = c == '\r' && i + 1 == line.size();
        if ((c < 0x20 && c != '\t' && !line_end) || c == 0x7F) return i + 1;
    }
    return 0;
}

std::string control_byte_name(unsigned char c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", c);
    return c == 0 ? std::string(hex) + " (NUL)" : c == '\r' ? std::string(hex) + " (a CR without its LF)" : hex;
}

// Keys of a window section that this host accepts but that do not change
// what it draws (where the window sits on the screen, how it behaves).
constexpr const char* window_keys_not_drawn[] = {
    "position", "window_pos", "window_size", "window_size_ratio", "visible", "ident", "zorder",
    "sizeable", "nomenu", "pixel_size", "type", "child_3d", "render_3d_window", "transparent", "alpha",
};

// Sections of the form that hold no window of the 2D panel.
bool section_not_drawn(std::string_view name) {
    return equal_ignoring_case(name, "Views") || equal_ignoring_case(name, "Default View") ||
           equal_ignoring_case(name, "Color") || equal_ignoring_case(name, "Fonts") ||
           numbered_name(name, "Vcockpit").has_value();
}

class LayoutReader {
public:
    explicit LayoutReader(PanelLayout& layout) : layout_(layout) {}

    void read(std::string_view text) {
        if (const char* form = utf16_form(text)) {
            fault(cat("is ", form, " text; save it as ANSI (Windows-1252) or UTF-8 text"));
            return;
        }
        // A file saved by a Windows editor may begin with a UTF-8 byte-order mark.
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        // An old DOS editor's end-of-file mark.
        if (text.ends_with('\x1A')) text.remove_suffix(1);
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            ++line_;
            std::string_view line = text.substr(start, end - start);
            if (line.size() > max_layout_line_bytes) {
                fault(cat("the line is ", line.size(), " bytes long; a layout line may have at most ",
                          max_layout_line_bytes));
            } else if (size_t column = control_byte_column(line)) {
                fault(cat("column ", column, ": control byte ",
                          control_byte_name(static_cast<unsigned char>(line[column - 1])),
                          "; a layout is plain text"));
            } else {
                read_line(line);
            }
            start = end + 1;
            if (layout_.messages.size() >= max_layout_messages && start < text.size()) {
                ++line_;
                fault(cat(max_layout_messages, " problems before this line; the rest of the file is not read"));
                break;
            }
        }
        finish();
    }

private:
    void add(LayoutMessage::Level level, std::string text, bool held_everywhere = false) {
        layout_.messages.push_back({level, line_, std::move(text), window_index_, held_everywhere});
    }
    void error(std::string text) { add(LayoutMessage::Error, std::move(text)); }
    void warning(std::string text) { add(LayoutMessage::Warning, std::move(text)); }
    void fault(std::string text) { add(LayoutMessage::Error, std::move(text), true); }

    void read_line(std::string_view raw) {
        // Comments: whole lines or line ends, after // or ;.
        size_t comment = std::min(raw.find("//"), raw.find(';'));
        std::string text = trimmed(raw.substr(0, comment));
        if (text.empty()) return;
        if (text.front() == '[') {
            start_section(text);
            return;
        }
        size_t equals = text.find('=');
        if (equals == std::string::npos) {
            error("\"" + text + "\" is not KEY=VALUE or a [section] header");
            return;
        }
        std::string key = trimmed(text.substr(0, equals)), value = trimmed(text.substr(equals + 1));
        if (key.empty()) {
            error("\"" + text + "\" has no key before the =");
            return;
        }
        switch (section_) {
            case Section::none: warning("\"" + key + "\" comes before any [section]; ignored"); break;
            case Section::titles: read_title(key, value); break;
            case Section::window: read_window_key(key, value); break;
            case Section::not_drawn: break;
            case Section::unknown: break;
        }
    }

    void start_section(const std::string& text) {
        window_index_ = -1;
        if (text.back() != ']' || text.size() < 3) {
            error("\"" + text + "\" is not a [section] header");
            section_ = Section::unknown;  // its lines belong to no window
            return;
        }
        std::string name = trimmed(std::string_view(text).substr(1, text.size() - 2));
        if (equal_ignoring_case(name, "Window Titles")) {
            section_ = Section::titles;
        } else if (std::optional<int> n = numbered_name(name, "Window")) {
            if (auto earlier = window_of_number_.find(*n); earlier != window_of_number_.end()) {
                // The repeat is a fault of the window it repeats.
                window_index_ = int(earlier->second);
                const LayoutWindow& w = layout_.windows[earlier->second];
                error(cat("[", name, "] repeats [", w.section, "] of line ", w.line));
                window_index_ = -1;
                section_ = Section::unknown;
                return;
            }
            section_ = Section::window;
            window_index_ = int(layout_.windows.size());
            window_of_number_[*n] = layout_.windows.size();
            LayoutWindow window;
            window.line = line_;
            window.section = name;
            window.number = *n;
            layout_.windows.push_back(std::move(window));
            keys_seen_.clear();
            gauge_line_of_number_.clear();
            gauge_lines_ = 0;
        } else if (section_not_drawn(name)) {
            section_ = Section::not_drawn;
        } else {
            warning("[" + name + "] is not a section this host reads; its lines are ignored");
            section_ = Section::unknown;
        }
    }

    void read_title(const std::string& key, const std::string& value) {
        std::optional<int> n = numbered_name(key, "Window");
        if (!n) {
            warning("\"" + key + "\" is not a WindowNN title; ignored");
            return;
        }
        titles_[*n] = value;
    }

    LayoutWindow& window() { return layout_.windows.back(); }

    void read_window_key(const std::string& key, const std::string& value) {
        if (std::optional<int> n = numbered_name(key, "gauge")) {
            // Checked before the line is kept: a window's gauges are bounded.
            if (gauge_lines_++ >= max_gauges_per_window) {
                if (gauge_lines_ == max_gauges_per_window + 1)
                    error(cat(key, ": [", window().section, "] has more than ", max_gauges_per_window,
                              " gauge lines; this one and those after it are not read"));
                return;
            }
            gauge_numbers_[window().number].insert(*n);
            read_gauge(key, *n, value);
            return;
        }
        std::string name = lower(key);
        if (auto [at, fresh] = keys_seen_.emplace(name, line_); !fresh)
            warning(cat(key, " is given again (line ", at->second, "); this line's value counts"));
        keys_seen_[name] = line_;
        if (name == "size_mm") {
            std::vector<std::string> f = split_fields(value);
            int w = 0, h = 0;
            if (f.size() != 2 || !whole_number(f[0], w) || !whole_number(f[1], h)) {
                error("size_mm is \"" + value + "\"; it takes WIDTH,HEIGHT in whole panel pixels");
            } else if (w <= 0 || h <= 0 || w > max_window_side || h > max_window_side) {
                error(cat("size_mm ", w, " x ", h, ": each side must be from 1 to ", max_window_side));
            } else if (int64_t(w) * h > max_window_pixels) {
                error(cat("size_mm ", w, " x ", h, " is ", int64_t(w) * h, " pixels; a window may have at most ",
                          max_window_pixels, " (4096 x 4096)"));
            } else {
                window().width = w;
                window().height = h;
            }
        } else if (name == "background_color") {
            std::vector<std::string> f = split_fields(value);
            int c[3];
            bool good = f.size() == 3;
            for (size_t i = 0; good && i < 3; ++i) good = whole_number(f[i], c[i]) && c[i] >= 0 && c[i] <= 255;
            if (!good) {
                error("background_color is \"" + value + "\"; it takes RED,GREEN,BLUE, each 0 to 255");
                return;
            }
            window().background_colour = LayoutColour{uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])};
        } else if (name == "file") {
            if (value.empty()) error("file= names no bitmap");
            window().background_file = value;
        } else if (std::none_of(std::begin(window_keys_not_drawn), std::end(window_keys_not_drawn),
                                [&](const char* k) { return name == k; })) {
            warning("unknown key \"" + key + "\" in [" + window().section + "]; ignored");
        }
    }

    void read_gauge(const std::string& key, int number, const std::string& value) {
        std::vector<std::string> f = split_fields(value);
        size_t bang = f[0].find('!');
        if (bang == std::string::npos) {
            error(key + "=" + value + ": the gauge is named MODULE!GAUGE, as in Corvalenx!Airspeed");
            return;
        }
        LayoutGauge g;
        g.line = line_;
        g.key = key;
        g.number = number;
        g.module = trimmed(std::string_view(f[0]).substr(0, bang));
        g.gauge = trimmed(std::string_view(f[0]).substr(bang + 1));
        if (g.module.empty() || g.gauge.empty()) {
            error(key + ": \"" + f[0] + "\" lacks the " + (g.module.empty() ? "module" : "gauge") +
                  " name around the !");
            return;
        }
        // The module is a file beside the layout or in its Gauges folder,
        // never one elsewhere.
        if (g.module.find_first_of("/\\:") != std::string::npos || g.module.find("..") != std::string::npos) {
            error(cat(key, ": module \"", g.module,
                      "\" is not a plain file name; a module is named without folders or ..: Corvalenx for "
                      "Corvalenx.gau"));
            return;
        }
        if (f.size() < 3) {
            error(g.label() + " needs at least X, Y after the name (then WIDTH, HEIGHT if not the face's)");
            return;
        }
        const char* names[] = {"x", "y", "width", "height"};
        int* fields[] = {&g.x, &g.y, &g.width, &g.height};
        for (size_t i = 0; i < 4 && i + 1 < f.size(); ++i) {
            if (!whole_number(f[i + 1], *fields[i])) {
                error(g.label() + ": " + names[i] + " is \"" + f[i + 1] +
                      "\"; positions and sizes are whole panel pixels");
                return;
            }
        }
        g.width_given = f.size() > 3;
        g.height_given = f.size() > 4;
        if (f.size() > 5) warning(g.label() + ": the fields after the height are ignored");
        if (auto [other, fresh] = gauge_line_of_number_.emplace(number, line_); !fresh) {
            error(cat(key, " repeats the gauge number of line ", other->second));
            return;
        }
        window().gauges.push_back(std::move(g));
    }

    void finish() {
        line_ = 0;
        if (layout_.windows.empty()) error("no [WindowNN] section: there is no panel window to draw");
        for (LayoutWindow& w : layout_.windows) {
            auto title = titles_.find(w.number);
            w.title = title != titles_.end() && !title->second.empty() ? title->second : w.section;
            // The panel system reads gauge00, gauge01, ... and stops at the
            // first number missing, so a gap hides the gauges after it.
            // Numbers of lines that had errors count too: the gap is theirs.
            std::vector<int> numbers(gauge_numbers_[w.number].begin(), gauge_numbers_[w.number].end());
            for (size_t i = 0; i < numbers.size(); ++i) {
                if (numbers[i] != int(i)) {
                    for (const LayoutGauge& g : w.gauges) {
                        if (g.number == numbers[i]) {
                            layout_.messages.push_back(
                                {LayoutMessage::Warning, g.line,
                                 cat(g.key, ": the numbers in [", w.section,
                                     "] should run from gauge00 without a gap; gauge", i < 10 ? "0" : "", i,
                                     " is missing")});
                        }
                    }
                    break;
                }
            }
        }
        std::stable_sort(layout_.messages.begin(), layout_.messages.end(),
                         [](const LayoutMessage& a, const LayoutMessage& b) { return a.line < b.line; });
    }

    enum class Section { none, titles, window, not_drawn, unknown };
    PanelLayout& layout_;
    Section section_ = Section::none;
    int line_ = 0;
    int window_index_ = -1;  // of the window whose section is being read
    std::map<int, size_t> window_of_number_;     // [WindowNN]'s NN -> index in layout_.windows
    std::map<int, int> gauge_line_of_number_;    // in the current window: the line of each gauge kept
    size_t gauge_lines_ = 0;                     // gaugeNN lines of the current window
    std::map<int, std::string> titles_;
    std::map<std::string, int> keys_seen_;  // in the current window, lower-case
    std::map<int, std::set<int>> gauge_numbers_;  // by window number: every gaugeNN line's NN
};

}  // namespace

// "Window07" -> 7 for prefix "window"; nothing for "Window", "Windows" or
// "Window7x". The digits are what the panel system numbers by.
std::optional<int> numbered_name(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 4) return std::nullopt;
    if (!equal_ignoring_case(name.substr(0, prefix.size()), prefix)) return std::nullopt;
    int n = 0;
    for (char c : name.substr(prefix.size())) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string LayoutGauge::label() const { return key + " (" + module + "!" + gauge + ")"; }

bool PanelLayout::has_errors() const {
    return std::any_of(messages.begin(), messages.end(),
                       [](const LayoutMessage& m) { return m.level == LayoutMessage::Error; });
}

LayoutWindow* PanelLayout::window(std::string_view name) {
    for (LayoutWindow& w : windows) {
        bool number = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        });
        if ((number && name.size() <= 4 && std::stoi(std::string(name)) == w.number) ||
            equal_ignoring_case(name, w.section) || equal_ignoring_case(name, w.title))
            return &w;
    }
    return nullptr;
}

std::string PanelLayout::message_text(const LayoutMessage& m) const {
    std::string where = m.line ? source + ":" + std::to_string(m.line) : source;
    return where + (m.level == LayoutMessage::Error ? ": error: " : ": warning: ") + m.text;
}

std::string PanelLayout::message_text() const {
    std::string out;
    for (const LayoutMessage& m : messages) out += message_text(m) + "\n";
    return out;
}

PanelLayout read_panel_layout(std::string_view text, std::string source) {
    PanelLayout layout;
    layout.source = std::move(source);
    LayoutReader(layout).read(text);
    return layout;
}

PanelLayout load_panel_layout(const std::string& path) {
    auto refused = [&](std::string why) {
        PanelLayout layout;
        layout.source = path;
        layout.messages.push_back({LayoutMessage::Error, 0, std::move(why), -1, true});
        return layout;
    };
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    // Its size first, so that a huge file is never read into memory.
    const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
    if (size > max_layout_file_bytes)
        return refused(cat("is ", size, " bytes; a layout file may have at most ", max_layout_file_bytes));
    in.seekg(0);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad() || size < 0) return refused("cannot be read (no such file, or not a file)");
    return read_panel_layout(text.str(), path);
}

void tolerate_other_windows(PanelLayout& layout, const LayoutWindow& drawn) {
    const int drawn_index = int(&drawn - layout.windows.data());
    for (LayoutMessage& m : layout.messages) {
        if (m.level != LayoutMessage::Error || m.held_everywhere || m.line == 0 || m.window_index == drawn_index)
            continue;
        m.level = LayoutMessage::Warning;
        m.text += m.window_index >= 0 ? " ([" + layout.windows[size_t(m.window_index)].section + "] is not drawn)"
                                      : " (outside [" + drawn.section + "], the window drawn)";
    }
}

std::string layout_folder(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void place_gauges(PanelLayout& layout, LayoutWindow& window, const FaceSizeLookup& face_size) {
    auto error = [&](const LayoutGauge& g, std::string text) {
        layout.messages.push_back({LayoutMessage::Error, g.line, g.label() + ": " + std::move(text)});
    };
    for (LayoutGauge& g : window.gauges) {
        std::string why;
        std::optional<FaceSize> face = face_size(g.module, g.gauge, why);
        if (!face) {
            error(g, why);
            continue;
        }
        if (!g.width_given) g.width = face->width;
        if (!g.height_given)
            g.height = face->width > 0 ? int((int64_t(g.width) * face->height + face->width / 2) / face->width) : 0;
        if (g.width <= 0 || g.height <= 0) {
            error(g, cat("size ", g.width, " x ", g.height, "; a gauge's width and height must be positive"));
            continue;
        }
        const char* off = g.x < 0                          ? "starts left of the window"
                          : g.y < 0                        ? "starts above the window"
                          : g.x + g.width > window.width   ? "reaches past the window's right edge"
                          : g.y + g.height > window.height ? "reaches below the window's bottom edge"
                                                           : nullptr;
        if (off) {
            error(g, cat("at ", g.x, ", ", g.y, ", ", g.width, " x ", g.height, " ", off, " ([", window.section,
                         "] is ", window.width, " x ", window.height, ")"));
        }
    }
    std::stable_sort(layout.messages.begin(), layout.messages.end(),
                     [](const LayoutMessage& a, const LayoutMessage& b) { return a.line < b.line; });
}

}  // namespace panelhost
