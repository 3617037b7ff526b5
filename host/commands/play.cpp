// play: a flight from a CSV time series, one frame per row, of one gauge or
// of a whole panel window, into a video or a folder of PNG frames.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "host/commands/run_support.h"
#include "host/commands/layout_window.h"
#include "host/csv_reader.h"
#include "host/flight_csv.h"
#include "host/png_file.h"
#include "host/video_encoder.h"

namespace panelhost {

namespace {

struct Flight {
    std::vector<uint32_t> tokens;   // per column; 0 for the time column
    std::vector<CsvRow> rows;       // after the header, each with one cell per column
};

// Reads and checks the whole file before any frame is drawn; false with the
// file, line and column named.
bool read_flight(const std::string& path, Flight& flight, Output& out) {
    if (!readable_file(path, "CSV file")) return false;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > std::streamoff(max_flight_file_bytes)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(),
                     size < 0 ? "cannot read the CSV file"
                              : format("too large: more than %zu MB", max_flight_file_bytes >> 20).c_str());
        return false;
    }
    std::string text(size_t(size), '\0');
    in.seekg(0);
    if (!in.read(text.data(), size)) {
        std::fprintf(stderr, "%s: cannot read the CSV file: a read error\n", path.c_str());
        return false;
    }
    std::vector<CsvRow> rows;
    CsvError error;
    auto fail = [&](int line, size_t column, const std::string& what) {
        std::fprintf(stderr, "%s\n", flight_message(path, {line, int(column), what}).c_str());
        return false;
    };
    if (!read_csv(text, rows, error)) return fail(error.line, size_t(error.column), error.text);
    if (rows.empty()) return fail(1, 0, "empty: no header row of tokens");
    const CsvRow& header = rows.front();
    FlightColumns columns;
    if (!read_flight_header(header, columns, error)) return fail(error.line, size_t(error.column), error.text);
    flight.tokens = columns.tokens;
    const int time_index = columns.time_index;
    // A BCD cell that will not read as written: the first of each column
    // is shown, with how many more there are.
    struct ColumnWarning {
        std::string text;  // the whole line, file and place first
        int more = 0;
    };
    std::vector<ColumnWarning> bcd_warnings(flight.tokens.size());
    double last_time = -INFINITY;
    for (size_t r = 1; r < rows.size(); ++r) {
        CsvRow& row = rows[r];
        if (row.cells.size() > flight.tokens.size())
            return fail(row.line, flight.tokens.size() + 1,
                        format("%zu cells for %zu columns", row.cells.size(), flight.tokens.size()));
        row.cells.resize(flight.tokens.size());
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const std::string& cell = row.cells[i];
            if (cell.empty()) continue;
            std::string problem, warning;
            if (int(i) == time_index) {
                if (!read_time_cell(cell, last_time, last_time, problem)) return fail(row.line, i + 1, problem);
                continue;
            }
            Variables scratch;
            if (!scratch.set_text(flight.tokens[i], cell, problem, &warning)) return fail(row.line, i + 1, problem);
            if (warning.empty()) continue;
            ColumnWarning& w = bcd_warnings[i];
            if (w.text.empty())
                w.text = flight_message(path, {row.line, int(i) + 1,
                                               format("variable %u = %s: %s", unsigned(flight.tokens[i]),
                                                      escaped_excerpt(cell).c_str(), warning.c_str())});
            else ++w.more;
        }
        flight.rows.push_back(std::move(row));
    }
    for (const ColumnWarning& w : bcd_warnings)
        if (!w.text.empty())
            out.warning(w.text + (w.more ? format(" (and %d more cells of this column)", w.more) : std::string()));
    if (flight.rows.empty()) return fail(header.line, 0, "no rows after the header");
    return true;
}

// Names that ask for a picture or video file play does not write, which
// would otherwise be taken for a folder of PNG frames.
bool names_another_media_file(const std::string& path) {
    static const char* const extensions[] = {"png", "apng", "jpg", "jpeg", "webp", "avi", "mov",
                                             "mkv", "mpg", "mpeg", "m4v", "ogv", "wmv", "flv"};
    const std::string extension = file_extension(path);
    for (const char* e : extensions)
        if (extension == e) return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    return false;
}

// What a run draws: one gauge, or every gauge of a layout's window.
struct Replayed {
    std::string name;          // for messages
    int width = 0, height = 0;  // of each frame
    std::vector<Host*> hosts;  // whose variables and failures the flight sets
    std::function<void()> update;  // one tick of every gauge
    std::function<const Image&()> draw;
};

// PNG frames into a folder, or a video; both checked before any drawing.
class FrameOutput {
public:
    // False, with the reason printed, when `path` cannot take the frames.
    bool check(const std::string& path) {
        path_ = path;
        video_ = video_format_of(path);
        if (video_) return output_file_possible(path);
        if (!names_another_media_file(path)) return true;
        std::fprintf(stderr,
                     "-o %s: play writes a .mp4, .webm or .gif video, or PNG frames into a folder (end its name "
                     "with / to have this folder)\n",
                     path.c_str());
        return false;
    }

    // Makes the frames' folder, or starts the video; false with the reason printed.
    ExitStatus start(const Replayed& replayed, size_t frames, double fps, Output& out) {
        frames_ = frames;
        if (video_) {
            plan_ = plan_video(*video_, replayed.width, replayed.height, fps);
            for (const std::string& note : plan_.notes) out.warning(path_ + ": " + note);
            std::string error;
            encoder_ = VideoEncoder::start(path_, plan_, error);
            if (encoder_) return ExitStatus::ok;
            std::fprintf(stderr, "cannot make %s: %s\n", path_.c_str(), error.c_str());
            return ExitStatus::encoder_failed;
        }
        if (!make_folders(path_)) return ExitStatus::bad_input;
        // What an earlier, longer run left would pass for this run's frames.
        size_t stale = 0;
        while (DeleteFileA(frame_path(frames + stale + 1).c_str())) ++stale;
        if (stale) std::printf("%s: removed %zu frame(s) of an earlier run\n", path_.c_str(), stale);
        frame_files_ = std::make_unique<PngFrameWriter>();
        return ExitStatus::ok;
    }

    // Frame `row` (from 1); false when it could not be written.
    bool write(const Image& frame, size_t row) {
        if (encoder_) return encoder_->write(frame);
        return frame_files_->write(frame, frame_path(row), frame_error_);
    }

    ExitStatus finish(bool all_written, const Replayed& replayed) {
        if (encoder_) {
            std::string error;
            if (!encoder_->finish(error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return ExitStatus::encoder_failed;
            }
            std::printf("%s: %zu frames of %s, %d x %d at %.4g fps\n", path_.c_str(), frames_, replayed.name.c_str(),
                        plan_.video_width, plan_.video_height, plan_.fps);
            return ExitStatus::ok;
        }
        if (!frame_files_->finish(frame_error_) || !all_written) {
            std::fprintf(stderr, "%s\n", frame_error_.c_str());
            return ExitStatus::bad_input;
        }
        std::printf("%s: %zu frames of %s\n", path_.c_str(), frames_, replayed.name.c_str());
        return ExitStatus::ok;
    }

private:
    std::string frame_path(size_t row) const { return format("%s/frame_%05zu.png", path_.c_str(), row); }

    std::string path_;
    std::optional<VideoFormat> video_;
    VideoPlan plan_;
    std::unique_ptr<VideoEncoder> encoder_;
    std::unique_ptr<PngFrameWriter> frame_files_;
    std::string frame_error_;
    size_t frames_ = 0;
};

ExitStatus play(const Arguments& a) {
    Output out(Format::text);
    const bool whole_panel = !a.layout.empty();
    if (!whole_panel && (!a.window.empty() || !a.gauge_folders.empty())) {
        std::fprintf(stderr, "%s goes with --layout LAYOUT\n", a.window.empty() ? "--gauges" : "--window");
        return ExitStatus::bad_input;
    }
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
    FrameOutput output;
    if (!output.check(a.output)) return ExitStatus::bad_input;

    std::set<uint32_t> given(flight.tokens.begin(), flight.tokens.end());
    given.erase(0);
    Replayed replayed;
    Image canvas;
    // One of the two is used.
    OpenedModule module;
    const GaugeModel* gauge = nullptr;
    OpenedLayout layout;
    if (whole_panel) {
        layout = open_layout(a.layout, a.window, a.gauge_folders, out);
        if (!layout.drawn) return layout.status;
        PanelWindow& window = *layout.drawn;
        replayed.name = format("[%s] \"%s\"", layout.window->section.c_str(), layout.window->title.c_str());
        replayed.width = layout.window->width;
        replayed.height = layout.window->height;
        replayed.hosts = layout.hosts();
        window.install();
        replayed.update = [&window] { window.update(); };
        replayed.draw = [&window, &canvas]() -> const Image& {
            window.draw(canvas);
            return canvas;
        };
    } else {
        module = open_module(a.operands[0], out);
        if (!module.host) return module.status;
        Host& host = *module.host;
        gauge = find_gauge(host, a.operands[1]);
        if (!gauge) return ExitStatus::bad_input;
        replayed.name = "\"" + gauge->name + "\"";
        replayed.width = gauge->width;
        replayed.height = gauge->height;
        replayed.hosts = {&host};
        host.install(*gauge);
        replayed.update = [&host, gauge] { host.update(*gauge); };
        replayed.draw = [&host, gauge, &canvas]() -> const Image& {
            host.draw(*gauge, canvas);
            return canvas;
        };
    }
    const size_t frames = flight.rows.size();
    if (ExitStatus started = output.start(replayed, frames, a.fps, out); started != ExitStatus::ok) return started;

    bool all_written = true;
    for (size_t r = 0; r < frames && all_written; ++r) {
        const std::vector<std::string>& cells = flight.rows[r].cells;
        const int row = int(r) + 1;
        for (Host* host : replayed.hosts) {
            for (size_t i = 0; i < cells.size(); ++i) {
                std::string checked_above;
                if (flight.tokens[i] && !cells[i].empty()) host->variables.set_text(flight.tokens[i], cells[i], checked_above);
            }
            for (const FailureAt& f : failures)
                if (row >= f.from_row) host->failed_keys.insert(f.key);
        }
        replayed.update();
        all_written = output.write(replayed.draw(), r + 1);
    }
    ExitStatus finished = output.finish(all_written, replayed);
    if (finished != ExitStatus::ok) return finished;

    for (Host* host : replayed.hosts) print_host_warnings(*host, out);
    if (whole_panel) {
        const std::set<uint32_t> read = layout.drawn->tokens_read();
        const std::string& section = layout.window->section;
        std::string unread;
        for (uint32_t token : given)
            if (!read.count(token)) unread += format("%s%u", unread.empty() ? "" : ", ", unsigned(token));
        if (!unread.empty())
            out.warning(format("%s: no gauge of [%s] read variable%s %s", a.csv.c_str(), section.c_str(),
                               unread.find(',') == std::string::npos ? "" : "s", unread.c_str()));
        for (const FailureAt& f : failures)
            if (!layout.drawn->lists_failure(f.key))
                out.warning(format("--fail %u: no gauge of [%s] lists that failure key", unsigned(f.key), section.c_str()));
        warn_unset(out, "[" + section + "]", read, given);
    } else {
        warn_unused(out, *module.host, *gauge, given, a.csv, failures);
        warn_unset(out, *module.host, *gauge, given);
    }
    return ExitStatus::ok;
}

}  // namespace

extern const Command play_command = {
    .name = "play",
    .operands = {"MODULE", "GAUGE"},
    .summary = "a flight from a CSV file: a video or PNG frames",
    .description =
        "Plays a flight: one gauge, or with --layout every gauge of a panel layout's window, each at its place "
        "and size (see panel). FILE is CSV as a spreadsheet saves it: a header row of variable tokens "
        "(61,390,16), then one row per update tick; an empty cell keeps the variable's value, a BCD cell is a "
        "frequency (345) or a word (0x0345). Quoted cells, CRLF line ends and a byte-order mark are read; lines "
        "starting with # are comments. A column headed \"time\" holds each row's time in seconds, for the reader: "
        "it must not go back, and each row is still one tick. Refused: rows over 64 KiB, cells over 1 KiB, more "
        "than 1024 columns, control bytes, UTF-16 and numbers a double cannot hold. OUT ending in .mp4, .webm or "
        ".gif is a video, made by ffmpeg (ffmpeg.exe on the PATH; under Wine, else the machine's own) from the "
        "frames as they are drawn, see-through parts black; it is written only whole: on any failure no file is "
        "left. Any other OUT is a folder (made with any missing above it) for OUT/frame_00001.png...; frames "
        "past the last that an earlier run left there are removed.",
    .options = {{OptionId::csv, nullptr, nullptr, true},
                {OptionId::output, "OUT", "the video (.mp4, .webm, .gif) or the folder for PNG frames", true},
                {OptionId::layout},
                {OptionId::fail, "KEY[@ROW]", "failure KEY in force from CSV row ROW on (default: the first row)"},
                {OptionId::fps, nullptr, "frames a second of the video (default 18, the simulator's rate)"},
                {OptionId::gauges},
                {OptionId::window}},
    .lists_variables = true,
    .run = play,
    .instead_of_operands = OptionId::layout,
};

}  // namespace panelhost
