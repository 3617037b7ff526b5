// panelhost's command line: every option once, with its value and help; each
// command in a file of its own under commands/, naming the options it takes;
// the list of commands in commands/command_list.cpp. Parsing is CLI11's.
#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/exit_status.h"
#include "host/output.h"

namespace panelhost {

enum class OptionId {
    set, fail, output, csv, ticks, iterations, fps, format, timeout, gauges, window, list, expect, tolerance, show_mouse,
    strictness, seed, strict, layout, dry_run
};

// What the command line held, for the command to run on.
struct Arguments {
    std::vector<std::string> operands;  // in the order the command's usage names them
    std::vector<std::string> sets;      // --set TOKEN=VALUE
    std::vector<std::string> fails;     // --fail KEY or KEY@ROW
    std::string output;                 // -o; empty when not given
    std::string csv;
    int ticks = 1;
    int iterations = 0;  // 0: the command's own default
    double fps = 18;
    Format format = Format::text;
    std::vector<std::string> gauge_folders;  // --gauges DIR
    std::string window;                      // --window NAME; empty: the layout's first
    bool list = false;                       // --list
    std::string expect;                      // --expect GOLDEN.png; empty: none
    int tolerance = -1;                      // --tolerance N, 0 to 255; -1: not given (0)
    bool show_mouse = false;                 // --show-mouse
    int strictness = 5;                      // validate: 1 to 10
    uint64_t seed = 1;                       // validate: of its random inputs
    bool strict = false;                     // validate: warnings fail too
    std::string layout;                      // --layout LAYOUT, in place of the operands
    bool dry_run = false;                    // --dry-run: say what would change, write nothing
};

// An option as one command takes it; value and help default to the option
// table's, a command may word them for itself.
struct OptionUse {
    OptionId id;
    const char* value = nullptr;
    const char* help = nullptr;
    bool required = false;
};

struct Command {
    const char* name;
    std::vector<const char*> operands = {};  // names of its operands, in order: "MODULE", "GAUGE"
    size_t optional_operands = 0;             // how many of the last operands may be left out
    const char* more_operands = nullptr;      // any number of these may follow the operands: "GAUGE"
    const char* summary;                // one line for `panelhost --help`
    const char* description;            // the paragraph its --help starts with
    std::vector<OptionUse> options = {};  // besides --help and --timeout, which every command takes
    std::vector<Format> formats = {};     // what --format accepts; empty: no --format
    bool lists_variables = false;       // its --help ends with the variable catalogue
    ExitStatus (*run)(const Arguments&);
    // An option that, given, takes the place of all the operands (play --layout).
    std::optional<OptionId> instead_of_operands = std::nullopt;
};

// Every command the program offers, in the order `panelhost --help` lists
// them: all of them in the Windows program (commands/command_list.cpp), the
// ones that run no module code in the native one
// (commands/reading_command_list.cpp).
std::span<const Command* const> all_commands();
// What `panelhost --help` says of the commands this program leaves out;
// empty when it has them all.
const char* commands_left_out();

// Parses argv and runs the command; the process's exit status.
int run_command_line(int argc, char** argv);

// The variable catalogue as help text: one line per token.
std::string variable_catalogue_text();

}  // namespace panelhost
