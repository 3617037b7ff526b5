// The commands of the Windows program, in the order its --help lists them.
// A new command is a file in this folder defining its Command, and its name
// here (and in reading_command_list.cpp when it runs no module code).
#include "host/command_line.h"

namespace panelhost {

extern const Command check_command, render_command, sheet_command, play_command, mouse_command, bench_command,
    variables_command, panel_command, describe_command, compare_command, validate_command, add_window_command,
    remove_window_command;

std::span<const Command* const> all_commands() {
    static const Command* const commands[] = {
        &check_command, &describe_command, &render_command,    &compare_command, &sheet_command,
        &play_command,  &mouse_command,    &bench_command,     &variables_command, &panel_command,
        &validate_command, &add_window_command, &remove_window_command,
    };
    return commands;
}

const char* commands_left_out() { return ""; }

}  // namespace panelhost
