// panel: a whole panel window drawn from a layout file, every gauge by its
// own module, scaled to its box over the window's background.
#include <cstdio>

#include "host/commands/run_support.h"
#include "host/commands/layout_window.h"

namespace panelhost {

namespace {

ExitStatus panel(const Arguments& a) {
    Output out(Format::text);
    std::vector<FailureAt> failures;
    if (!parse_failures(a.fails, failures, false) || !output_file_possible(a.output) ||
        !output_is_no_input(a.output, {{"the layout", a.operands[0]}}))
        return ExitStatus::bad_input;
    OpenedLayout opened = open_layout(a.operands[0], a.window, a.gauge_folders, out);
    if (!opened.drawn) return opened.status;
    // Files the layout names, known once it is read.
    if (!opened.window->background_file.empty() &&
        !output_is_no_input(a.output, {{"the window's background bitmap",
                                        layout_folder(opened.layout->source) + opened.window->background_file}}))
        return ExitStatus::bad_input;
    for (const auto& module : opened.modules->opened())
        if (!output_is_no_input(a.output, {{"a module the layout names", module->path}})) return ExitStatus::bad_input;
    PanelWindow& drawn = *opened.drawn;
    const LayoutWindow* window = opened.window;

    for (Host* host : opened.hosts()) {
        if (!apply_sets(*host, a.sets, out)) return ExitStatus::bad_input;
        for (const FailureAt& f : failures) host->failed_keys.insert(f.key);
    }
    drawn.install();
    for (int t = 0; t < a.ticks; ++t) drawn.update();
    Image image = drawn.draw();
    for (Host* host : opened.hosts()) print_host_warnings(*host, out);
    // Given but used by no gauge of the window: most likely mistyped.
    const std::set<uint32_t> read = drawn.tokens_read();
    for (uint32_t token : tokens_of(a.sets))
        if (!read.count(token))
            out.warning(format("--set: no gauge of [%s] read variable %u", window->section.c_str(), unsigned(token)));
    for (const FailureAt& f : failures)
        if (!drawn.lists_failure(f.key))
            out.warning(format("--fail %u: no gauge of [%s] lists that failure key", unsigned(f.key),
                               window->section.c_str()));
    if (!save_png(image, a.output)) return ExitStatus::bad_input;
    const size_t gauges = window->gauges.size();
    std::printf("%s: [%s] \"%s\" %d x %d, %zu gauge%s\n", a.output.c_str(), window->section.c_str(),
                window->title.c_str(), image.width, image.height, gauges, gauges == 1 ? "" : "s");
    return ExitStatus::ok;
}

}  // namespace

extern const Command panel_command = {
    .name = "panel",
    .operands = {"LAYOUT"},
    .summary = "draw a whole panel window from a layout file",
    .description =
        "Draws a window of a panel layout file (the first, or --window): its background (background_color= "
        "and/or a bitmap named by file=, beside the layout), then every gaugeNN=MODULE!GAUGE, X, Y, W, H line, "
        "the gauge drawn by MODULE.gau and scaled to W x H at X, Y (left out, W and H are the face's). Modules "
        "are looked for beside the layout and in its Gauges folder, or in the --gauges folders. A line naming "
        "an unknown module or gauge, a size that is not positive or a gauge off the window is an error naming "
        "the line; an unknown key is a warning. Only the window drawn is held to these rules: in a whole "
        "aircraft panel file, other windows' faults are warnings.",
    .options = {{OptionId::output, "PANEL.png", "the PNG to write", true},
                {OptionId::set},
                {OptionId::fail},
                {OptionId::ticks},
                {OptionId::gauges},
                {OptionId::window}},
    .lists_variables = true,
    .run = panel,
};

}  // namespace panelhost
