// Files through POSIX calls, for the native program. Messages read as the
// Windows program's do where the C library words the reason (write_file).
#include "host/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace panelhost {

PathKind path_kind(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return PathKind::missing;
    return S_ISDIR(status.st_mode) ? PathKind::folder : PathKind::file;
}

std::string reading_problem(const std::string& path) {
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return std::strerror(errno);
    close(file);
    return "";
}

std::string folder_making_problem(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return "";
    return std::strerror(errno);
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool plain_file_or_none(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return errno == ENOENT;
    return S_ISREG(status.st_mode);
}

void failed_writes_as_errors() { std::signal(SIGXFSZ, SIG_IGN); }

unsigned process_number() { return unsigned(getpid()); }

std::string renaming_problem(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? "" : std::strerror(errno);
}

namespace {

// "only 49152 of 100000 bytes could be written"
std::string short_write(size_t done, size_t all) {
    return "only " + std::to_string(done) + " of " + std::to_string(all) + " bytes could be written";
}

}  // namespace

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    errno = 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    struct stat status;
    bool ordinary_file = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
    size_t done = std::fwrite(bytes.data(), 1, bytes.size(), file);
    // A full disk may only show when the last of the data goes out.
    if (std::fclose(file) == 0 && done == bytes.size()) return true;
    // All of it handed over, the buffer's last flush can still fail.
    error = "cannot write " + path + ": " +
            (done == bytes.size() ? std::string("the last of its ") + std::to_string(done) + " bytes did not reach it"
                                  : short_write(done, bytes.size())) +
            (errno ? std::string(" (") + std::strerror(errno) + ")" : std::string());
    // What did get out is no picture: leave nothing that passes for one
    // (but a device named as the output is not ours to remove).
    if (ordinary_file) std::remove(path.c_str());
    return false;
}

}  // namespace panelhost
