// Golden-image checks, shared by compare and render --expect.
#pragma once

#include <string>

#include "host/exit_status.h"
#include "host/picture_comparison.h"

namespace panelhost {

// Reads a PNG to compare with; false with the reason printed.
bool read_picture(const std::string& path, StraightPicture& picture);

struct GoldenCheck {
    PictureDifference difference;
    std::string text;          // difference_text's words
    std::string diff_picture;  // where the diff picture went; empty when none was written
    // ok when the same; pictures_differ; bad_input when the diff picture
    // could not be written (the reason printed).
    ExitStatus status = ExitStatus::ok;
};

// Compares `expected` with `actual`. When they differ (and are the same
// size) the diff picture is written to `diff_path`, unless that is empty.
GoldenCheck check_against(const StraightPicture& expected, const StraightPicture& actual, int tolerance,
                          const std::string& diff_path);

// The outcome as text after `subject` ("a.png against b.png"), and where the diff picture went.
void print_check(const std::string& subject, const GoldenCheck& check);

// check_against, then print_check.
ExitStatus report_comparison(const std::string& subject, const StraightPicture& expected,
                             const StraightPicture& actual, int tolerance, const std::string& diff_path);

}  // namespace panelhost
