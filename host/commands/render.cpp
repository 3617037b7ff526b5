// render: one gauge drawn at the variables given.
#include <algorithm>
#include <cstdio>

#include "host/commands/command_support.h"
#include "host/commands/picture_check.h"
#include "host/mouse_overlay.h"

namespace panelhost {

namespace {

// "out.png" -> "out-diff.png": where render --expect puts the diff picture.
std::string diff_path_for(const std::string& output) {
    const std::string png = ".png";
    bool ends_png = output.size() > png.size() && output.compare(output.size() - png.size(), png.size(), png) == 0;
    return (ends_png ? output.substr(0, output.size() - png.size()) : output) + "-diff.png";
}

ExitStatus render(const Arguments& a) {
    Output out(Format::text);
    std::vector<FailureAt> failures;
    const std::string diff_path = diff_path_for(a.output);
    if (!parse_failures(a.fails, failures, false) || !output_file_possible(a.output)) return ExitStatus::bad_input;
    if (a.tolerance >= 0 && a.expect.empty()) {
        std::fprintf(stderr, "panelhost render: --tolerance applies only to a comparison with --expect\n");
        return ExitStatus::bad_input;
    }
    StraightPicture expected;
    if (!a.expect.empty() && (!read_picture(a.expect, expected) || !output_file_possible(diff_path)))
        return ExitStatus::bad_input;
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    Host& host = *opened.host;
    const GaugeModel* gauge = find_gauge(host, a.operands[1]);
    if (!gauge || !apply_sets(host, a.sets, out)) return ExitStatus::bad_input;
    for (const FailureAt& f : failures) host.failed_keys.insert(f.key);
    host.install(*gauge);
    for (int t = 0; t < a.ticks; ++t) host.update(*gauge);
    Image image = host.draw(*gauge);
    if (a.show_mouse) image = with_mouse_areas(image, *gauge);
    print_host_warnings(host, out);
    const std::set<uint32_t> given = tokens_of(a.sets);
    warn_unused(out, host, *gauge, given, "--set", failures);
    warn_unset(out, host, *gauge, given);
    if (!save_png(image, a.output)) return ExitStatus::bad_input;
    std::printf("%s: \"%s\" %d x %d\n", a.output.c_str(), gauge->name.c_str(), image.width, image.height);
    if (a.expect.empty()) return ExitStatus::ok;
    ExitStatus status =
        report_comparison(a.output + " against " + a.expect, expected, straight_picture(image), std::max(a.tolerance, 0),
                          diff_path);
    // A diff picture left by an earlier run would show a difference there is not.
    if (status == ExitStatus::ok && std::remove(diff_path.c_str()) == 0)
        std::printf("removed %s, an earlier run's diff picture\n", diff_path.c_str());
    return status;
}

}  // namespace

extern const Command render_command = {
    .name = "render",
    .operands = {"MODULE", "GAUGE"},
    .summary = "draw one gauge at the variables given",
    .description = "Installs GAUGE, updates it with the variables given and draws it at its face's size; "
                   "pure-black pixels are see-through (transparent in the PNG). The same command draws the same "
                   "bytes every time. With --expect, the picture is compared with a golden one as compare does, "
                   "and a diff picture OUT-diff.png written when they differ (exit status 2).",
    .options = {{OptionId::output, "OUT.png", "the PNG to write", true},
                {OptionId::set},
                {OptionId::fail},
                {OptionId::ticks},
                {OptionId::show_mouse},
                {OptionId::expect},
                {OptionId::tolerance}},
    .lists_variables = true,
    .run = render,
};

}  // namespace panelhost
