#include "host/variables.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "host/report.h"

namespace panelhost {

namespace {

// Names, units and preview readings of the variables this host knows. Any
// other token still works; it just has no name and previews at 0.
constexpr VariableInfo catalogue[] = {
    {2, "ground elevation", "1/256 m", false, {0, 0, 0}},
    {16, "radio frequency", "BCD", true, {0x0190, 0x0345, 0x0415}},
    {39, "bearing deviation", "deg", false, {-12, 0, 9}},
    {61, "airspeed", "kt", false, {45, 120, 250}},
    {70, "lateral input", "", false, {-450, 0, 600}},
    {73, "altitude", "m", false, {6, 60, 700}},
    {306, "fuel weight", "lb/gal", false, {6, 6, 6}},
    {351, "vertical input", "", false, {1500, 2468, 3700}},
    {386, "fuel quantity", "gal", false, {40, 120, 300}},
    {390, "engine speed", "RPM", false, {700, 2350, 2950}},
    {391, "manifold pressure", "lb/ft2", false, {1060, 2116, 3500}},
    {416, "temperature", "degR", false, {510, 600, 700}},
    {418, "oil pressure", "lb/ft2", false, {5000, 12000, 20000}},
    {425, "fuel pressure", "lb/ft2", false, {700, 2160, 3500}},
};

}  // namespace

std::span<const VariableInfo> known_variables() { return catalogue; }

bool parse_key(const std::string& text, int base, uint32_t& out) {
    // strtoull alone would take a sign or leading blanks, and wrap "-61".
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text.c_str(), &end, base);
    if (*end || errno || value == 0 || value > 0xFFFFFFFFull) return false;
    out = uint32_t(value);
    return true;
}

const VariableInfo* variable_info(uint32_t token) {
    for (const VariableInfo& v : catalogue)
        if (v.token == token) return &v;
    return nullptr;
}

bool Variables::is_bcd(uint32_t token) {
    const VariableInfo* info = variable_info(token);
    return info && info->bcd;
}

bool Variables::set_text(uint32_t token, const std::string& text, std::string& error) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (is_bcd(token)) {
        unsigned long long word = std::strtoull(begin, &end, 0);
        if (end == begin || *end || errno || word > 0xFFFFFFFFull || text[0] == '-') {
            error = format("variable %u takes a 32-bit binary-coded-decimal word such as 0x0345, not \"%s\"",
                           unsigned(token), text.c_str());
            return false;
        }
        set_word(token, uint32_t(word));
        return true;
    }
    double value = std::strtod(begin, &end);
    if (end == begin || *end) {
        error = format("variable %u takes a number, not \"%s\"", unsigned(token), text.c_str());
        return false;
    }
    set_number(token, value);
    return true;
}

bool Variables::set(const std::string& assignment, std::string& error) {
    size_t equals = assignment.find('=');
    uint32_t token = 0;
    if (equals == std::string::npos || !parse_key(assignment.substr(0, equals), 10, token)) {
        error = format("\"%s\" is not TOKEN=VALUE (for example 61=120 or 16=0x0345)", assignment.c_str());
        return false;
    }
    return set_text(token, assignment.substr(equals + 1), error);
}

VariableValue Variables::value(uint32_t token) const {
    auto it = values_.find(token);
    return it == values_.end() ? VariableValue{} : it->second;
}

std::string Variables::describe(uint32_t token) const {
    VariableValue v = value(token);
    if (is_bcd(token)) return format("%u=0x%04X", unsigned(token), unsigned(v.word));
    return format("%u=%g", unsigned(token), v.number);
}

}  // namespace panelhost
