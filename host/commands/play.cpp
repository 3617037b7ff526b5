// play: a flight from a CSV time series, one frame per row.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/commands/command_support.h"
#include "host/csv_reader.h"
#include "host/png_file.h"

namespace panelhost {

namespace {

// The optional column of times (seconds) a flight recorder writes: checked,
// not used, since each row is one update tick.
constexpr const char* time_column = "time";

struct Flight {
    std::vector<uint32_t> tokens;   // per column; 0 for the time column
    std::vector<CsvRow> rows;       // after the header, each with one cell per column
};

bool is_time_heading(std::string cell) {
    std::transform(cell.begin(), cell.end(), cell.begin(), [](unsigned char c) { return std::tolower(c); });
    return cell == time_column;
}

// Reads and checks the whole file before any frame is drawn; false with the
// file, line and cell named.
bool read_flight(const std::string& path, Flight& flight, Output& out) {
    if (!readable_file(path, "CSV file")) return false;
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<CsvRow> rows;
    CsvError error;
    if (!read_csv(text.str(), rows, error)) {
        std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), error.line, error.text.c_str());
        return false;
    }
    auto fail = [&](int line, const std::string& what) {
        std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), line, what.c_str());
        return false;
    };
    if (rows.empty()) return fail(1, "empty: no header row of tokens");
    const CsvRow& header = rows.front();
    int time_index = -1;
    for (size_t i = 0; i < header.cells.size(); ++i) {
        const std::string& cell = header.cells[i];
        uint32_t token = 0;
        if (is_time_heading(cell) && time_index < 0) {
            time_index = int(i);
        } else if (!parse_key(cell, 10, token)) {
            return fail(header.line, format("the header row holds variable tokens (61,390,...) and optionally a "
                                            "\"%s\" column, not \"%s\"",
                                            time_column, cell.c_str()));
        } else if (auto seen = std::find(flight.tokens.begin(), flight.tokens.end(), token);
                   seen != flight.tokens.end()) {
            return fail(header.line, format("token %u heads two columns (%zu and %zu)", unsigned(token),
                                            size_t(seen - flight.tokens.begin()) + 1, i + 1));
        }
        flight.tokens.push_back(token);
    }
    // A BCD cell that will not read as written: the first of each column
    // is shown, with how many more there are.
    struct ColumnWarning {
        int line = 0;
        std::string text;
        int more = 0;
    };
    std::vector<ColumnWarning> bcd_warnings(flight.tokens.size());
    double last_time = -INFINITY;
    for (size_t r = 1; r < rows.size(); ++r) {
        CsvRow& row = rows[r];
        if (row.cells.size() > flight.tokens.size())
            return fail(row.line, format("%zu cells for %zu columns", row.cells.size(), flight.tokens.size()));
        row.cells.resize(flight.tokens.size());
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const std::string& cell = row.cells[i];
            if (cell.empty()) continue;
            if (int(i) == time_index) {
                char* end = nullptr;
                double t = std::strtod(cell.c_str(), &end);
                if (end == cell.c_str() || *end || !std::isfinite(t))
                    return fail(row.line, format("the %s column takes seconds, not \"%s\"", time_column, cell.c_str()));
                if (t < last_time)
                    return fail(row.line, format("time %s is before the row above's %g", cell.c_str(), last_time));
                last_time = t;
                continue;
            }
            std::string problem, warning;
            Variables scratch;
            if (!scratch.set_text(flight.tokens[i], cell, problem, &warning)) return fail(row.line, problem);
            if (warning.empty()) continue;
            ColumnWarning& w = bcd_warnings[i];
            if (w.text.empty()) w = {row.line, format("variable %u = %s: %s", unsigned(flight.tokens[i]), cell.c_str(), warning.c_str())};
            else ++w.more;
        }
        flight.rows.push_back(std::move(row));
    }
    for (const ColumnWarning& w : bcd_warnings)
        if (!w.text.empty())
            out.warning(format("%s:%d: %s%s", path.c_str(), w.line, w.text.c_str(),
                               w.more ? format(" (and %d more cells of this column)", w.more).c_str() : ""));
    if (flight.rows.empty()) return fail(header.line, "no rows after the header");
    return true;
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

ExitStatus play(const Arguments& a) {
    Output out(Format::text);
    std::vector<FailureAt> failures;
    if (!parse_failures(a.fails, failures, true)) return ExitStatus::bad_input;
    Flight flight;
    if (!read_flight(a.csv, flight, out)) return ExitStatus::bad_input;
    for (const FailureAt& f : failures) {
        if (size_t(f.from_row) > flight.rows.size()) {
            std::fprintf(stderr, "--fail %u@%d: %s has only %zu rows\n", unsigned(f.key), f.from_row, a.csv.c_str(),
                         flight.rows.size());
            return ExitStatus::bad_input;
        }
    }
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    Host& host = *opened.host;
    const GaugeModel* gauge = find_gauge(host, a.operands[1]);
    if (!gauge || !make_folders(a.output)) return ExitStatus::bad_input;
    // What an earlier, longer run left would pass for this run's: frames
    // after this run's last, and an animation made from them.
    const std::string& dir = a.output;
    const size_t frames = flight.rows.size();
    std::string gif = dir + "/animation.gif";
    size_t stale = 0;
    while (DeleteFileA(format("%s/frame_%05zu.png", dir.c_str(), frames + stale + 1).c_str())) ++stale;
    bool stale_gif = DeleteFileA(gif.c_str());
    if (stale || stale_gif)
        std::printf("%s: removed %zu frame(s)%s of an earlier run\n", dir.c_str(), stale,
                    stale_gif ? " and the animation" : "");
    host.install(*gauge);
    PngFrameWriter frame_files;
    Image canvas;
    std::string write_error;
    for (size_t r = 0; r < frames; ++r) {
        const std::vector<std::string>& cells = flight.rows[r].cells;
        for (size_t i = 0; i < cells.size(); ++i) {
            std::string checked_above;
            if (flight.tokens[i] && !cells[i].empty()) host.variables.set_text(flight.tokens[i], cells[i], checked_above);
        }
        const int row = int(r) + 1;
        for (const FailureAt& f : failures)
            if (row >= f.from_row) host.failed_keys.insert(f.key);
        host.update(*gauge);
        host.draw(*gauge, canvas);
        if (!frame_files.write(canvas, format("%s/frame_%05zu.png", dir.c_str(), r + 1), write_error)) break;
    }
    if (!frame_files.finish(write_error)) {
        std::fprintf(stderr, "%s\n", write_error.c_str());
        return ExitStatus::bad_input;
    }
    print_host_warnings(host, out);
    std::set<uint32_t> given(flight.tokens.begin(), flight.tokens.end());
    given.erase(0);
    warn_unused(out, host, *gauge, given, a.csv, failures);
    warn_unset(out, host, *gauge, given);
    std::printf("%s: %zu frames of \"%s\"\n", dir.c_str(), frames, gauge->name.c_str());
    std::string pattern = dir + "/frame_%05d.png";
    if (run_tool("ffmpeg.exe", format("-loglevel error -y -framerate %g -i \"%s\" \"%s\"", a.fps, pattern.c_str(),
                                      gif.c_str())) ||
        run_tool("magick.exe", format("-delay %d -dispose background \"%s/frame_*.png\" \"%s\"",
                                      int(std::lround(100 / a.fps)), dir.c_str(), gif.c_str()))) {
        std::printf("%s\n", gif.c_str());
    } else {
        std::printf("no Windows ffmpeg or ImageMagick on the PATH: frames only\n");
    }
    return ExitStatus::ok;
}

}  // namespace

extern const Command play_command = {
    .name = "play",
    .operands = {"MODULE", "GAUGE"},
    .summary = "one PNG frame per CSV row (and an animation)",
    .description =
        "FILE is CSV as a spreadsheet saves it: a header row of variable tokens (61,390,16), then one row per "
        "update tick; an empty cell keeps the variable's value, a BCD cell is a frequency (345) or a word (0x0345). "
        "Quoted cells, CRLF line ends and a byte-order mark are read; lines starting with # are comments. A column "
        "headed \"time\" holds each row's time in seconds, for the reader: it must not go back, and each row is "
        "still one tick. Writes DIR/frame_00001.png... (DIR and any missing folders above it are made) and, when "
        "ffmpeg or ImageMagick is on the PATH, DIR/animation.gif; frames past the last and an animation an "
        "earlier run left in DIR are removed.",
    .options = {{OptionId::csv, nullptr, nullptr, true},
                {OptionId::output, "DIR", "the folder for the frames", true},
                {OptionId::fail, "KEY[@ROW]", "failure KEY in force from CSV row ROW on (default: the first row)"},
                {OptionId::fps}},
    .lists_variables = true,
    .run = play,
};

}  // namespace panelhost
