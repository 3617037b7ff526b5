// The simulator variables as this host keeps them, keyed by token: doubles,
// except the tokens the simulator delivers as a 32-bit binary-coded-decimal
// word (a radio frequency), which are kept as that word.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "host/number_text.h"
#include "host/variable_catalogue.h"
#include "module/records/element_records.h"

namespace panelhost {

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
