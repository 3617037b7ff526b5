// Files the reader's tests read: the built module (--module=PATH, or
// Corvalenx.gau beside the test program) and small fixtures beside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelhost::testing {

std::string built_module_path();
// A file's bytes; an empty vector when it cannot be read.
std::vector<uint8_t> file_bytes(const std::string& path);

}  // namespace panelhost::testing
