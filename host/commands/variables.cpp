// variables: the simulator variables this host knows by name.
#include <cstdio>

#include "host/commands/command_support.h"
#include "host/variable_catalogue.h"

namespace panelhost {

namespace {

ExitStatus variables(const Arguments& a) {
    if (a.format == Format::text) {
        std::fputs(variable_catalogue_text().c_str(), stdout);
        return ExitStatus::ok;
    }
    Json doc = {{"command", "variables"}, {"variables", Json::array()}};
    for (const VariableInfo& v : known_variables()) {
        Json entry = {{"token", v.token}, {"name", v.name}, {"unit", v.unit}, {"bcd_digits", v.bcd_digits}};
        doc["variables"].push_back(entry);
    }
    Output(a.format).print_json(doc);
    return ExitStatus::ok;
}

}  // namespace

extern const Command variables_command = {
    .name = "variables",
    .operands = {},
    .summary = "the variable tokens this host knows by name",
    .description = "Lists the simulator variables this host knows: token, name and unit. --set and play's CSV "
                   "take any token; these are the ones it names in messages and sets on a preview sheet. A "
                   "binary-coded-decimal variable takes a frequency (345) or the word itself (0x0345).",
    .formats = {Format::text, Format::json},
    .run = variables,
};

}  // namespace panelhost
