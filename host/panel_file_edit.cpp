#include "host/panel_file_edit.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "host/panel_layout.h"

namespace panelhost {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view utf8_mark = "\xEF\xBB\xBF";

struct Line {
    size_t start = 0;     // its first byte
    size_t text_end = 0;  // just past its text, before CR LF or LF
    size_t end = 0;       // just past its line end
    std::string_view text;
};

std::vector<Line> split_lines(std::string_view text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        size_t text_end = newline == std::string_view::npos ? text.size() : newline;
        if (text_end > start && newline != std::string_view::npos && text[text_end - 1] == '\r') --text_end;
        lines.push_back({start, text_end, end, text.substr(start, text_end - start)});
        start = end;
    }
    return lines;
}

std::string_view trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A line without its comment (// or ;) and surrounding spaces, as the
// layout reader sees it; the first line without a UTF-8 byte-order mark.
std::string_view content(const std::vector<Line>& lines, size_t i) {
    std::string_view text = lines[i].text;
    if (i == 0 && text.starts_with(utf8_mark)) text.remove_prefix(utf8_mark.size());
    return trimmed(text.substr(0, std::min(text.find("//"), text.find(';'))));
}


struct Section {
    std::string_view name;  // inside the brackets, trimmed
    size_t header = 0;      // line index of its [header]
    size_t end = 0;         // line index past its last line
};

struct KeyLine {
    size_t line = 0;
    std::string_view key, value;
};

// A panel file split into lines and sections, read only as far as editing needs.
struct PanelText {
    std::string_view bytes;
    std::vector<Line> lines;
    std::vector<Section> sections;  // in file order

    explicit PanelText(std::string_view text) : bytes(text), lines(split_lines(text)) {
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string_view c = content(lines, i);
            if (c.size() < 2 || c.front() != '[' || c.back() != ']') continue;
            if (!sections.empty()) sections.back().end = i;
            sections.push_back({trimmed(c.substr(1, c.size() - 2)), i, lines.size()});
        }
    }

    std::vector<KeyLine> keys(const Section& s) const {
        std::vector<KeyLine> keys;
        for (size_t i = s.header + 1; i < s.end; ++i) {
            std::string_view c = content(lines, i);
            size_t equals = c.find('=');
            if (equals != std::string_view::npos) keys.push_back({i, trimmed(c.substr(0, equals)), trimmed(c.substr(equals + 1))});
        }
        return keys;
    }

    // The last line of the section holding something other than a comment.
    size_t last_content_line(const Section& s) const {
        size_t last = s.header;
        for (size_t i = s.header + 1; i < s.end; ++i)
            if (!content(lines, i).empty()) last = i;
        return last;
    }

    bool is_titles(const Section& s) const { return equal_ignoring_case(s.name, "Window Titles"); }
    std::optional<int> window_number(const Section& s) const { return numbered_name(s.name, "Window"); }

    // The line ends the file uses: those of its first line, CR LF when it has none.
    std::string_view line_end() const {
        size_t newline = bytes.find('\n');
        if (newline == std::string_view::npos) return "\r\n";
        return newline > 0 && bytes[newline - 1] == '\r' ? "\r\n" : "\n";
    }
};

struct TitleLine {
    size_t line = 0;
    int number = 0;
    const Section* section = nullptr;
};

// The [Window Titles] line giving `title` (case ignored), if any.
std::optional<TitleLine> find_title(const PanelText& panel, std::string_view title) {
    for (const Section& s : panel.sections) {
        if (!panel.is_titles(s)) continue;
        for (const KeyLine& k : panel.keys(s))
            if (std::optional<int> n = numbered_name(k.key, "Window"); n && equal_ignoring_case(k.value, title))
                return TitleLine{k.line, *n, &s};
    }
    return std::nullopt;
}

const Section* find_window(const PanelText& panel, int number) {
    for (const Section& s : panel.sections)
        if (panel.window_number(s) == number) return &s;
    return nullptr;
}

std::string section_name(int number) { return (number < 10 ? "Window0" : "Window") + std::to_string(number); }

int gauge_lines(const PanelText& panel, const Section& s) {
    int n = 0;
    for (const KeyLine& k : panel.keys(s)) n += numbered_name(k.key, "gauge").has_value();
    return n;
}

std::string quoted_titles(const PanelText& panel) {
    std::string list;
    for (const Section& s : panel.sections)
        if (panel.is_titles(s))
            for (const KeyLine& k : panel.keys(s)) list += std::string(list.empty() ? "" : ", ") + "\"" + std::string(k.value) + "\"";
    return list.empty() ? "none" : list;
}

struct Insertion {
    size_t at;
    int order;  // at the same offset, the lower goes first
    std::string bytes;
};

struct Removal {
    size_t from, to;
};

}  // namespace

std::string panel_text_refusal(std::string_view text, const std::string& name) {
    PanelLayout layout = read_panel_layout(text, name);
    for (const LayoutMessage& m : layout.messages)
        if (m.held_everywhere) return layout.message_text(m);
    PanelText panel(text);
    for (const Section& s : panel.sections) {
        if (!equal_ignoring_case(s.name, "fltsim")) continue;
        for (const KeyLine& k : panel.keys(s))
            if (equal_ignoring_case(k.key, "alias"))
                return name + ":" + std::to_string(k.line + 1) + ": only aliases the panel of \"" + std::string(k.value) +
                       "\" ([fltsim] alias=); edit that aircraft's panel file instead";
    }
    if (panel.sections.empty()) return name + ": has no [section] header; it is no panel file";
    return {};
}

bool plan_add_window(std::string_view example_text, const std::string& example_name, std::string_view panel_text,
                     const std::string& panel_name, PanelFileChange& change, std::string& error) {
    change = PanelFileChange{};
    if (!(error = panel_text_refusal(example_text, example_name)).empty()) return false;
    if (!(error = panel_text_refusal(panel_text, panel_name)).empty()) return false;
    PanelLayout example_layout = read_panel_layout(example_text, example_name);
    for (const LayoutMessage& m : example_layout.messages) {
        if (m.level == LayoutMessage::Error) {
            error = example_layout.message_text(m);
            return false;
        }
    }

    // The example's window: its first [WindowNN] section and its title.
    PanelText example(example_text);
    const Section* window = nullptr;
    for (const Section& s : example.sections)
        if (example.window_number(s) && !window) window = &s;
    if (!window) {
        error = example_name + ": holds no [WindowNN] section to add";
        return false;
    }
    std::optional<std::string_view> title;
    for (const Section& s : example.sections)
        if (example.is_titles(s))
            for (const KeyLine& k : example.keys(s))
                if (numbered_name(k.key, "Window") == example.window_number(*window) && !title) title = k.value;
    // An example may hold no [Window Titles] of its own, so that none is
    // copied by hand by mistake: its window is then titled after the one
    // module its gauges come from.
    std::string module_title;
    if ((!title || title->empty()) && !example_layout.windows.empty()) {
        std::set<std::string> modules;
        for (const LayoutGauge& g : example_layout.windows.front().gauges) modules.insert(g.module);
        if (modules.size() == 1) title = module_title = *modules.begin() + " Gauges";
    }
    if (!title || title->empty()) {
        error = example_name + ": gives [" + std::string(window->name) + "] no title (a " + std::string(window->name) +
                "=TITLE line under [Window Titles]), and its gauges come from more than one module to title it by";
        return false;
    }
    change.title = std::string(*title);
    change.gauges = gauge_lines(example, *window);

    PanelText panel(panel_text);
    if (std::optional<TitleLine> there = find_title(panel, change.title)) {
        change.nothing_to_do = true;
        change.section = section_name(there->number);
        change.title_line = int(there->line + 1);
        if (const Section* s = find_window(panel, there->number)) {
            change.section = std::string(s->name);
            change.section_line = int(s->header + 1);
        }
        change.text = std::string(panel_text);
        return true;
    }

    // The first number neither a section nor a title line uses.
    std::vector<bool> used;
    auto mark = [&](std::optional<int> n) {
        if (!n) return;
        if (size_t(*n) >= used.size()) used.resize(size_t(*n) + 1);
        used[size_t(*n)] = true;
    };
    for (const Section& s : panel.sections) {
        mark(panel.window_number(s));
        if (panel.is_titles(s))
            for (const KeyLine& k : panel.keys(s)) mark(numbered_name(k.key, "Window"));
    }
    const int number = int(std::find(used.begin(), used.end(), false) - used.begin());
    change.section = section_name(number);
    const std::string_view eol = panel.line_end();

    std::vector<Insertion> insertions;
    // The title line: after the last line of [Window Titles], keyed in the
    // case its other lines use; or a new [Window Titles] before the first section.
    const Section* titles = nullptr;
    for (const Section& s : panel.sections)
        if (panel.is_titles(s) && !titles) titles = &s;
    std::string key = "Window" + change.section.substr(6);
    if (titles) {
        std::vector<KeyLine> keys = panel.keys(*titles);
        if (!keys.empty() && keys.back().key.starts_with('w')) key[0] = 'w';
        insertions.push_back({panel.lines[panel.last_content_line(*titles)].text_end, 0,
                              std::string(eol) + key + "=" + change.title});
    } else {
        size_t at = panel.lines[panel.sections.front().header].start;
        if (at == 0 && panel_text.starts_with(utf8_mark)) at = utf8_mark.size();
        insertions.push_back({at, 0, "[Window Titles]" + std::string(eol) + key + "=" + change.title +
                                         std::string(eol) + std::string(eol)});
        change.titles_section_made = true;
    }
    change.lines.push_back(key + "=" + change.title);

    // The section: after the last line of the file's last window, or of the
    // file when it has none, a blank line before it.
    size_t after = std::string_view::npos;
    for (const Section& s : panel.sections)
        if (panel.window_number(s)) after = panel.lines[panel.last_content_line(s)].text_end;
    if (after == std::string_view::npos) {
        after = 0;
        for (const Line& line : panel.lines)
            if (!trimmed(line.text).empty()) after = line.text_end;
    }
    std::string block = std::string(eol) + std::string(eol) + "[" + change.section + "]";
    change.lines.push_back("[" + change.section + "]");
    const size_t last = example.last_content_line(*window);
    for (size_t i = window->header + 1; i <= last; ++i) {
        block += std::string(eol) + std::string(example.lines[i].text);
        change.lines.push_back(std::string(example.lines[i].text));
    }
    insertions.push_back({after, 1, block});

    std::sort(insertions.begin(), insertions.end(),
              [](const Insertion& a, const Insertion& b) { return a.at != b.at ? a.at < b.at : a.order < b.order; });
    size_t copied = 0;
    for (const Insertion& insertion : insertions) {
        change.text.append(panel_text.substr(copied, insertion.at - copied));
        change.text += insertion.bytes;
        copied = insertion.at;
    }
    change.text.append(panel_text.substr(copied));

    // Read back: the new window with its title and gauges, and removing it
    // gives the file as it was. Anything else is a file this code cannot
    // edit safely, and nothing is written.
    PanelText result(change.text);
    std::optional<TitleLine> added = find_title(result, change.title);
    const Section* added_window = find_window(result, number);
    PanelFileChange undo;
    std::string undo_error;
    if (!added || added->number != number || !added_window || gauge_lines(result, *added_window) != change.gauges ||
        !plan_remove_window(change.text, panel_name, change.title, undo, undo_error) || undo.text != panel_text) {
        error = panel_name + ": adding [" + change.section + "] would not read back as added; the file is left as it is";
        return false;
    }
    change.section_line = int(added_window->header + 1);
    change.title_line = int(added->line + 1);
    return true;
}

bool plan_remove_window(std::string_view panel_text, const std::string& panel_name, const std::string& title,
                        PanelFileChange& change, std::string& error) {
    change = PanelFileChange{};
    if (!(error = panel_text_refusal(panel_text, panel_name)).empty()) return false;
    PanelText panel(panel_text);
    std::optional<TitleLine> found = find_title(panel, title);
    if (!found) {
        error = panel_name + ": no window is titled \"" + title + "\" under [Window Titles] (its titles: " +
                quoted_titles(panel) + ")";
        return false;
    }
    change.title = std::string(content(panel.lines, found->line).substr(content(panel.lines, found->line).find('=') + 1));
    change.title = std::string(trimmed(change.title));
    change.title_line = int(found->line + 1);
    change.section = section_name(found->number);

    std::vector<Removal> removals;
    const std::vector<Line>& lines = panel.lines;
    // The title line with the line end before it; a [Window Titles] left
    // holding nothing but the blank line after it, as add makes one, goes whole.
    const Section& titles = *found->section;
    bool made = titles.end == titles.header + 3 && found->line == titles.header + 1 &&
                lines[titles.header + 2].text.empty() && titles.end < lines.size();
    if (made) {
        size_t from = lines[titles.header].start;
        if (titles.header == 0 && panel_text.starts_with(utf8_mark)) from = utf8_mark.size();
        removals.push_back({from, lines[titles.end].start});
        change.titles_section_made = true;
    } else {
        removals.push_back({lines[found->line - 1].text_end, lines[found->line].text_end});
    }
    change.lines.push_back(std::string(lines[found->line].text));

    if (const Section* window = find_window(panel, found->number)) {
        change.section = std::string(window->name);
        change.section_line = int(window->header + 1);
        change.gauges = gauge_lines(panel, *window);
        // From the end of the last line above it with anything on it to the
        // end of its own last line: its comments and blank lines after that
        // stay with what follows.
        size_t from = 0;
        for (size_t i = window->header; i-- > 0;) {
            if (!trimmed(lines[i].text).empty()) {
                from = lines[i].text_end;
                break;
            }
        }
        const size_t last = panel.last_content_line(*window);
        removals.push_back({from, lines[last].text_end});
        for (size_t i = window->header; i <= last; ++i) change.lines.push_back(std::string(lines[i].text));
    }
    std::sort(removals.begin(), removals.end(), [](const Removal& a, const Removal& b) { return a.from < b.from; });
    size_t copied = 0;
    for (const Removal& r : removals) {
        if (r.from < copied) {
            error = panel_name + ": [" + change.section + "] and its title line overlap; the file is left as it is";
            return false;
        }
        change.text.append(panel_text.substr(copied, r.from - copied));
        copied = r.to;
    }
    change.text.append(panel_text.substr(copied));
    return true;
}

// ---------------------------------------------------------------------------
// Files.

namespace {

// Every file is named through std::filesystem::path, so that reading,
// creating and renaming agree on which file a name means (on Windows: the
// wide-character calls).
#ifdef _WIN32
int open_new_file(const fs::path& path) {
    return _wopen(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, _S_IREAD | _S_IWRITE);
}
int flush_to_disk(int fd) { return _commit(fd); }
#else
int open_new_file(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666); }
int flush_to_disk(int fd) { return fsync(fd); }
#endif

// Creates `path` (never over an existing file) holding `bytes`, on the disk
// when this returns true. False with errno set; EEXIST: it exists.
bool create_new_file(const std::string& path, std::string_view bytes) {
    const fs::path file(path);
    int fd = open_new_file(file);
    if (fd < 0) return false;
    bool good = true;
    for (size_t done = 0; good && done < bytes.size();) {
        const size_t chunk = std::min<size_t>(bytes.size() - done, size_t(1) << 20);
        const auto wrote = ::write(fd, bytes.data() + done, static_cast<unsigned>(chunk));
        good = wrote > 0;
        if (good) done += size_t(wrote);
    }
    good = good && flush_to_disk(fd) == 0;
    const int saved = errno;
    good = ::close(fd) == 0 && good;
    if (!good) {
        std::error_code ignored;
        fs::remove(file, ignored);
        errno = saved ? saved : EIO;
    }
    return good;
}

// Creates the first free name of `base` + suffix(0), suffix(1), ...
bool create_first_free(const std::string& base, const std::string& suffix, std::string_view bytes, std::string& made,
                       std::string& error) {
    for (int n = 0; n < 1000; ++n) {
        made = base + suffix + (n ? std::to_string(n) : "");
        if (create_new_file(made, bytes)) return true;
        if (errno != EEXIST) {
            error = made + ": cannot be written (" + std::strerror(errno) + ")";
            return false;
        }
    }
    error = base + suffix + ": " + suffix + " to " + suffix + "999 exist already; remove some";
    return false;
}

bool writable(const std::string& path, std::string& error) {
    std::error_code ec;
    fs::file_status status = fs::status(fs::path(path), ec);
    if (ec) {
        error = path + ": " + ec.message();
        return false;
    }
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
        error = path + ": is read-only; make it writable to let panelhost change it (nothing was changed)";
        return false;
    }
    return true;
}

}  // namespace

bool read_whole_file(const std::string& path, std::string& bytes, std::string& error) {
    const fs::path file(path);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        error = path + ": " + (fs::exists(file, ec) ? "is not a file" : "no such file");
        return false;
    }
    const auto size = fs::file_size(file, ec);
    if (ec || size > uintmax_t(max_layout_file_bytes)) {
        error = ec ? path + ": " + ec.message()
                   : path + ": is " + std::to_string(size) + " bytes; a panel file may have at most " +
                         std::to_string(max_layout_file_bytes);
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    bytes.assign(size_t(size), '\0');
    if (!in || !in.read(bytes.data(), std::streamsize(size)) || in.peek() != std::ifstream::traits_type::eof()) {
        error = path + ": cannot be read to its end (it changed, or a read failed)";
        return false;
    }
    return true;
}

bool write_backup(const std::string& path, std::string_view bytes, std::string& backup, std::string& error) {
    return create_first_free(path, ".bak", bytes, backup, error);
}

bool replace_file(const std::string& path, std::string_view bytes, std::string& error) {
    std::string temporary;
    if (!create_first_free(path, ".partial", bytes, temporary, error)) return false;
    std::error_code ec;
    const fs::path file(path), temporary_file(temporary);
    const fs::perms perms = fs::status(file, ec).permissions();
    if (!ec) fs::permissions(temporary_file, perms, fs::perm_options::replace, ec);
    fs::rename(temporary_file, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary_file, ignored);
        error = path + ": cannot be replaced (" + ec.message() + "); it is as it was";
        return false;
    }
    return true;
}

namespace {

std::string listed(const PanelFileChange& change) {
    std::string text;
    for (const std::string& line : change.lines) text += "  " + line + "\n";
    return text;
}

// Backup, then the file; `done` says what changed.
PanelFileRun write_change(const std::string& panel_path, const std::string& before, const PanelFileChange& change,
                          const std::string& done) {
    std::string error, backup, now;
    if (!write_backup(panel_path, before, backup, error)) return {false, error + "; nothing was changed"};
    // Changed by someone else since it was read: their change is not lost.
    if (!read_whole_file(panel_path, now, error) || now != before) {
        std::error_code ignored;
        fs::remove(backup, ignored);
        return {false, panel_path + ": changed while panelhost was editing it; nothing was changed"};
    }
    if (!replace_file(panel_path, change.text, error)) {
        std::error_code ignored;
        fs::remove(backup, ignored);
        return {false, error};
    }
    return {true, done + panel_path + ": the file as it was is " + backup + "\n"};
}

std::string gauge_count(int n) { return std::to_string(n) + (n == 1 ? " gauge" : " gauges"); }

}  // namespace

PanelFileRun add_window_to_file(const std::string& example_path, const std::string& panel_path, bool dry_run) {
    std::string example, panel, error;
    if (!read_whole_file(example_path, example, error) || !read_whole_file(panel_path, panel, error)) return {false, error};
    PanelFileChange change;
    if (!plan_add_window(example, example_path, panel, panel_path, change, error)) return {false, error};
    if (change.nothing_to_do && !change.section_line) {
        return {true, panel_path + ":" + std::to_string(change.title_line) + ": has the title \"" + change.title +
                          "\" already, but no [" + change.section + "] section; nothing changed (remove-window " +
                          "takes the title line out)\n"};
    }
    if (change.nothing_to_do) {
        return {true, panel_path + ": already has [" + change.section + "] \"" + change.title + "\" (title on line " +
                          std::to_string(change.title_line) + "); nothing changed\n"};
    }
    if (!writable(panel_path, error)) return {false, error};
    const std::string what = "[" + change.section + "] \"" + change.title + "\" (" + gauge_count(change.gauges) +
                             ") at line " + std::to_string(change.section_line) + ", and its title line at line " +
                             std::to_string(change.title_line) +
                             (change.titles_section_made ? " in a new [Window Titles] section" : "");
    if (dry_run) return {true, panel_path + ": would add " + what + "; nothing written (--dry-run):\n" + listed(change)};
    return write_change(panel_path, panel, change, panel_path + ": added " + what + "\n");
}

PanelFileRun remove_window_from_file(const std::string& panel_path, const std::string& title, bool dry_run) {
    std::string panel, error;
    if (!read_whole_file(panel_path, panel, error)) return {false, error};
    PanelFileChange change;
    if (!plan_remove_window(panel, panel_path, title, change, error)) return {false, error};
    if (!writable(panel_path, error)) return {false, error};
    const std::string what =
        "[" + change.section + "] \"" + change.title + "\"" +
        (change.section_line ? " (line " + std::to_string(change.section_line) + ", " + gauge_count(change.gauges) + ")"
                             : " (no such section: only its title line)") +
        " and its title line (line " + std::to_string(change.title_line) + ")";
    if (dry_run) return {true, panel_path + ": would remove " + what + "; nothing written (--dry-run):\n" + listed(change)};
    return write_change(panel_path, panel, change, panel_path + ": removed " + what + "\n");
}

}  // namespace panelhost
