// add-window and remove-window: the example's panel window merged into an
// aircraft's panel file, and taken out again (host/panel_file_edit.*).
#include <cstdio>

#include "host/command_line.h"
#include "host/panel_file_edit.h"

namespace panelhost {

namespace {

ExitStatus finish(const PanelFileRun& run) {
    std::fputs(run.report.c_str(), run.ok ? stdout : stderr);
    if (!run.ok && (run.report.empty() || run.report.back() != '\n')) std::fputc('\n', stderr);
    return run.ok ? ExitStatus::ok : ExitStatus::bad_input;
}

ExitStatus add_window(const Arguments& a) {
    return finish(add_window_to_file(a.operands[0], a.operands[1], a.dry_run));
}

ExitStatus remove_window(const Arguments& a) {
    return finish(remove_window_from_file(a.operands[0], a.operands[1], a.dry_run));
}

}  // namespace

extern const Command add_window_command = {
    .name = "add-window",
    .operands = {"EXAMPLE.cfg", "PANEL.cfg"},
    .summary = "add the example's panel window to an aircraft's panel file",
    .description =
        "Adds the first [WindowNN] section of EXAMPLE.cfg to PANEL.cfg as the first window number the file does "
        "not use, with its WindowNN=TITLE line under [Window Titles] (made if missing); every other byte of "
        "PANEL.cfg stays as it was. A backup is written first (PANEL.cfg.bak, or .bak1, .bak2 ... never over an "
        "earlier one), then the file through a temporary file beside it. Run again, it finds the window by its "
        "title and changes nothing. A panel file that only aliases another aircraft's panel, a read-only file or "
        "one that is not plain text is refused and left as it is (exit 1).",
    .options = {{OptionId::dry_run}},
    .run = add_window,
};

extern const Command remove_window_command = {
    .name = "remove-window",
    .operands = {"PANEL.cfg", "TITLE"},
    .summary = "take a panel window and its title line out of a panel file",
    .description =
        "Takes the window titled TITLE (case ignored) out of PANEL.cfg: its [WindowNN] section and its line under "
        "[Window Titles]. After add-window, with nothing else changed, this gives back the file byte for byte. "
        "A backup is written first, as add-window does.",
    .options = {{OptionId::dry_run}},
    .run = remove_window,
};

}  // namespace panelhost
