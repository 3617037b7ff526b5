#include "host/variable_catalogue.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "host/base/report.h"

namespace panelhost {

namespace {

// Names, units and preview readings of the variables this host knows. Any
// other token still works; it just has no name and previews at 0.
constexpr VariableInfo catalogue[] = {
    {2, "ground elevation", "1/256 m", 0, {0, 0, 0}},
    {16, "radio frequency", "BCD", 3, {0x0190, 0x0345, 0x0415}},
    {39, "bearing deviation", "deg", 0, {-12, 0, 9}},
    {61, "airspeed", "kt", 0, {45, 120, 250}},
    {70, "lateral input", "+-900 full scale", 0, {-450, 0, 600}},
    {73, "altitude", "m", 0, {6, 60, 700}},
    {306, "fuel weight", "lb/gal", 0, {6, 6, 6}},
    {351, "vertical input", "617 a scale unit", 0, {1500, 2468, 3700}},
    {386, "fuel quantity", "gal", 0, {40, 120, 300}},
    {390, "engine speed", "RPM", 0, {700, 2350, 2950}},
    {391, "manifold pressure", "lb/ft2", 0, {1060, 2116, 3500}},
    {416, "temperature", "degR", 0, {510, 600, 700}},
    {418, "oil pressure", "lb/ft2", 0, {5000, 12000, 20000}},
    {425, "fuel pressure", "lb/ft2", 0, {700, 2160, 3500}},
};

}  // namespace

std::span<const VariableInfo> known_variables() { return catalogue; }

const VariableInfo* variable_info(uint32_t token) {
    for (const VariableInfo& v : catalogue)
        if (v.token == token) return &v;
    return nullptr;
}

bool parse_bcd(const std::string& text, uint32_t& word, std::string& error) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    size_t digits = text.size() - (hex ? 2 : 0);
    bool well_formed = !text.empty() && digits <= 8;
    for (size_t i = text.size() - digits; i < text.size(); ++i)
        well_formed &= bool(hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                : std::isdigit(static_cast<unsigned char>(text[i])));
    if (!well_formed) {
        error = format("takes a frequency of up to 8 decimal digits (345) or a 32-bit binary-coded-decimal word "
                       "(0x0345), not \"%s\"",
                       escaped_excerpt(text).c_str());
        return false;
    }
    // Decimal digits are the frequency, each digit one nibble; hexadecimal
    // is the word as the simulator delivers it.
    word = std::strtoul(text.c_str() + (hex ? 2 : 0), nullptr, 16);
    return true;
}

std::string bcd_reading_warning(const VariableInfo& info, uint32_t word) {
    std::string why, digits;
    const int shown = info.bcd_digits;
    for (int d = shown - 1; d >= 0; --d) {
        unsigned nibble = (word >> (4 * d)) & 0xF;
        digits += format("%s%u", digits.empty() ? "" : ", ", nibble);
        if (nibble > 9 && why.empty())
            why = format("0x%X is not a decimal digit (a digit routine reads it as %u, past 9)", nibble, nibble);
    }
    const uint32_t hidden = shown >= 8 ? 0 : word >> (4 * shown);
    if (hidden)
        why += format("%smore digits than the %d shown, and only those count", why.empty() ? "" : "; ", shown);
    if (why.empty()) return "";
    return format("%s; it reads as the digits %s", why.c_str(), digits.c_str());
}

}  // namespace panelhost
