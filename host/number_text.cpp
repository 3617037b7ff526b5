#include "host/number_text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "host/base/report.h"

namespace panelhost {

bool parse_key(const std::string& text, int base, uint32_t& out) {
    // strtoull alone would take a sign or leading blanks, and wrap "-61".
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    // Base 0 would also read a leading zero as octal: "010" is ten, not eight.
    if (base == 0) base = text.size() > 1 && (text[1] == 'x' || text[1] == 'X') && text[0] == '0' ? 16 : 10;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text.c_str(), &end, base);
    if (*end || errno || value == 0 || value > 0xFFFFFFFFull) return false;
    out = uint32_t(value);
    return true;
}

bool parse_number(const std::string& text, double& value, std::string& problem) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double read = std::strtod(begin, &end);
    const std::string shown = escaped_excerpt(text);
    if (end == begin || size_t(end - begin) != text.size()) {
        problem = format("not \"%s\"", shown.c_str());
        return false;
    }
    // "inf" and "nan" written as such are values a gauge may be given (the
    // validator reports its findings that way); a number written in digits
    // that strtod can only make infinite is past a double's range.
    if (std::isinf(read) && text.find_first_of("iI") == std::string::npos) {
        problem = format("not \"%s\", which is past a double's range (about 1.8e308 either way)", shown.c_str());
        return false;
    }
    value = read;
    return true;
}

}  // namespace panelhost
