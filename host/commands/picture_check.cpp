#include "host/commands/picture_check.h"

#include <cstdio>

#include "host/commands/command_support.h"

namespace panelhost {

bool read_picture(const std::string& path, StraightPicture& picture) {
    std::string error;
    if (read_png(path, picture, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

GoldenCheck check_against(const StraightPicture& expected, const StraightPicture& actual, int tolerance,
                          const std::string& diff_path) {
    GoldenCheck check;
    check.difference = compare_pictures(expected, actual, tolerance);
    check.text = difference_text(check.difference, expected, actual, tolerance);
    if (check.difference.same()) return check;
    check.status = ExitStatus::pictures_differ;
    if (!diff_path.empty() && check.difference.same_size) {
        if (!save_png(difference_picture(expected, actual, tolerance, check.difference), diff_path))
            check.status = ExitStatus::bad_input;
        else
            check.diff_picture = diff_path;
    }
    return check;
}

void print_check(const std::string& subject, const GoldenCheck& check) {
    std::printf("%s: %s\n", subject.c_str(), check.text.c_str());
    if (!check.diff_picture.empty()) std::printf("diff picture: %s\n", check.diff_picture.c_str());
}

ExitStatus report_comparison(const std::string& subject, const StraightPicture& expected,
                             const StraightPicture& actual, int tolerance, const std::string& diff_path) {
    GoldenCheck check = check_against(expected, actual, tolerance, diff_path);
    print_check(subject, check);
    return check.status;
}

}  // namespace panelhost
