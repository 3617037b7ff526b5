#include "host/commands/layout_window.h"

#include <cstdio>

#include "host/commands/run_support.h"

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

}  // namespace

std::vector<Host*> OpenedLayout::hosts() const {
    std::vector<Host*> hosts;
    if (modules)
        for (const auto& opened : modules->opened())
            if (opened->host) hosts.push_back(opened->host.get());
    return hosts;
}

OpenedLayout open_layout(const std::string& path, const std::string& window_name,
                         const std::vector<std::string>& gauge_folders, Output& out) {
    OpenedLayout opened;
    opened.status = ExitStatus::bad_input;
    if (!readable_file(path, "layout")) return opened;
    opened.layout = std::make_unique<PanelLayout>(load_panel_layout(path));
    PanelLayout& layout = *opened.layout;
    // Only the window drawn is held to the rules: a real panel file's other
    // windows may hold lines this host would refuse.
    if (!layout.windows.empty()) {
        opened.window = window_name.empty() ? &layout.windows.front() : layout.window(window_name);
        if (!opened.window) {
            std::string has;
            for (const LayoutWindow& w : layout.windows) has += " [" + w.section + "] \"" + w.title + "\"";
            std::fprintf(stderr, "%s: no window \"%s\"; it has%s\n", layout.source.c_str(), window_name.c_str(),
                         has.c_str());
            return opened;
        }
        tolerate_other_windows(layout, *opened.window);
    }
    if (!print_layout_messages(layout)) return opened;
    layout.messages.clear();
    // Modules in the --gauges folders first, then beside the layout and in
    // its Gauges folder: the folders given add to the layout's own.
    std::vector<std::string> folders;
    for (const std::string& f : gauge_folders) folders.push_back(with_slash(f));
    folders.push_back(layout_folder(layout.source));
    folders.push_back(layout_folder(layout.source) + "Gauges/");
    opened.modules = std::make_unique<PanelModules>(folders);
    std::unique_ptr<PanelWindow> drawn = PanelWindow::prepare(layout, *opened.window, *opened.modules);
    bool module_failed = false;
    for (const auto& module : opened.modules->opened()) {
        print_findings(module->report, out);
        if (!module->host) {
            std::fprintf(stderr, "%s: not usable (%zu error(s))\n", module->path.c_str(),
                         module->report.count(Finding::Error));
            module_failed = true;
        }
    }
    print_layout_messages(layout);
    if (module_failed) opened.status = ExitStatus::module_invalid;
    if (module_failed || !drawn) return opened;
    opened.drawn = std::move(drawn);
    opened.status = ExitStatus::ok;
    return opened;
}

}  // namespace panelhost
