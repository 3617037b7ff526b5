// Files as the commands meet them, each failure with the system's own
// reason: what a path names, whether a file opens for reading, making a
// folder, writing a file whole. file_system_windows.cpp does it through the
// Windows API (and Wine's own names under Wine), file_system_posix.cpp for
// the native program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelhost {

enum class PathKind { missing, file, folder };
PathKind path_kind(const std::string& path);

// Empty when `path` opens for reading; otherwise the system's reason.
std::string reading_problem(const std::string& path);

// Makes the one folder `path`; empty when made or already there, otherwise
// the system's reason.
std::string folder_making_problem(const std::string& path);

// Whether `a` and `b` name one existing file, by the file's identity (its
// device and number), so two spellings of one file, or a link, are the same.
// False when either cannot be opened.
bool same_file(const std::string& a, const std::string& b);

// Writes the whole of `bytes` to `path`; false with `error` naming the file
// and the reason, and no file left behind, when it cannot.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace panelhost
