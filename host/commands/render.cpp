// render: one gauge drawn at the variables given.
#include <algorithm>
#include <cstdio>

#include "host/commands/run_support.h"
#include "host/commands/gauge_description.h"
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

// The variables the gauge read while it ran, in token order, each with
// whether the run set it: auxiliary ones its routines look up for
// themselves included, which its records alone do not show.
Json variables_read_json(Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given) {
    Json read = Json::array();
    for (uint32_t token : host.tokens_read[&gauge]) {
        Json v = variable_json(token);
        v["set"] = given.count(token) > 0;
        read.push_back(v);
    }
    return read;
}

Json golden_check_json(const std::string& golden, const GoldenCheck& check) {
    const PictureDifference& d = check.difference;
    Json box = nullptr;
    if (d.differing)
        box = {{"x", d.left}, {"y", d.top}, {"width", d.right - d.left + 1}, {"height", d.bottom - d.top + 1}};
    return {{"golden", valid_utf8(golden)},
            {"same", d.same()},
            {"same_size", d.same_size},
            {"differing_pixels", d.differing},
            {"largest_difference", d.largest},
            {"box", box},
            {"text", check.text},
            {"diff_picture", check.diff_picture.empty() ? Json(nullptr) : Json(valid_utf8(check.diff_picture))}};
}

ExitStatus render(const Arguments& a) {
    Output out(a.format);
    std::vector<FailureAt> failures;
    const std::string diff_path = diff_path_for(a.output);
    if (!parse_failures(a.fails, failures, false) || !output_file_possible(a.output)) return ExitStatus::bad_input;
    // The golden picture above all: written over, the same command would
    // pass from then on.
    if (!output_is_no_input(a.output, {{"the golden picture", a.expect}, {"the module", a.operands[0]}}) ||
        (!a.expect.empty() &&
         !output_is_no_input(diff_path, {{"the golden picture", a.expect}, {"the module", a.operands[0]}})))
        return ExitStatus::bad_input;
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
    Json doc = {{"command", "render"},
                {"module", valid_utf8(a.operands[0])},
                {"gauge", valid_utf8(gauge->name)},
                {"picture", {{"path", valid_utf8(a.output)}, {"width", image.width}, {"height", image.height}}},
                {"variables_read", variables_read_json(host, *gauge, given)},
                {"comparison", nullptr}};
    if (out.is_text())
        std::printf("%s: \"%s\" %d x %d\n", a.output.c_str(), gauge->name.c_str(), image.width, image.height);
    ExitStatus status = ExitStatus::ok;
    if (!a.expect.empty()) {
        GoldenCheck check = check_against(expected, straight_picture(image), std::max(a.tolerance, 0), diff_path);
        if (check.status == ExitStatus::bad_input) return check.status;
        status = check.status;
        doc["comparison"] = golden_check_json(a.expect, check);
        if (out.is_text()) print_check(a.output + " against " + a.expect, check);
        // A diff picture left by an earlier run would show a difference there is not.
        if (status == ExitStatus::ok && std::remove(diff_path.c_str()) == 0 && out.is_text())
            std::printf("removed %s, an earlier run's diff picture\n", diff_path.c_str());
    }
    if (!out.is_text()) out.print_json(doc);
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
                   "and a diff picture OUT-diff.png written when they differ (exit status 2). With --format json it "
                   "prints what it drew and every variable the gauge read while running, its auxiliary ones "
                   "included, each with whether the run set it.",
    .options = {{OptionId::output, "OUT.png", "the PNG to write", true},
                {OptionId::set},
                {OptionId::fail},
                {OptionId::ticks},
                {OptionId::show_mouse},
                {OptionId::expect},
                {OptionId::tolerance}},
    .formats = {Format::text, Format::json},
    .lists_variables = true,
    .run = render,
};

}  // namespace panelhost
