// A layout's window made ready for a command that draws it (panel, play
// --layout): the layout read, the window picked, every module it names
// opened and the gauges placed, with the layout's messages and the modules'
// findings printed on the way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/panel_window.h"

namespace panelhost {

struct OpenedLayout {
    std::unique_ptr<PanelLayout> layout;
    LayoutWindow* window = nullptr;
    std::unique_ptr<PanelModules> modules;
    std::unique_ptr<PanelWindow> drawn;  // null when anything was wrong: `status` says what
    ExitStatus status = ExitStatus::ok;

    // The host of every module the window's gauges come from.
    std::vector<Host*> hosts() const;
};

// `window_name` empty: the layout's first window. `gauge_folders` empty:
// modules beside the layout and in its Gauges folder.
OpenedLayout open_layout(const std::string& path, const std::string& window_name,
                         const std::vector<std::string>& gauge_folders, Output& out);

}  // namespace panelhost
