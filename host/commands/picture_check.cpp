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

ExitStatus report_comparison(const std::string& subject, const StraightPicture& expected,
                             const StraightPicture& actual, int tolerance, const std::string& diff_path) {
    PictureDifference difference = compare_pictures(expected, actual, tolerance);
    std::printf("%s: %s\n", subject.c_str(), difference_text(difference, expected, actual, tolerance).c_str());
    if (difference.same()) return ExitStatus::ok;
    if (!diff_path.empty() && difference.same_size) {
        if (!save_png(difference_picture(expected, actual, tolerance, difference), diff_path))
            return ExitStatus::bad_input;
        std::printf("diff picture: %s\n", diff_path.c_str());
    }
    return ExitStatus::pictures_differ;
}

}  // namespace panelhost
