#include "host/variables.h"

#include <cstdlib>

#include "host/base/report.h"

namespace panelhost {

bool Variables::is_bcd(uint32_t token) {
    const VariableInfo* info = variable_info(token);
    return info && info->bcd();
}

bool Variables::set_text(uint32_t token, const std::string& text, std::string& error, std::string* warning) {
    if (warning) warning->clear();
    if (const VariableInfo* info = variable_info(token); info && info->bcd()) {
        uint32_t word = 0;
        if (!parse_bcd(text, word, error)) {
            error = format("variable %u %s", unsigned(token), error.c_str());
            return false;
        }
        if (warning) *warning = bcd_reading_warning(*info, word);
        set_word(token, word);
        return true;
    }
    double value = 0;
    std::string problem;
    if (!parse_number(text, value, problem)) {
        error = format("variable %u takes a number, %s", unsigned(token), problem.c_str());
        return false;
    }
    set_number(token, value);
    return true;
}

bool Variables::set(const std::string& assignment, std::string& error, std::string* warning) {
    size_t equals = assignment.find('=');
    uint32_t token = 0;
    if (equals == std::string::npos || !parse_key(assignment.substr(0, equals), 10, token)) {
        error = format("\"%s\" is not TOKEN=VALUE (for example 61=120 or 16=0x0345)", assignment.c_str());
        return false;
    }
    return set_text(token, assignment.substr(equals + 1), error, warning);
}

void Variables::set_previews(int reading) {
    for (const VariableInfo& v : known_variables()) {
        if (v.bcd()) set_word(v.token, uint32_t(v.preview[reading]));
        else set_number(v.token, v.preview[reading]);
    }
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
