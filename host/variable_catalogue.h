// The simulator variables this host knows by name, with their units and
// preview readings, and how a token, a failure key and a binary-coded-decimal
// value are written on the command line. Portable: the native program lists
// the catalogue and names variables from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/number_text.h"

namespace panelhost {

struct VariableInfo {
    uint32_t token;
    const char* name;
    const char* unit;
    int bcd_digits;     // a binary-coded-decimal word's digits an instrument shows; 0: a double
    double preview[3];  // readings a preview sheet shows (BCD: the word)
    bool bcd() const { return bcd_digits > 0; }
};

// A BCD variable's text as its word: "0x0345" is the word itself, "345" the
// decimal number 345 in binary-coded decimal (0x0345). False with `error`
// set for anything else or more than the word's eight digits.
bool parse_bcd(const std::string& text, uint32_t& word, std::string& error);

// How an instrument showing `info`'s digits reads `word` when that is not
// simply its digits: a nibble above 9, or digits beyond those it shows.
// Empty when the word reads as written.
std::string bcd_reading_warning(const VariableInfo& info, uint32_t word);

// The variables this host knows by name; null for any other token.
const VariableInfo* variable_info(uint32_t token);
std::span<const VariableInfo> known_variables();

}  // namespace panelhost
