// Adding a panel window to an aircraft's panel file, and taking it out
// again, the way a careful person edits it by hand: the example's
// [WindowNN] section under the first number the file does not use, its
// WindowNN=TITLE line under [Window Titles], and every other byte as it was
// (line ends, comments, spacing, Windows-1252 text, sections this host does
// not know). Removing what was added gives back the file byte for byte.
//
// The planning is text in, text out; the file functions around it refuse
// files they cannot edit safely, write a backup first (never over an
// earlier one) and then the file through a temporary file beside it,
// renamed into place when complete. No Windows header: the same code runs
// natively and in the Windows program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace panelhost {

struct PanelFileChange {
    bool nothing_to_do = false;  // the window is there already (add) / was never there (never: remove refuses)
    std::string section;         // "Window02"
    std::string title;
    int gauges = 0;              // gauge lines in the section
    int section_line = 0;        // of its header: in the new file (add), in the old one (remove)
    int title_line = 0;          // of its WindowNN=TITLE line, likewise
    bool titles_section_made = false;  // add: [Window Titles] did not exist / remove: is taken out whole
    std::vector<std::string> lines;    // the lines added or removed, without line ends, for --dry-run
    std::string text;                  // the file's new bytes
};

// Plans adding the first window of `example` (its section and its title
// from the example's [Window Titles]; without one, "MODULE Gauges" after
// the one module its gauges name) to `panel`. False with `error`, one
// line naming the file, when either cannot be edited safely.
bool plan_add_window(std::string_view example, const std::string& example_name, std::string_view panel,
                     const std::string& panel_name, PanelFileChange& change, std::string& error);

// Plans taking out the window titled `title` (case ignored) and its title
// line; an empty [Window Titles] section that add made goes with it.
bool plan_remove_window(std::string_view panel, const std::string& panel_name, const std::string& title,
                        PanelFileChange& change, std::string& error);

// Why a file's bytes are no panel file this host edits (NUL bytes, UTF-16,
// an aliased panel ...), or "" when they are.
std::string panel_text_refusal(std::string_view text, const std::string& name);

// The whole file at `path`, refused when it is not a regular file, is too
// large for a panel file, or cannot be read to its end.
bool read_whole_file(const std::string& path, std::string& bytes, std::string& error);

// "PANEL.cfg.bak", or .bak1, .bak2 ... : created holding `bytes`, never
// over an existing file. False with `error` when none could be made.
bool write_backup(const std::string& path, std::string_view bytes, std::string& backup, std::string& error);

// Writes `bytes` to a temporary file beside `path`, then renames it over
// `path`: the file is either the old one or the whole new one, never a
// part. Keeps the file's permissions. False with `error`, `path` untouched.
bool replace_file(const std::string& path, std::string_view bytes, std::string& error);

struct PanelFileRun {
    bool ok = false;
    std::string report;  // what was (or would be) done, lines for stdout; on failure the error line
};

// add-window and remove-window on files: the plan, then (unless
// `dry_run`) the backup and the atomic replacement. A file that cannot be
// written (read-only) is refused before anything is done.
PanelFileRun add_window_to_file(const std::string& example_path, const std::string& panel_path, bool dry_run);
PanelFileRun remove_window_from_file(const std::string& panel_path, const std::string& title, bool dry_run);

}  // namespace panelhost
