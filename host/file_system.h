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

// Whether `path` names a plain file on disk, or nothing yet: not a folder,
// not a device (a console, a pipe, /dev/stdout).
bool plain_file_or_none(const std::string& path);

// Makes a file-size limit (ulimit -f) a failed write, reported naming the
// file, rather than a signal that ends the process mid-write.
void failed_writes_as_errors();

// This process's number, for names of temporary files no other run uses.
unsigned process_number();

// Renames `from` over `to`, replacing a file there at once; empty when
// done, otherwise the system's reason.
std::string renaming_problem(const std::string& from, const std::string& to);

// Writes the whole of `bytes` to `path`; false with `error` naming the file
// and the reason, and no file left behind, when it cannot.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace panelhost
