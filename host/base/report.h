// Findings about a module: errors stop the host before it touches a record;
// warnings and notes are printed and the host carries on. Each finding is
// one line; text taken from the module file goes through `escaped` first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace panelhost {

struct Finding {
    enum Level { Error, Warning, Note } level;
    std::string text;
};

class Report {
public:
    void error(std::string text) { findings.push_back({Finding::Error, std::move(text)}); }
    void warning(std::string text) { findings.push_back({Finding::Warning, std::move(text)}); }
    void note(std::string text) { findings.push_back({Finding::Note, std::move(text)}); }

    bool has_errors() const { return count(Finding::Error) != 0; }
    size_t count(Finding::Level level) const {
        size_t n = 0;
        for (const Finding& f : findings) n += f.level == level;
        return n;
    }
    // Every finding's text joined by newlines, for tests and messages.
    std::string text() const;

    std::vector<Finding> findings;
};

// printf-style formatting into a std::string, of any length. (MinGW's
// "printf" format check is the Windows C runtime's, which knows no %zu.)
#ifdef __MINGW32__
std::string format(const char* pattern, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
#endif

// Bytes from the module as printable text: printable ASCII stays, a
// backslash or double quote is escaped, anything else becomes \xNN, so a
// name can never break a line or drive the terminal.
std::string escaped(std::string_view bytes);
// The first `shown` bytes of `bytes`, escaped, and "..." when there are
// more: a cell of megabytes is named, not echoed.
std::string escaped_excerpt(std::string_view bytes, size_t shown = 40);

}  // namespace panelhost
