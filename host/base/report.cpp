#include "host/base/report.h"

#include <cstdarg>
#include <cstdio>

namespace panelhost {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    return text;
}

std::string escaped(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == '\\' || byte == '"') {
            text += '\\';
            text += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            text += format("\\x%02x", byte);
        }
    }
    return text;
}

std::string escaped_excerpt(std::string_view bytes, size_t shown) {
    if (bytes.size() <= shown) return escaped(bytes);
    return escaped(bytes.substr(0, shown)) + "...";
}

std::string Report::text() const {
    std::string all;
    for (const Finding& f : findings) {
        all += f.level == Finding::Error ? "error: " : f.level == Finding::Warning ? "warning: " : "";
        all += f.text;
        all += '\n';
    }
    return all;
}

}  // namespace panelhost
