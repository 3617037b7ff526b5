// The commands of the native program (host/native/): those that run none of
// a module's code, reading its file, pictures, panel files or the host's own
// tables. In the order the Windows program's --help lists them.
#include "host/command_line.h"

namespace panelhost {

extern const Command check_command, describe_command, compare_command, mouse_command, variables_command,
    add_window_command, remove_window_command;

std::span<const Command* const> all_commands() {
    static const Command* const commands[] = {
        &check_command,     &describe_command,  &compare_command,       &mouse_command,
        &variables_command, &add_window_command, &remove_window_command,
    };
    return commands;
}

const char* commands_left_out() {
    return "This panelhost runs none of a module's code, so it has only the commands above, and mouse only with "
           "--list. The Windows program, panelhost.exe (host/panelhost runs it under Wine), has these and the "
           "commands that run a module's gauges: drawing them, playing a flight, mouse at a point, validating.";
}

}  // namespace panelhost
