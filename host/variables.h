// The simulator variables as this host keeps them, keyed by token: doubles,
// except the tokens the simulator delivers as a 32-bit binary-coded-decimal
// word (a radio frequency), which are kept as that word.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "host/number_text.h"
#include "module/records/element_records.h"

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

class Variables {
public:
    static bool is_bcd(uint32_t token);

    // "61=120", "16=0x0345": false with `error` set when the text is not a
    // token and a number (a word for BCD tokens). `warning` says how a BCD
    // value that is not a plain frequency will read; empty otherwise.
    bool set(const std::string& assignment, std::string& error, std::string* warning = nullptr);
    void set_number(uint32_t token, double value) { values_[token].number = value; }
    void set_word(uint32_t token, uint32_t word) {
        values_[token] = {};
        values_[token].word = word;
    }
    // Every known variable at its preview reading `reading` (0 to 2).
    void set_previews(int reading);
    // A BCD token takes its word from `text` (0x0345 as written, 345 as the
    // frequency 345), others the number.
    bool set_text(uint32_t token, const std::string& text, std::string& error, std::string* warning = nullptr);

    // The value as a variable record carries it; unknown tokens read 0.
    VariableValue value(uint32_t token) const;
    VariableValue* slot(uint32_t token) { return &values_[token]; }
    std::string describe(uint32_t token) const;  // "61=120"

private:
    std::map<uint32_t, VariableValue> values_;
};

}  // namespace panelhost
