// The simulator variables as this host keeps them, keyed by token: doubles,
// except the tokens the simulator delivers as a 32-bit binary-coded-decimal
// word (a radio frequency), which are kept as that word.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "module/records/element_records.h"

namespace panelhost {

struct VariableInfo {
    uint32_t token;
    const char* name;
    const char* unit;
    bool bcd;
    double preview[3];  // readings a preview sheet shows (BCD: the word)
};

// A whole number from 1 to 0xFFFFFFFF written in `base` (0: decimal, or 0x
// hexadecimal), nothing before or after it: a variable token or failure key.
bool parse_key(const std::string& text, int base, uint32_t& out);

// The variables this host knows by name; null for any other token.
const VariableInfo* variable_info(uint32_t token);
std::span<const VariableInfo> known_variables();

class Variables {
public:
    static bool is_bcd(uint32_t token);

    // "61=120", "16=0x0345": false with `error` set when the text is not a
    // token and a number (a word for BCD tokens).
    bool set(const std::string& assignment, std::string& error);
    void set_number(uint32_t token, double value) { values_[token].number = value; }
    void set_word(uint32_t token, uint32_t word) {
        values_[token] = {};
        values_[token].word = word;
    }
    // A BCD token takes its word from `text`, others the number.
    bool set_text(uint32_t token, const std::string& text, std::string& error);

    // The value as a variable record carries it; unknown tokens read 0.
    VariableValue value(uint32_t token) const;
    VariableValue* slot(uint32_t token) { return &values_[token]; }
    std::string describe(uint32_t token) const;  // "61=120"

private:
    std::map<uint32_t, VariableValue> values_;
};

}  // namespace panelhost
