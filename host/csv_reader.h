// CSV as a spreadsheet saves it (RFC 4180): cells split at commas, a quoted
// cell may hold commas, line breaks and doubled quotes, lines end in LF or
// CRLF. Also read: a UTF-8 byte-order mark, blank lines and lines starting
// with '#' (comments), which are skipped.
#pragma once

#include <string>
#include <vector>

namespace panelhost {

struct CsvRow {
    int line = 0;  // the line the row starts on, from 1
    std::vector<std::string> cells;
};

struct CsvError {
    int line = 0;
    std::string text;
};

// False with `error` set when a quote is misplaced or never closed.
bool read_csv(const std::string& text, std::vector<CsvRow>& rows, CsvError& error);

}  // namespace panelhost
