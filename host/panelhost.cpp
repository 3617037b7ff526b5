// panelhost: runs the gauges of a 2000-generation gauge module without the
// simulator: checks the module, renders gauges to PNG, plays a flight from a
// CSV time series, answers mouse questions and measures the conversions.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/panel_host.h"

using namespace panelhost;

namespace {

enum Exit { ok = 0, usage_error = 1, module_error = 2 };

const char* overview =
    "usage: panelhost COMMAND [ARGS...]   (panelhost COMMAND --help for more)\n"
    "\n"
    "A headless panel host for 2000-generation gauge modules (.gau).\n"
    "\n"
    "commands:\n"
    "  check  MODULE                       check every record; list what is there\n"
    "  render MODULE GAUGE -o OUT.png      draw one gauge at the variables given\n"
    "  sheet  MODULE -o SHEET.png          every gauge at three preview readings, labelled\n"
    "  play   MODULE GAUGE --csv FILE -o DIR  one PNG frame per CSV row (and an animation)\n"
    "  mouse  MODULE GAUGE X Y             the mouse area under a point of the face\n"
    "  bench  MODULE                       time the conversion routines and full redraws\n"
    "\n"
    "Every command takes --timeout SECONDS: how long a module routine may run (default 10).\n"
    "\n"
    "exit status: 0 done; 1 bad command line or input; 2 the module failed its checks;\n"
    "3 the module called a service this host does not provide or passed it a bad record;\n"
    "4 the module crashed; 5 a module routine did not return; 6 a routine broke the\n"
    "host calling convention.\n";

const char* render_help =
    "usage: panelhost render MODULE GAUGE [options] -o OUT.png\n"
    "\n"
    "Installs GAUGE, updates it with the variables given and draws it at its face's\n"
    "size; pure-black pixels are see-through (transparent in the PNG).\n"
    "\n"
    "  --set TOKEN=VALUE  a simulator variable by token: 61=120 (a double), or for a\n"
    "                     binary-coded-decimal variable the word: 16=0x0345\n"
    "  --fail KEY         failure KEY in force: elements listing it freeze (keep what\n"
    "                     they showed at rest) or read their variables as 0\n"
    "  --ticks N          updates before drawing (default 1); needles with a rate\n"
    "                     limit move at most that many degrees per update after the first\n"
    "  --timeout SECONDS  how long a module routine may run (default 10)\n";

const char* sheet_help =
    "usage: panelhost sheet MODULE [-o SHEET.png] [--set TOKEN=VALUE]...\n"
    "\n"
    "Draws every gauge of the module at three representative readings, one row per\n"
    "gauge, each labelled with the gauge's name and the variables it read. Variables\n"
    "this host knows take preview values of their own; --set fixes a variable for\n"
    "all three readings. Default output: preview-sheet.png.\n";

const char* play_help =
    "usage: panelhost play MODULE GAUGE --csv FILE -o DIR [--fail KEY[@ROW]]... [--fps N]\n"
    "\n"
    "FILE holds a header row of variable tokens (61,390,16) and one row per update\n"
    "tick; an empty cell keeps the variable's value, a BCD cell is a word (0x0345).\n"
    "Writes DIR/frame_00001.png... and, when ffmpeg or ImageMagick is on the PATH,\n"
    "DIR/animation.gif at --fps frames a second (default 18); frames past the last and\n"
    "an animation an earlier run left in DIR are removed. --fail KEY@ROW puts a\n"
    "failure in force from that row on (default: from the first).\n";

const char* check_help =
    "usage: panelhost check MODULE\n"
    "\n"
    "Loads MODULE and checks every record before reading it: pointers inside the\n"
    "module image, lists ended within bounds, no child cycles, sane counts, every\n"
    "bitmap present and readable (a moving image's mask at bitmap + 1 too), needle\n"
    "pivots inside their bitmaps, calibration tables in one clockwise turn. Lists the\n"
    "gauges found; exit status 2 if anything is wrong.\n";

const char* mouse_help =
    "usage: panelhost mouse MODULE GAUGE X Y\n"
    "\n"
    "Prints the innermost mouse area of GAUGE under face pixel X, Y (nested areas\n"
    "are placed relative to their parent's box), with its cursor, help identifier,\n"
    "mouse flags and key event, and the parent areas around it.\n";

const char* bench_help =
    "usage: panelhost bench MODULE [--iterations N]\n"
    "\n"
    "Prints nanoseconds per conversion-routine call for every routine of every\n"
    "gauge, and milliseconds per full update and draw of all gauges.\n";

struct Options {
    std::vector<std::string> positional;
    std::vector<std::string> sets;
    std::vector<std::string> fails;
    std::string out, csv;
    int ticks = 1;
    int iterations = 0;
    double fps = 18;
    bool help = false;
};

// Options as " --a --b ", so a whole option is found by " " + name + " ".
const char* const every_option = " --help -h --timeout --set --fail -o --output --csv --ticks --iterations --fps ";

std::string options_of(const std::string& command) {
    std::string takes = " --help -h --timeout ";
    if (command == "render") takes += "--set --fail -o --output --ticks ";
    if (command == "sheet") takes += "--set -o --output ";
    if (command == "play") takes += "--csv -o --output --fail --fps ";
    if (command == "bench") takes += "--iterations ";
    return takes;
}

bool parse(int argc, char** argv, Options& o, std::string& error) {
    const std::string takes = options_of(argv[1]);
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        bool option = a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]));
        if (option && takes.find(" " + a + " ") == std::string::npos) {
            bool known = std::string(every_option).find(" " + a + " ") != std::string::npos;
            error = known ? format("%s is not an option of %s (see panelhost %s --help)", a.c_str(), argv[1], argv[1])
                          : "unknown option " + a;
            return false;
        }
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--set") {
            if (!value(v)) return false;
            o.sets.push_back(v);
        } else if (a == "--fail") {
            if (!value(v)) return false;
            o.fails.push_back(v);
        } else if (a == "-o" || a == "--output") {
            if (!value(o.out)) return false;
        } else if (a == "--csv") {
            if (!value(o.csv)) return false;
        } else if (a == "--ticks" || a == "--iterations" || a == "--fps" || a == "--timeout") {
            if (!value(v)) return false;
            char* end = nullptr;
            double n = std::strtod(v.c_str(), &end);
            bool whole = a == "--ticks" || a == "--iterations";
            if (end == v.c_str() || *end || !(n > 0) || n > 1e7 || (whole && n != std::floor(n))) {
                error = a + (whole ? " takes a whole number from 1 to 10000000" : " takes a positive number") +
                        ", not \"" + v + "\"";
                return false;
            }
            if (a == "--ticks") o.ticks = int(n);
            if (a == "--iterations") o.iterations = int(n);
            if (a == "--fps") o.fps = n;
            if (a == "--timeout") set_module_call_timeout(n);
        } else {
            o.positional.push_back(a);
        }
    }
    return true;
}

// The command's usage after what was wrong with its arguments; --help gives
// the usage alone.
int usage(const char* command, const Options& o, const char* help, const std::string& wrong) {
    if (o.help) {
        std::fputs(help, stdout);
        return ok;
    }
    std::fprintf(stderr, "panelhost %s: %s\n\n%s", command, wrong.c_str(), help);
    return usage_error;
}

// "needs MODULE and GAUGE; got 1 argument ("Corvalenx.gau")"
std::string wrong_count(const Options& o, const char* wanted) {
    std::string got;
    for (const std::string& p : o.positional) got += (got.empty() ? "\"" : ", \"") + p + "\"";
    size_t n = o.positional.size();
    return format("needs %s; got %zu argument%s%s%s%s", wanted, n, n == 1 ? "" : "s", n ? " (" : "", got.c_str(),
                  n ? ")" : "");
}

void print_findings(const Report& report) {
    for (const Finding& f : report.findings) {
        const char* level = f.level == Finding::Error ? "error: " : f.level == Finding::Warning ? "warning: " : "";
        std::fprintf(f.level == Finding::Note ? stdout : stderr, "%s%s\n", level, f.text.c_str());
    }
}

void print_warnings(Host& host) {
    for (const std::string& w : host.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
    host.warnings.clear();
}

std::unique_ptr<Host> open_module(const std::string& path) {
    Report report;
    std::unique_ptr<Host> host = Host::open(path, report);
    print_findings(report);
    if (!host) std::fprintf(stderr, "%s: not usable (%zu error(s))\n", path.c_str(), report.count(Finding::Error));
    return host;
}

const GaugeModel* find_gauge(Host& host, const std::string& name) {
    if (const GaugeModel* g = host.gauge(name)) return g;
    std::fprintf(stderr, "no gauge named \"%s\" in %s; it has:", name.c_str(), host.module().path().c_str());
    for (const GaugeModel& g : host.gauges()) std::fprintf(stderr, " \"%s\"", g.name.c_str());
    std::fprintf(stderr, "\n");
    return nullptr;
}

struct FailureAt {
    uint32_t key;
    int from_tick;
};

// KEY, or KEY@ROW where rows are counted (play).
bool parse_failures(const std::vector<std::string>& fails, std::vector<FailureAt>& out, bool rows) {
    for (const std::string& f : fails) {
        size_t at = f.find('@');
        uint32_t key = 0, row = 1;
        bool good = parse_key(f.substr(0, at), 0, key) &&
                    (at == std::string::npos || (rows && parse_key(f.substr(at + 1), 10, row) && row <= 10000000));
        if (!good) {
            std::fprintf(stderr, "--fail takes a failure key%s, not \"%s\"\n", rows ? " and an optional @ROW" : "",
                         f.c_str());
            return false;
        }
        out.push_back({key, int(row)});
    }
    return true;
}

// A variable or failure the run was given but the gauge never used is
// most likely a mistyped token or key: say so rather than draw as if unset.
void warn_unused(Host& host, const GaugeModel& gauge, const std::vector<uint32_t>& tokens, const char* what,
                 const std::vector<FailureAt>& failures) {
    const std::set<uint32_t>& read = host.tokens_read[&gauge];
    for (uint32_t token : tokens)
        if (!read.count(token))
            std::fprintf(stderr, "warning: %s: \"%s\" never read variable %u\n", what, gauge.name.c_str(),
                         unsigned(token));
    for (const FailureAt& f : failures) {
        bool listed = false;
        for (const ElementModel& e : gauge.elements)
            for (const FAILURE_RECORD& r : e.failures) listed |= r.key == f.key;
        if (!listed)
            std::fprintf(stderr, "warning: --fail %u: no element of \"%s\" lists that failure key\n", unsigned(f.key),
                         gauge.name.c_str());
    }
}

std::vector<uint32_t> tokens_of(const std::vector<std::string>& sets) {
    std::vector<uint32_t> tokens;
    for (const std::string& s : sets) {
        uint32_t token = 0;
        if (parse_key(s.substr(0, s.find('=')), 10, token)) tokens.push_back(token);
    }
    return tokens;
}

bool apply_sets(Host& host, const std::vector<std::string>& sets) {
    for (const std::string& s : sets) {
        std::string error;
        if (!host.variables.set(s, error)) {
            std::fprintf(stderr, "--set: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

bool save(const Image& image, const std::string& path) {
    std::string error;
    if (write_png(image, path, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

// ---------------------------------------------------------------------------

int check(const Options& o) {
    if (o.help || o.positional.size() != 1) return usage("check", o, check_help, wrong_count(o, "MODULE"));
    Report report;
    std::unique_ptr<Host> host = Host::open(o.positional[0], report);
    print_findings(report);
    if (!host) {
        std::printf("%s: FAILED, %zu error(s), %zu warning(s)\n", o.positional[0].c_str(),
                    report.count(Finding::Error), report.count(Finding::Warning));
        return module_error;
    }
    size_t elements = 0;
    for (const GaugeModel& g : host->gauges()) {
        int needles = 0, calibrated = 0, moving = 0, icons = 0, clickable = 0;
        for (const ElementModel& e : g.elements) {
            needles += e.kind == ELEMENT_TYPE_NEEDLE;
            calibrated += !e.calibration.empty();
            moving += e.kind == ELEMENT_TYPE_MOVING_IMAGE;
            icons += e.kind == ELEMENT_TYPE_ICON;
        }
        for (const MouseArea& a : g.mouse_areas) clickable += a.record->event_id != 0;
        elements += g.elements.size();
        std::printf("%d \"%s\": face %d x %d, %zu elements (%d needles, %d calibrated; %d moving images; "
                    "%d icons), %zu mouse areas (%d send key events)\n",
                    g.table_index, g.name.c_str(), g.width, g.height, g.elements.size(), needles, calibrated,
                    moving, icons, g.mouse_areas.size(), clickable);
    }
    std::printf("%s: OK, %zu gauges, %zu elements, %zu warning(s)\n", o.positional[0].c_str(),
                host->gauges().size(), elements, report.count(Finding::Warning));
    return ok;
}

int render(const Options& o) {
    if (o.help || o.positional.size() != 2)
        return usage("render", o, render_help, wrong_count(o, "MODULE and GAUGE"));
    if (o.out.empty()) return usage("render", o, render_help, "needs -o OUT.png");
    std::vector<FailureAt> failures;
    if (!parse_failures(o.fails, failures, false)) return usage_error;
    std::unique_ptr<Host> host = open_module(o.positional[0]);
    if (!host) return module_error;
    const GaugeModel* gauge = find_gauge(*host, o.positional[1]);
    if (!gauge || !apply_sets(*host, o.sets)) return usage_error;
    for (const FailureAt& f : failures) host->failed_keys.insert(f.key);
    host->install(*gauge);
    for (int t = 0; t < o.ticks; ++t) host->update(*gauge);
    Image image = host->draw(*gauge);
    print_warnings(*host);
    warn_unused(*host, *gauge, tokens_of(o.sets), "--set", failures);
    if (!save(image, o.out)) return usage_error;
    std::printf("%s: \"%s\" %d x %d\n", o.out.c_str(), gauge->name.c_str(), image.width, image.height);
    return ok;
}

std::string reading_text(const Host& host, uint32_t token) {
    const VariableInfo* info = variable_info(token);
    std::string value = host.variables.describe(token);
    value = value.substr(value.find('=') + 1);
    if (!info) return format("variable %u: %s", unsigned(token), value.c_str());
    return format("%s %s %s", info->name, value.c_str(), info->unit);
}

int sheet(const Options& o) {
    if (o.help || o.positional.size() != 1) return usage("sheet", o, sheet_help, wrong_count(o, "MODULE"));
    std::string out = o.out.empty() ? "preview-sheet.png" : o.out;
    std::unique_ptr<Host> host = open_module(o.positional[0]);
    if (!host) return module_error;
    if (host->gauges().empty()) {
        std::fprintf(stderr, "%s has no gauges to draw\n", o.positional[0].c_str());
        return module_error;
    }
    constexpr int readings = 3, margin = 16, title_scale = 2, line = 12;
    int cell_width = 0, face_height = 0;
    for (const GaugeModel& g : host->gauges()) {
        cell_width = std::max(cell_width, g.width);
        face_height = std::max(face_height, g.height);
    }
    cell_width = std::max(cell_width, 220);
    const int label_height = line * title_scale + 4 * line + 8;
    const int row_height = label_height + face_height + margin;
    Image page(margin + readings * (cell_width + margin), margin + int(host->gauges().size()) * row_height,
               opaque(54, 58, 64));
    const Rgba title_colour = opaque(250, 246, 232), text_colour = opaque(200, 204, 210);
    int row = 0;
    for (const GaugeModel& g : host->gauges()) {
        for (int r = 0; r < readings; ++r) {
            // Known variables at this reading's preview values, then --set.
            for (const VariableInfo& v : known_variables()) {
                if (v.bcd) host->variables.set_word(v.token, uint32_t(v.preview[r]));
                else host->variables.set_number(v.token, v.preview[r]);
            }
            if (!apply_sets(*host, o.sets)) return usage_error;
            host->install(g);
            host->update(g);
            Image face = host->draw(g);
            host->kill(g);
            int x = margin + r * (cell_width + margin), y = margin + row * row_height;
            draw_text(page, x, y, g.name, title_colour, title_scale);
            int ly = y + line * title_scale + 2;
            for (uint32_t token : host->tokens_read[&g]) {
                if (ly > y + label_height - line) break;
                draw_text(page, x, ly, reading_text(*host, token), text_colour);
                ly += line;
            }
            blit(page, face, x + (cell_width - face.width) / 2, y + label_height);
        }
        ++row;
    }
    print_warnings(*host);
    if (!save(page, out)) return usage_error;
    std::printf("%s: %zu gauges at %d readings, %d x %d\n", out.c_str(), host->gauges().size(), readings,
                page.width, page.height);
    return ok;
}

std::vector<std::string> split_csv_line(const std::string& text) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(text);
    while (std::getline(in, cell, ',')) {
        cell.erase(0, cell.find_first_not_of(" \t\r"));
        cell.erase(cell.find_last_not_of(" \t\r") + 1);
        // A spreadsheet may quote a cell: "61".
        if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
        cells.push_back(cell);
    }
    if (!text.empty() && text.back() == ',') cells.push_back("");
    return cells;
}

// Runs a Windows program found on the PATH; false when there is none.
bool run_tool(const char* exe, const std::string& arguments) {
    char found[MAX_PATH];
    if (!SearchPathA(nullptr, exe, nullptr, MAX_PATH, found, nullptr)) return false;
    std::string command = std::string("\"") + found + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code == 0;
}

int play(const Options& o) {
    if (o.help || o.positional.size() != 2) return usage("play", o, play_help, wrong_count(o, "MODULE and GAUGE"));
    if (o.csv.empty() || o.out.empty())
        return usage("play", o, play_help, o.csv.empty() ? "needs --csv FILE" : "needs -o DIR");
    std::vector<FailureAt> failures;
    if (!parse_failures(o.fails, failures, true)) return usage_error;
    std::ifstream in(o.csv);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", o.csv.c_str());
        return usage_error;
    }
    std::vector<uint32_t> tokens;
    std::vector<std::vector<std::string>> rows;
    std::string text;
    int line_number = 0;
    while (std::getline(in, text)) {
        ++line_number;
        // Spreadsheets often begin a UTF-8 file with a byte-order mark.
        if (line_number == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
        if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::vector<std::string> cells = split_csv_line(text);
        if (tokens.empty()) {
            for (size_t i = 0; i < cells.size(); ++i) {
                uint32_t token = 0;
                if (!parse_key(cells[i], 10, token)) {
                    std::fprintf(stderr, "%s:%d: the header row holds variable tokens (61,390,...), not \"%s\"\n",
                                 o.csv.c_str(), line_number, cells[i].c_str());
                    return usage_error;
                }
                if (std::find(tokens.begin(), tokens.end(), token) != tokens.end()) {
                    std::fprintf(stderr, "%s:%d: token %u heads two columns (%zu and %zu)\n", o.csv.c_str(),
                                 line_number, unsigned(token),
                                 size_t(std::find(tokens.begin(), tokens.end(), token) - tokens.begin()) + 1, i + 1);
                    return usage_error;
                }
                tokens.push_back(token);
            }
            continue;
        }
        if (cells.size() > tokens.size()) {
            std::fprintf(stderr, "%s:%d: %zu cells for %zu tokens\n", o.csv.c_str(), line_number, cells.size(),
                         tokens.size());
            return usage_error;
        }
        cells.resize(tokens.size());
        for (size_t i = 0; i < cells.size(); ++i) {
            std::string error;
            Variables check;
            if (!cells[i].empty() && !check.set_text(tokens[i], cells[i], error)) {
                std::fprintf(stderr, "%s:%d: %s\n", o.csv.c_str(), line_number, error.c_str());
                return usage_error;
            }
        }
        rows.push_back(std::move(cells));
    }
    if (rows.empty()) {
        std::fprintf(stderr, "%s: %s\n", o.csv.c_str(), tokens.empty() ? "empty: no header row of tokens" : "no rows after the header");
        return usage_error;
    }
    for (const FailureAt& f : failures) {
        if (size_t(f.from_tick) > rows.size()) {
            std::fprintf(stderr, "--fail %u@%d: %s has only %zu rows\n", unsigned(f.key), f.from_tick, o.csv.c_str(),
                         rows.size());
            return usage_error;
        }
    }
    std::unique_ptr<Host> host = open_module(o.positional[0]);
    if (!host) return module_error;
    const GaugeModel* gauge = find_gauge(*host, o.positional[1]);
    if (!gauge) return usage_error;
    if (!CreateDirectoryA(o.out.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "%s: cannot make the directory: %s\n", o.out.c_str(), windows_error(GetLastError()).c_str());
        return usage_error;
    }
    DWORD attributes = GetFileAttributesA(o.out.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "%s: not a directory\n", o.out.c_str());
        return usage_error;
    }
    // What an earlier, longer run left would pass for this run's: frames
    // after this run's last, and an animation made from them.
    std::string gif = o.out + "/animation.gif";
    size_t stale = 0;
    while (DeleteFileA(format("%s/frame_%05zu.png", o.out.c_str(), rows.size() + stale + 1).c_str())) ++stale;
    bool stale_gif = DeleteFileA(gif.c_str());
    if (stale || stale_gif)
        std::printf("%s: removed %zu frame(s)%s of an earlier run\n", o.out.c_str(), stale,
                    stale_gif ? " and the animation" : "");
    host->install(*gauge);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t i = 0; i < tokens.size(); ++i) {
            std::string error;
            if (!rows[r][i].empty()) host->variables.set_text(tokens[i], rows[r][i], error);
        }
        for (const FailureAt& f : failures)
            if (int(r) + 1 >= f.from_tick) host->failed_keys.insert(f.key);
        host->update(*gauge);
        std::string frame = format("%s/frame_%05zu.png", o.out.c_str(), r + 1);
        if (!save(host->draw(*gauge), frame)) return usage_error;
    }
    print_warnings(*host);
    warn_unused(*host, *gauge, tokens, o.csv.c_str(), failures);
    std::printf("%s: %zu frames of \"%s\"\n", o.out.c_str(), rows.size(), gauge->name.c_str());
    std::string pattern = o.out + "/frame_%05d.png";
    if (run_tool("ffmpeg.exe", format("-loglevel error -y -framerate %g -i \"%s\" \"%s\"", o.fps, pattern.c_str(),
                                      gif.c_str())) ||
        run_tool("magick.exe", format("-delay %d -dispose background \"%s/frame_*.png\" \"%s\"",
                                      int(std::lround(100 / o.fps)), o.out.c_str(), gif.c_str()))) {
        std::printf("%s\n", gif.c_str());
    } else {
        std::printf("no Windows ffmpeg or ImageMagick on the PATH: frames only\n");
    }
    return ok;
}

const char* cursor_name(int32_t cursor) {
    switch (cursor) {
        case CURSOR_NONE: return "none";
        case CURSOR_UPARROW: return "up arrow";
        case CURSOR_DOWNARROW: return "down arrow";
        default: return "host cursor";
    }
}

int mouse(const Options& o) {
    if (o.help || o.positional.size() != 4) return usage("mouse", o, mouse_help, wrong_count(o, "MODULE, GAUGE, X and Y"));
    long coordinates[2];
    for (int i = 0; i < 2; ++i) {
        const std::string& text = o.positional[2 + i];
        char* end = nullptr;
        errno = 0;
        coordinates[i] = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || errno || std::labs(coordinates[i]) > 1000000) {
            std::fprintf(stderr, "panelhost mouse: %s is \"%s\"; X and Y are whole pixels on the face\n",
                         i ? "Y" : "X", text.c_str());
            return usage_error;
        }
    }
    long x = coordinates[0], y = coordinates[1];
    std::unique_ptr<Host> host = open_module(o.positional[0]);
    if (!host) return module_error;
    const GaugeModel* gauge = find_gauge(*host, o.positional[1]);
    if (!gauge) return usage_error;
    MouseHit hit = host->mouse(*gauge, int(x), int(y));
    if (!hit.area) {
        std::printf("\"%s\" at %ld, %ld: no mouse area\n", gauge->name.c_str(), x, y);
        return ok;
    }
    const MOUSERECT& r = *hit.area->record;
    std::printf("\"%s\" at %ld, %ld: mouse area %d (%s), box %d, %d, %d x %d on the face\n", gauge->name.c_str(),
                x, y, hit.area->index, r.rect_type == MOUSE_RECT_PARENT ? "parent" : "child", hit.area->x,
                hit.area->y, hit.area->width, hit.area->height);
    std::printf("  cursor:          %d (%s)\n", int(r.cursor), cursor_name(r.cursor));
    std::printf("  help identifier: 0x%04X%s\n", unsigned(r.help_id), r.help_id ? "" : " (none)");
    std::printf("  mouse flags:     0x%08X\n", unsigned(r.mouse_flags));
    std::printf("  key event:       0x%05X%s\n", unsigned(r.event_id), r.event_id ? "" : " (none)");
    for (const MouseArea* p : hit.enclosing)
        std::printf("  inside area %d (parent, box %d, %d, %d x %d, help identifier 0x%04X)\n", p->index, p->x,
                    p->y, p->width, p->height, unsigned(p->record->help_id));
    return ok;
}

double seconds_now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

int bench(const Options& o) {
    if (o.help || o.positional.size() != 1) return usage("bench", o, bench_help, wrong_count(o, "MODULE"));
    std::unique_ptr<Host> host = open_module(o.positional[0]);
    if (!host) return module_error;
    // Every known variable at its middle preview reading.
    for (const VariableInfo& v : known_variables()) {
        if (v.bcd) host->variables.set_word(v.token, uint32_t(v.preview[1]));
        else host->variables.set_number(v.token, v.preview[1]);
    }
    for (const GaugeModel& g : host->gauges()) {
        host->install(g);
        host->update(g);
    }
    const int calls = o.iterations ? o.iterations : 100000;
    std::printf("conversion routines, %d calls each: ns per call, direct and through the host's guarded call\n",
                calls);
    for (const GaugeModel& g : host->gauges()) {
        for (size_t i = 0; i < g.elements.size(); ++i) {
            const ElementModel& e = g.elements[i];
            const void* routine_address = Host::conversion_routine(e);
            if (!routine_address) continue;
            auto* record = e.record;
            auto routine = (double(__stdcall*)(void*))routine_address;
            // Best of five runs: other work on the machine only ever adds time.
            double direct = 1e30, checked = 1e30;
            volatile double sink = 0;
            for (int run = 0; run < 5; ++run) {
                double start = seconds_now();
                for (int c = 0; c < calls; ++c) sink = sink + routine(record);  // straight through the pointer
                direct = std::min(direct, (seconds_now() - start) / calls * 1e9);
                start = seconds_now();
                for (int c = 0; c < calls; ++c) sink = sink + host->convert(g, i);
                checked = std::min(checked, (seconds_now() - start) / calls * 1e9);
            }
            std::printf("  %-20s %-58s %7.1f ns %7.1f ns\n", ("\"" + g.name + "\"").c_str(), e.name.c_str(),
                        direct, checked);
        }
    }
    const int rounds = o.iterations ? std::max(1, o.iterations / 1000) : 100;
    double best = 1e30, total = 0;
    for (int r = 0; r < rounds; ++r) {
        double start = seconds_now();
        for (const GaugeModel& g : host->gauges()) {
            host->update(g);
            Image image = host->draw(g);
        }
        double ms = (seconds_now() - start) * 1e3;
        best = std::min(best, ms);
        total += ms;
    }
    std::printf("full update and draw of all %zu gauges: %.2f ms best, %.2f ms mean of %d rounds\n",
                host->gauges().size(), best, total / rounds, rounds);
    print_warnings(*host);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        std::fputs(overview, argc < 2 ? stderr : stdout);
        return argc < 2 ? usage_error : ok;
    }
    const std::pair<const char*, int (*)(const Options&)> commands[] = {
        {"check", check}, {"render", render}, {"sheet", sheet}, {"play", play}, {"mouse", mouse}, {"bench", bench},
    };
    for (auto [name, run] : commands) {
        if (std::strcmp(argv[1], name)) continue;
        Options o;
        std::string error;
        if (!parse(argc, argv, o, error)) {
            std::fprintf(stderr, "panelhost %s: %s\n", name, error.c_str());
            return usage_error;
        }
        return run(o);
    }
    std::fprintf(stderr, "panelhost: no command \"%s\"\n\n%s", argv[1], overview);
    return usage_error;
}
