#include "host/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/module_call.h"
#include "host/base/report.h"
#include "host/variable_catalogue.h"

namespace panelhost {

namespace {

struct OptionRow {
    OptionId id;
    const char* flags;  // CLI11's form: "-o,--output"
    const char* value;
    const char* help;
};

// Every option of every command: how it is written, its value and what it does.
constexpr OptionRow option_table[] = {
    {OptionId::set, "--set", "TOKEN=VALUE",
     "a simulator variable by token: 61=120 (a number); for a binary-coded-decimal variable the "
     "frequency (16=345) or the word itself (16=0x0345). Repeatable"},
    {OptionId::fail, "--fail", "KEY",
     "failure KEY in force: elements listing it freeze (keep what they showed) or read their variables "
     "as 0. Repeatable"},
    {OptionId::output, "-o,--output", "FILE", "where to write"},
    {OptionId::csv, "--csv", "FILE", "the flight: a header row of variable tokens, then one row per update tick"},
    {OptionId::ticks, "--ticks", "N",
     "updates before drawing (default 1); a needle with a rate limit moves at most that many degrees per "
     "update after the first"},
    {OptionId::iterations, "--iterations", "N", "calls per conversion routine (default 100000)"},
    {OptionId::fps, "--fps", "N", "frames a second of the animation (default 18)"},
    {OptionId::format, "--format", "FORMAT", "how results are printed"},
    {OptionId::timeout, "--timeout", "SECONDS", "how long a module routine may run (default 10)"},
    {OptionId::gauges, "--gauges", "DIR",
     "a folder holding gauge modules a layout names, searched before the layout's own folder and its Gauges "
     "folder. Repeatable"},
    {OptionId::window, "--window", "NAME", "which window of the layout: WindowNN, its number or its title"},
    {OptionId::list, "--list", nullptr, "list them all"},
    {OptionId::expect, "--expect", "GOLDEN.png",
     "compare the picture with GOLDEN.png; exit status 2 when they differ, with a diff picture beside the output"},
    {OptionId::tolerance, "--tolerance", "N",
     "how far a channel (red, green, blue or alpha, 0 to 255) may differ before a pixel counts as different "
     "(default 0: exactly equal)"},
    {OptionId::show_mouse, "--show-mouse", nullptr,
     "draw every mouse area over the gauge: its box, cursor and key event, with a legend below"},
    {OptionId::strictness, "--strictness", "1-10",
     "how hard to try (default 5): more random inputs and more repetitions as it rises, and from 3 on "
     "gauge-callback codes beyond the documented ones, from 4 on the caller's x87 modes"},
    {OptionId::seed, "--seed", "N", "seeds the random inputs (default 1): the same seed tries the same inputs"},
    {OptionId::strict, "--strict", nullptr, "warnings fail as errors do"},
    {OptionId::layout, "--layout", "LAYOUT",
     "a panel layout file: every gauge of a window, each at its place and size (see panelhost panel --help)"},
    {OptionId::dry_run, "--dry-run", nullptr, "say what would change, and write nothing"},
};

const OptionRow& row_of(OptionId id) {
    for (const OptionRow& s : option_table)
        if (s.id == id) return s;
    std::abort();  // every OptionId has a row
}

// "--output" from "-o,--output": the name CLI11 looks it up by.
std::string long_name(const OptionRow& row) {
    std::string flags = row.flags;
    return flags.substr(flags.rfind(',') + 1);
}

// "-o" from "-o,--output": the shortest form, for usage lines.
std::string short_name(const OptionRow& row) {
    std::string flags = row.flags;
    return flags.substr(0, flags.find(','));
}

// Operands as every command names them.
const char* operand_help(const std::string& name) {
    if (name == "MODULE") return "the gauge module (.gau file)";
    if (name == "GAUGE") return "a gauge's name, exactly as the module stores it";
    if (name == "X" || name == "Y") return "a point on the gauge's face, in whole pixels from its top-left corner";
    if (name == "GAUGE...") return "gauges to run, by name (default: all)";
    if (name == "LAYOUT") return "a panel layout file: [WindowNN] sections with gaugeNN=MODULE!GAUGE, X, Y, W, H lines";
    if (name == "A.png" || name == "B.png") return "a PNG picture";
    if (name == "EXAMPLE.cfg") return "the panel window to add: its first [WindowNN] section and its title";
    if (name == "PANEL.cfg") return "the aircraft's panel file, changed in place after a backup beside it";
    if (name == "TITLE") return "the window's title, as under [Window Titles]";
    return "";
}

// Help text folded at `width` columns.
std::string wrapped(const std::string& text, size_t width) {
    std::string out, line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return out + line;
}

bool is_option_like(const std::string& argument) {
    // "-5" is a number (a mouse coordinate), not an option.
    return argument.size() > 1 && argument[0] == '-' && !std::isdigit(static_cast<unsigned char>(argument[1]));
}

int tolerance_option(const std::string& name, const std::string& text) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || n < 0 || n > 255)
        throw CLI::ValidationError(name + " takes a whole number from 0 to 255, not \"" + text + "\"");
    return int(n);
}

double number_option(const std::string& name, const std::string& text, bool whole) {
    char* end = nullptr;
    double n = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end || !(n > 0) || n > 1e7 || (whole && n != std::floor(n)))
        throw CLI::ValidationError(name + (whole ? " takes a whole number from 1 to 10000000" : " takes a positive number") +
                                   ", not \"" + text + "\"");
    return n;
}

std::string formats_text(const std::vector<Format>& formats) {
    std::string text;
    for (size_t i = 0; i < formats.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == formats.size() ? " or " : ", ") + format_name(formats[i]);
    return text;
}

CLI::Option* add_option(CLI::App& app, const Command& command, const OptionUse& use, Arguments& a) {
    const OptionRow& row = row_of(use.id);
    const std::string name = long_name(row);
    const std::string help = use.help ? use.help : row.help;
    CLI::Option* option = nullptr;
    auto number = [&](auto& into, bool whole) {
        return app.add_option_function<std::string>(
            row.flags, [&into, name, whole](const std::string& v) { into = decltype(+into)(number_option(name, v, whole)); },
            help);
    };
    switch (use.id) {
        case OptionId::set: option = app.add_option(row.flags, a.sets, help)->allow_extra_args(false); break;
        case OptionId::fail: option = app.add_option(row.flags, a.fails, help)->allow_extra_args(false); break;
        case OptionId::output: option = app.add_option(row.flags, a.output, help); break;
        case OptionId::csv: option = app.add_option(row.flags, a.csv, help); break;
        case OptionId::gauges: option = app.add_option(row.flags, a.gauge_folders, help)->allow_extra_args(false); break;
        case OptionId::window: option = app.add_option(row.flags, a.window, help); break;
        case OptionId::expect: option = app.add_option(row.flags, a.expect, help); break;
        case OptionId::list: option = app.add_flag(row.flags, a.list, help); break;
        case OptionId::show_mouse: option = app.add_flag(row.flags, a.show_mouse, help); break;
        case OptionId::tolerance:
            option = app.add_option_function<std::string>(
                row.flags, [&a, name](const std::string& v) { a.tolerance = tolerance_option(name, v); }, help);
            break;
        case OptionId::strictness:
            option = app.add_option_function<std::string>(
                row.flags,
                [&a, name](const std::string& v) {
                    char* end = nullptr;
                    long n = std::strtol(v.c_str(), &end, 10);
                    if (v.empty() || !std::isdigit(static_cast<unsigned char>(v[0])) || *end || n < 1 || n > 10)
                        throw CLI::ValidationError(name + " takes a whole number from 1 to 10, not \"" + v + "\"");
                    a.strictness = int(n);
                },
                help);
            break;
        case OptionId::seed:
            option = app.add_option_function<std::string>(
                row.flags,
                [&a, name](const std::string& v) {
                    char* end = nullptr;
                    errno = 0;
                    unsigned long long n = std::strtoull(v.c_str(), &end, 10);
                    if (v.empty() || !std::isdigit(static_cast<unsigned char>(v[0])) || *end || errno)
                        throw CLI::ValidationError(name + " takes a whole number from 0 to 18446744073709551615, not \"" +
                                                   v + "\"");
                    a.seed = n;
                },
                help);
            break;
        case OptionId::strict: option = app.add_flag(row.flags, a.strict, help); break;
        case OptionId::layout: option = app.add_option(row.flags, a.layout, help); break;
        case OptionId::dry_run: option = app.add_flag(row.flags, a.dry_run, help); break;
        case OptionId::ticks: option = number(a.ticks, true); break;
        case OptionId::iterations: option = number(a.iterations, true); break;
        case OptionId::fps: option = number(a.fps, false); break;
        case OptionId::timeout:
            option = app.add_option_function<std::string>(
                row.flags, [name](const std::string& v) { set_module_call_timeout(number_option(name, v, false)); },
                help);
            break;
        case OptionId::format: {
            std::vector<Format> allowed = command.formats;
            option = app.add_option_function<std::string>(
                row.flags,
                [&a, allowed, name](const std::string& v) {
                    Format f;
                    if (!parse_format(v, f) || std::find(allowed.begin(), allowed.end(), f) == allowed.end())
                        throw CLI::ValidationError(name + " takes " + formats_text(allowed) + ", not \"" + v + "\"");
                    a.format = f;
                },
                help + ": " + formats_text(allowed) + " (default text)");
            break;
        }
    }
    if (use.value || row.value) option->type_name(use.value ? use.value : row.value);
    bool repeatable = use.id == OptionId::set || use.id == OptionId::fail || use.id == OptionId::gauges;
    option->multi_option_policy(repeatable ? CLI::MultiOptionPolicy::TakeAll : CLI::MultiOptionPolicy::TakeLast);
    return option;
}

std::vector<OptionUse> options_of(const Command& command) {
    std::vector<OptionUse> options = command.options;
    if (!command.formats.empty()) options.push_back({OptionId::format});
    options.push_back({OptionId::timeout});
    return options;
}

std::string value_of(const OptionUse& use) { return use.value ? use.value : row_of(use.id).value; }

// "render MODULE GAUGE -o OUT.png [options]", "describe MODULE [GAUGE] [options]"
std::string usage_of(const Command& command) {
    std::string operands;
    for (const char* operand : command.operands) operands += std::string(" ") + operand;
    std::string usage = command.name;
    if (command.instead_of_operands) {
        const OptionRow& instead = row_of(*command.instead_of_operands);
        usage += " {" + operands.substr(1) + " | " + long_name(instead) + " " + instead.value + "}";
    } else {
        const size_t required = command.operands.size() - command.optional_operands;
        for (size_t i = 0; i < command.operands.size(); ++i)
            usage += std::string(i == required ? " [" : " ") + command.operands[i];
        if (command.optional_operands) usage += "]";
        if (command.more_operands) usage += std::string(" [") + command.more_operands + "...]";
    }
    for (const OptionUse& use : command.options)
        if (use.required) usage += " " + short_name(row_of(use.id)) + " " + value_of(use);
    return usage + " [options]";
}

// A command's help: usage, then what it does, then its operands and options.
class HelpFormatter : public CLI::Formatter {
public:
    explicit HelpFormatter(const Command& command) : command_(command) {
        column_width(28);
        label("Positionals", "Operands");
    }
    std::string make_description(const CLI::App*) const override { return ""; }
    std::string make_usage(const CLI::App*, std::string) const override {
        return "usage: panelhost " + usage_of(command_) + "\n\n" + wrapped(command_.description, 79) + "\n";
    }
    std::string make_option_desc(const CLI::Option* option) const override {
        return wrapped(option->get_description(), 79 - 28);
    }

private:
    const Command& command_;
};

// The commands with `format` among their --format choices, in --help's order, joined by `separator`.
std::string commands_taking(Format format, const char* separator) {
    std::string names;
    for (const Command* c : all_commands())
        if (std::find(c->formats.begin(), c->formats.end(), format) != c->formats.end())
            names += (names.empty() ? "" : separator) + std::string(c->name);
    return names;
}

std::string overview() {
    std::string text =
        "usage: panelhost COMMAND [ARGS...]   (panelhost COMMAND --help for more)\n"
        "\n"
        "A headless panel host for 2000-generation gauge modules (.gau).\n"
        "\n"
        "commands:\n";
    for (const Command* c : all_commands()) {
        std::string usage = usage_of(*c);
        usage = usage.substr(0, usage.size() - std::strlen(" [options]"));
        // A usage too long for its column has the summary on a line of its own.
        text += usage.size() <= 44 ? format("  %-44s %s\n", usage.c_str(), c->summary)
                                   : format("  %s\n  %-44s %s\n", usage.c_str(), "", c->summary);
    }
    if (*commands_left_out()) text += "\n" + wrapped(commands_left_out(), 79) + "\n";
    text += "\n" +
            wrapped("Every command takes --timeout SECONDS: how long a module routine may run (default 10). "
                    "--format json prints results as one JSON document (" + commands_taking(Format::json, ", ") +
                    "); " + commands_taking(Format::junit, " and ") +
                    " --format junit as a JUnit XML report. panelhost variables lists the variable tokens this "
                    "host knows by name; panelhost --version prints its version.", 79) +
            "\n\nexit status:\n";
    for (const ExitStatusText& e : exit_status_texts) text += format("  %d  %s\n", code(e.status), e.meaning);
    return text;
}

// "A and B", "A, B and C"
std::string and_list(const std::vector<const char*>& names, size_t from, size_t to) {
    std::string list;
    for (size_t i = from; i < to; ++i) list += std::string(i == from ? "" : i + 1 == to ? " and " : ", ") + names[i];
    return list;
}

// "needs MODULE and GAUGE; got 1 argument ("Corvalenx.gau")", "needs MODULE (and
// optionally GAUGE); got 3 arguments (...)"
std::string wrong_count(const Command& command, const std::vector<std::string>& got) {
    const size_t all = command.operands.size(), required = all - command.optional_operands;
    std::string wanted = and_list(command.operands, 0, required), quoted;
    if (required < all) wanted += " (and optionally " + and_list(command.operands, required, all) + ")";
    for (const std::string& p : got) quoted += (quoted.empty() ? "\"" : ", \"") + p + "\"";
    if (command.instead_of_operands) {
        const OptionRow& instead = row_of(*command.instead_of_operands);
        wanted += ", or " + long_name(instead) + " " + instead.value;
    }
    size_t n = got.size();
    return format("needs %s; got %zu argument%s%s%s%s", wanted.c_str(), n, n == 1 ? "" : "s", n ? " (" : "",
                  quoted.c_str(), n ? ")" : "");
}

bool is_any_option(const std::string& name) {
    if (name == "-h" || name == "--help") return true;
    for (const OptionRow& s : option_table) {
        std::string flags = std::string(",") + s.flags + ",";
        if (flags.find("," + name + ",") != std::string::npos) return true;
    }
    return false;
}

int run(const Command& command, int argc, char** argv) {
    Arguments a;
    CLI::App app(command.description);
    app.formatter(std::make_shared<HelpFormatter>(command));
    app.allow_extras();
    // Paths such as /tmp/a.png are operands, not Windows-style options.
    app.allow_windows_style_options(false);
    std::vector<std::string> operands(command.operands.size());
    for (size_t i = 0; i < operands.size(); ++i)
        app.add_option(command.operands[i], operands[i], operand_help(command.operands[i]))->type_name("");
    std::vector<std::string> more;
    if (command.more_operands) {
        // CLI11 itself marks it "GAUGE ...".
        app.add_option(command.more_operands, more, operand_help(std::string(command.more_operands) + "..."))
            ->type_name("");
    }
    std::string footer;
    for (const OptionUse& use : options_of(command)) add_option(app, command, use, a);
    if (command.lists_variables)
        footer += "Variables this host knows by name (any other token works too):\n" + variable_catalogue_text() + "\n";
    footer += "Exit statuses: panelhost --help lists them.";
    app.footer(footer);
    auto fail = [&](const std::string& what, bool with_usage) {
        std::fprintf(stderr, "panelhost %s: %s\n", command.name, what.c_str());
        if (with_usage)
            std::fprintf(stderr, "usage: panelhost %s   (panelhost %s --help for more)\n", usage_of(command).c_str(),
                         command.name);
        return code(ExitStatus::bad_input);
    };
    try {
        // CLI11 reads the arguments from the back of the vector.
        std::vector<std::string> args(argv + 2, argv + argc);
        std::reverse(args.begin(), args.end());
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return code(ExitStatus::ok);
    } catch (const CLI::ArgumentMismatch& e) {
        std::string what = e.what();
        std::string name = what.substr(0, what.find(':'));
        if (what.find("missing") != std::string::npos) return fail(name + " needs a value", false);
        return fail(what, false);
    } catch (const CLI::ParseError& e) {
        return fail(e.what(), false);
    }
    std::vector<std::string> got;
    for (const std::string& o : operands)
        if (!o.empty()) got.push_back(o);
    got.insert(got.end(), more.begin(), more.end());
    for (const std::string& extra : app.remaining()) {
        if (extra == "--") continue;
        if (!is_option_like(extra)) {
            got.push_back(extra);
            continue;
        }
        std::string name = extra.substr(0, extra.find('='));
        if (is_any_option(name))
            return fail(format("%s is not an option of %s (see panelhost %s --help)", name.c_str(), command.name,
                               command.name),
                        false);
        return fail("unknown option " + name, false);
    }
    bool operands_replaced = command.instead_of_operands &&
                             app.get_option(long_name(row_of(*command.instead_of_operands)))->count();
    if (operands_replaced && !got.empty())
        return fail(format("%s takes the place of %s; got both", long_name(row_of(*command.instead_of_operands)).c_str(),
                           and_list(command.operands, 0, command.operands.size()).c_str()),
                    true);
    if (!operands_replaced && (got.size() < command.operands.size() - command.optional_operands ||
                               (got.size() > command.operands.size() && !command.more_operands)))
        return fail(wrong_count(command, got), true);
    for (const OptionUse& use : command.options)
        if (use.required && !app.get_option(long_name(row_of(use.id)))->count())
            return fail("needs " + short_name(row_of(use.id)) + " " + value_of(use), true);
    a.operands = got;
    return code(command.run(a));
}

}  // namespace

std::string variable_catalogue_text() {
    std::string text;
    for (const VariableInfo& v : known_variables()) {
        std::string unit = v.bcd() ? format("binary-coded decimal, %d digits shown", v.bcd_digits) : v.unit;
        text += format("  %4u  %-20s %s\n", unsigned(v.token), v.name, unit.c_str());
    }
    return text;
}

int run_command_line(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(overview().c_str(), stderr);
        return code(ExitStatus::bad_input);
    }
    std::string first = argv[1];
    if (first == "--help" || first == "-h" || (first == "help" && argc == 2)) {
        std::fputs(overview().c_str(), stdout);
        return code(ExitStatus::ok);
    }
    if (first == "--version" && argc == 2) {
        std::printf("panelhost %s\n", PANELHOST_VERSION);
        return code(ExitStatus::ok);
    }
    for (const Command* c : all_commands()) {
        if (first == c->name) return run(*c, argc, argv);
        if (first == "help" && argc == 3 && std::string(argv[2]) == c->name) {
            char help[] = "--help";
            char* with_help[] = {argv[0], argv[2], help};
            return run(*c, 3, with_help);
        }
    }
    std::fprintf(stderr, "panelhost: no command \"%s\"\n\n%s", first.c_str(), overview().c_str());
    return code(ExitStatus::bad_input);
}

}  // namespace panelhost
