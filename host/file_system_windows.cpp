// Files through the Windows API. Under Wine a new file is made by Wine's own
// name for it, which it looks up as written (see write_file).
#include "host/file_system.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "host/windows_error.h"
#include "host/wine_names.h"

namespace panelhost {

PathKind path_kind(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::missing;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::folder : PathKind::file;
}

std::string reading_problem(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return windows_error(GetLastError());
    CloseHandle(file);
    return "";
}

std::string folder_making_problem(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return "";
    return windows_error(GetLastError());
}

namespace {

// The volume and file number of an existing file, or null when it cannot
// be opened; zeros where the system keeps no numbers.
std::optional<BY_HANDLE_FILE_INFORMATION> identity(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known) return std::nullopt;
    return info;
}

std::string full_name(const std::string& path) {
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return n && n < MAX_PATH ? std::string(full, n) : path;
}

bool same_name(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), int(a.size()), b.data(), int(b.size())) ==
           CSTR_EQUAL;
}

// Wine's own name for a file of the machine it runs on, "\\?\unix\..." with
// the file's path there; empty on Windows, or when `path` has none.
std::wstring wine_direct_name(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    std::string directory = cut == std::string::npos ? "." : path.substr(0, cut + 1);
    std::string name = path.substr(cut == std::string::npos ? 0 : cut + 1);
    bool plain = !name.empty() && name != "." && name != "..";
    for (char c : name) plain &= std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    std::string machine_directory = plain ? machine_name_of_folder(directory) : "";
    if (machine_directory.empty()) return {};
    std::wstring direct = L"\\\\?\\unix" + widened(machine_directory, CP_UTF8);
    std::replace(direct.begin(), direct.end(), L'/', L'\\');
    return direct + widened(name, CP_ACP);
}

// "only 49152 of 100000 bytes could be written"
std::string short_write(size_t done, size_t all) {
    return "only " + std::to_string(done) + " of " + std::to_string(all) + " bytes could be written";
}

bool write_through_crt(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    errno = 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    bool ordinary_file = GetFileType(HANDLE(_get_osfhandle(_fileno(file)))) == FILE_TYPE_DISK;
    size_t done = std::fwrite(bytes.data(), 1, bytes.size(), file);
    // A full disk may only show when the last of the data goes out.
    if (std::fclose(file) == 0 && done == bytes.size()) return true;
    error = "cannot write " + path + ": " + short_write(done, bytes.size()) +
            (errno ? std::string(" (") + std::strerror(errno) + ")" : std::string());
    if (ordinary_file) std::remove(path.c_str());
    return false;
}

}  // namespace

bool plain_file_or_none(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
}

// Windows has no file-size signal: a limit is a failed write already.
void failed_writes_as_errors() {}

unsigned process_number() { return unsigned(GetCurrentProcessId()); }

std::string renaming_problem(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return "";
    return windows_error(GetLastError());
}

bool same_file(const std::string& a, const std::string& b) {
    std::optional<BY_HANDLE_FILE_INFORMATION> first = identity(a), second = identity(b);
    if (!first || !second) return false;
    // Where no file numbers are kept, the full names must do.
    if (!first->nFileIndexHigh && !first->nFileIndexLow) return same_name(full_name(a), full_name(b));
    return first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh && first->nFileIndexLow == second->nFileIndexLow;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    // Under Wine, creating a file by its Windows name, when no file has that
    // name yet, reads the whole directory for the name in another case: a
    // replay's frames took longer each, 7 ms apiece by the ten thousandth in
    // one directory. Wine's own name for the file is looked up as written.
    std::wstring direct = wine_direct_name(path);
    HANDLE file = direct.empty() ? INVALID_HANDLE_VALUE
                                 : CreateFileW(direct.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
    // Anything that open cannot do goes the ordinary way, whose errno says
    // why it failed.
    if (file == INVALID_HANDLE_VALUE) return write_through_crt(path, bytes, error);
    DWORD done = 0;
    bool sent = WriteFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr);
    DWORD code = sent ? 0 : GetLastError();
    bool ordinary_file = GetFileType(file) == FILE_TYPE_DISK;
    if (!CloseHandle(file) && sent) sent = false, code = GetLastError();
    if (sent && done == bytes.size()) return true;
    error = "cannot write " + path + ": " +
            (sent ? short_write(done, bytes.size()) + " (is the disk full?)" : windows_error(code));
    // What did get out is no picture: leave nothing that passes for one
    // (but a device named as the output is not ours to remove).
    if (ordinary_file) DeleteFileW(direct.c_str());
    return false;
}

}  // namespace panelhost
