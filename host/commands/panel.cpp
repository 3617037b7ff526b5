// panel: a whole panel window drawn from a layout file, every gauge by its
// own module, scaled to its box over the window's background.
#include <cstdio>

#include "host/commands/command_support.h"
#include "host/panel_window.h"

namespace panelhost {

namespace {

// Layout messages on stderr; true when none was an error.
bool print_layout_messages(const PanelLayout& layout) {
    for (const LayoutMessage& m : layout.messages) std::fprintf(stderr, "%s\n", layout.message_text(m).c_str());
    return !layout.has_errors();
}

std::string with_slash(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder;
}

ExitStatus panel(const Arguments& a) {
    Output out(Format::text);
    std::vector<FailureAt> failures;
    if (!parse_failures(a.fails, failures, false) || !output_file_possible(a.output)) return ExitStatus::bad_input;
    if (!readable_file(a.operands[0], "layout")) return ExitStatus::bad_input;
    PanelLayout layout = load_panel_layout(a.operands[0]);
    if (!print_layout_messages(layout)) return ExitStatus::bad_input;
    layout.messages.clear();

    LayoutWindow* window = a.window.empty() ? &layout.windows.front() : layout.window(a.window);
    if (!window) {
        std::string has;
        for (const LayoutWindow& w : layout.windows) has += " [" + w.section + "] \"" + w.title + "\"";
        std::fprintf(stderr, "%s: no window \"%s\"; it has%s\n", layout.source.c_str(), a.window.c_str(),
                     has.c_str());
        return ExitStatus::bad_input;
    }
    // Modules beside the layout, or in its Gauges folder, unless told where.
    std::vector<std::string> folders;
    for (const std::string& f : a.gauge_folders) folders.push_back(with_slash(f));
    if (folders.empty()) {
        folders.push_back(layout_folder(layout.source));
        folders.push_back(layout_folder(layout.source) + "Gauges/");
    }
    PanelModules modules(folders);
    std::unique_ptr<PanelWindow> drawn = PanelWindow::prepare(layout, *window, modules);
    bool module_failed = false;
    for (const auto& opened : modules.opened()) {
        print_findings(opened->report, out);
        if (!opened->host) {
            std::fprintf(stderr, "%s: not usable (%zu error(s))\n", opened->path.c_str(),
                         opened->report.count(Finding::Error));
            module_failed = true;
        }
    }
    print_layout_messages(layout);
    if (module_failed) return ExitStatus::module_invalid;
    if (!drawn) return ExitStatus::bad_input;

    for (const auto& opened : modules.opened()) {
        if (!apply_sets(*opened->host, a.sets, out)) return ExitStatus::bad_input;
        for (const FailureAt& f : failures) opened->host->failed_keys.insert(f.key);
    }
    drawn->install();
    for (int t = 0; t < a.ticks; ++t) drawn->update();
    Image image = drawn->draw();
    for (const auto& opened : modules.opened()) print_host_warnings(*opened->host, out);
    // Given but used by no gauge of the window: most likely mistyped.
    const std::set<uint32_t> read = drawn->tokens_read();
    for (uint32_t token : tokens_of(a.sets))
        if (!read.count(token))
            out.warning(format("--set: no gauge of [%s] read variable %u", window->section.c_str(), unsigned(token)));
    for (const FailureAt& f : failures)
        if (!drawn->lists_failure(f.key))
            out.warning(format("--fail %u: no gauge of [%s] lists that failure key", unsigned(f.key),
                               window->section.c_str()));
    if (!save_png(image, a.output)) return ExitStatus::bad_input;
    std::printf("%s: [%s] \"%s\" %d x %d, %zu gauges\n", a.output.c_str(), window->section.c_str(),
                window->title.c_str(), image.width, image.height, window->gauges.size());
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
        "the line; an unknown key is a warning.",
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
