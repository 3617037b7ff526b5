#include "host/windows_error.h"

#include <windows.h>

#include <cctype>

#include "host/base/report.h"

namespace panelhost {

std::string windows_error(unsigned long code, const char* subject) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    for (size_t at; (at = s.find('%')) != std::string::npos && at + 1 < s.size() && std::isdigit((unsigned char)s[at + 1]);)
        s.replace(at, 2, subject);
    return s.empty() ? format("Windows error %lu", code) : format("%s (Windows error %lu)", s.c_str(), code);
}

}  // namespace panelhost
