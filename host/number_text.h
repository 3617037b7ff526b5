// Numbers as command lines and flight CSVs write them, read strictly:
// nothing before or after the number, nothing a value's type cannot hold.
#pragma once

#include <cstdint>
#include <string>

namespace panelhost {

// A whole number from 1 to 0xFFFFFFFF written in `base` (0: decimal, or 0x
// hexadecimal), nothing before or after it: a variable token or failure key.
bool parse_key(const std::string& text, int base, uint32_t& out);

// A number as strtod reads it, "inf" and "nan" included: false for other
// text and for numbers written in digits past a double's range (1e400),
// with `problem` saying so as what follows "takes a number, " (not "1e400",
// which is ...). One too small to hold becomes 0 or the nearest.
bool parse_number(const std::string& text, double& value, std::string& problem);

}  // namespace panelhost
