// sheet: every gauge of a module at three preview readings, on one page.
#include <algorithm>
#include <cstdio>

#include "host/commands/run_support.h"
#include "host/preview_readings.h"

namespace panelhost {

namespace {

std::string reading_text(const Host& host, uint32_t token) {
    const VariableInfo* info = variable_info(token);
    std::string value = host.variables.describe(token);
    value = value.substr(value.find('=') + 1);
    if (!info) return format("variable %u: %s", unsigned(token), value.c_str());
    return format("%s %s %s", info->name, value.c_str(), info->unit);
}

ExitStatus sheet(const Arguments& a) {
    Output out(Format::text);
    const std::string path = a.output.empty() ? "preview-sheet.png" : a.output;
    if (!output_file_possible(path) || !output_is_no_input(path, {{"the module", a.operands[0]}}))
        return ExitStatus::bad_input;
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    Host& host = *opened.host;
    if (host.gauges().empty()) {
        std::fprintf(stderr, "%s has no gauges to draw\n", a.operands[0].c_str());
        return ExitStatus::module_invalid;
    }
    constexpr int readings = 3, margin = 16, title_scale = 2, line = 12;
    int cell_width = 0, face_height = 0;
    for (const GaugeModel& g : host.gauges()) {
        cell_width = std::max(cell_width, g.width);
        face_height = std::max(face_height, g.height);
    }
    cell_width = std::max(cell_width, 220);
    const int label_height = line * title_scale + 4 * line + 8;
    const int row_height = label_height + face_height + margin;
    Image page(margin + readings * (cell_width + margin), margin + int(host.gauges().size()) * row_height,
               opaque(54, 58, 64));
    const Rgba title_colour = opaque(250, 246, 232), text_colour = opaque(200, 204, 210);
    if (!apply_sets(host, a.sets, out)) return ExitStatus::bad_input;
    std::set<uint32_t> given = tokens_of(a.sets);
    for (const VariableInfo& v : known_variables()) given.insert(v.token);
    int row = 0;
    for (const GaugeModel& g : host.gauges()) {
        // Variables the catalogue does not know read across the spans the
        // records give them, so every moving part moves.
        const auto from_records = preview_readings_from_records(g);
        std::set<uint32_t> given_here = given;
        for (const auto& [token, values] : from_records) given_here.insert(token);
        for (int r = 0; r < readings; ++r) {
            // Known variables at this reading's preview values, then --set.
            host.variables.set_previews(r);
            for (const auto& [token, values] : from_records) host.variables.set_number(token, values[r]);
            std::string checked_above;
            for (const std::string& s : a.sets) host.variables.set(s, checked_above);
            host.install(g);
            host.update(g);
            Image face = host.draw(g);
            host.kill(g);
            int x = margin + r * (cell_width + margin), y = margin + row * row_height;
            draw_text(page, x, y, g.name, title_colour, title_scale);
            int ly = y + line * title_scale + 2;
            for (uint32_t token : host.tokens_read[&g]) {
                if (ly > y + label_height - line) break;
                draw_text(page, x, ly, reading_text(host, token), text_colour);
                ly += line;
            }
            blit(page, face, x + (cell_width - face.width) / 2, y + label_height);
        }
        warn_unset(out, host, g, given_here);
        ++row;
    }
    print_host_warnings(host, out);
    if (!save_png(page, path)) return ExitStatus::bad_input;
    std::printf("%s: %zu gauges at %d readings, %d x %d\n", path.c_str(), host.gauges().size(), readings, page.width,
                page.height);
    return ExitStatus::ok;
}

}  // namespace

extern const Command sheet_command = {
    .name = "sheet",
    .operands = {"MODULE"},
    .summary = "every gauge at three preview readings, labelled",
    .description = "Draws every gauge of the module at three representative readings, one row per gauge, each "
                   "labelled with the gauge's name and the variables it read. Variables this host knows take "
                   "preview values of their own; any other variable an element reads takes a fifth, a half and "
                   "four fifths of the span its records give it (a calibration table, an axis range). --set fixes "
                   "a variable for all three readings.",
    .options = {{OptionId::output, "SHEET.png", "the PNG to write (default preview-sheet.png)"},
                {OptionId::set}},
    .lists_variables = true,
    .run = sheet,
};

}  // namespace panelhost
