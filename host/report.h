// Findings about a module: errors stop the host before it touches a record;
// warnings and notes are printed and the host carries on.
#pragma once

#include <string>
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

    bool has_errors() const {
        for (const Finding& f : findings)
            if (f.level == Finding::Error) return true;
        return false;
    }
    size_t count(Finding::Level level) const {
        size_t n = 0;
        for (const Finding& f : findings) n += f.level == level;
        return n;
    }
    // Every finding's text joined by newlines, for tests and messages.
    std::string text() const;

    std::vector<Finding> findings;
};

// The system's text for a Windows error code, for messages.
std::string windows_error(unsigned long code);

// printf-style formatting into a std::string.
std::string format(const char* pattern, ...) __attribute__((format(gnu_printf, 1, 2)));

}  // namespace panelhost
