// render: one gauge drawn at the variables given.
#include <cstdio>

#include "host/commands/command_support.h"

namespace panelhost {

namespace {

ExitStatus render(const Arguments& a) {
    Output out(Format::text);
    std::vector<FailureAt> failures;
    if (!parse_failures(a.fails, failures, false) || !output_file_possible(a.output)) return ExitStatus::bad_input;
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    Host& host = *opened.host;
    const GaugeModel* gauge = find_gauge(host, a.operands[1]);
    if (!gauge || !apply_sets(host, a.sets, out)) return ExitStatus::bad_input;
    for (const FailureAt& f : failures) host.failed_keys.insert(f.key);
    host.install(*gauge);
    for (int t = 0; t < a.ticks; ++t) host.update(*gauge);
    Image image = host.draw(*gauge);
    print_host_warnings(host, out);
    const std::set<uint32_t> given = tokens_of(a.sets);
    warn_unused(out, host, *gauge, given, "--set", failures);
    warn_unset(out, host, *gauge, given);
    if (!save_png(image, a.output)) return ExitStatus::bad_input;
    std::printf("%s: \"%s\" %d x %d\n", a.output.c_str(), gauge->name.c_str(), image.width, image.height);
    return ExitStatus::ok;
}

}  // namespace

extern const Command render_command = {
    .name = "render",
    .operands = {"MODULE", "GAUGE"},
    .summary = "draw one gauge at the variables given",
    .description = "Installs GAUGE, updates it with the variables given and draws it at its face's size; "
                   "pure-black pixels are see-through (transparent in the PNG).",
    .options = {{OptionId::output, "OUT.png", "the PNG to write", true},
                {OptionId::set},
                {OptionId::fail},
                {OptionId::ticks}},
    .lists_variables = true,
    .run = render,
};

}  // namespace panelhost
