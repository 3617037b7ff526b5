// Golden-image checks, shared by compare and render --expect.
#pragma once

#include <string>

#include "host/exit_status.h"
#include "host/picture_comparison.h"

namespace panelhost {

// Reads a PNG to compare with; false with the reason printed.
bool read_picture(const std::string& path, StraightPicture& picture);

// Compares `expected` with `actual` and prints the outcome after `subject`
// ("a.png against b.png"). When they differ: status pictures_differ, and
// the diff picture written to `diff_path` (none if empty). bad_input when
// that cannot be written.
ExitStatus report_comparison(const std::string& subject, const StraightPicture& expected,
                             const StraightPicture& actual, int tolerance, const std::string& diff_path);

}  // namespace panelhost
