// compare: two pictures, pixel by pixel, for golden-image tests.
#include <algorithm>
#include <cstdio>

#include "host/commands/command_support.h"
#include "host/commands/picture_check.h"

namespace panelhost {

namespace {

ExitStatus compare(const Arguments& a) {
    if (!a.output.empty() &&
        (!output_file_possible(a.output) ||
         !output_is_no_input(a.output, {{"the first picture", a.operands[0]}, {"the second picture", a.operands[1]}})))
        return ExitStatus::bad_input;
    StraightPicture first, second;
    if (!read_picture(a.operands[0], first) || !read_picture(a.operands[1], second)) return ExitStatus::bad_input;
    return report_comparison(a.operands[0] + " against " + a.operands[1], first, second, std::max(a.tolerance, 0),
                             a.output);
}

}  // namespace

extern const Command compare_command = {
    .name = "compare",
    .operands = {"A.png", "B.png"},
    .summary = "compare two pictures pixel by pixel",
    .description =
        "Compares two PNG pictures of the same size pixel by pixel. A pixel differs when one of its channels (red, "
        "green, blue, alpha; 0 to 255, alpha straight) differs by more than --tolerance; two wholly see-through "
        "pixels are the same whatever colour they carry. Prints how many pixels differ, by how much at most and "
        "the box around them; exit status 0 when none differ, 2 when some do (or the sizes differ).",
    .options = {{OptionId::output, "DIFF.png",
                 "where to write, when they differ, A dimmed to grey with each differing pixel in red and the box "
                 "around them in yellow"},
                {OptionId::tolerance}},
    .run = compare,
};

}  // namespace panelhost
