// CSV as a spreadsheet saves it (RFC 4180): cells split at commas, a quoted
// cell may hold commas, line breaks and doubled quotes, lines end in LF or
// CRLF. Also read: a UTF-8 byte-order mark, blank lines and lines starting
// with '#' (comments), which are skipped. Refused: control bytes other than
// tab, CR and LF anywhere, UTF-16 text, and rows, cells or column counts
// past the limits, each before the memory for it is taken.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace panelhost {

struct CsvRow {
    int line = 0;  // the line the row starts on, from 1
    std::vector<std::string> cells;
};

struct CsvError {
    int line = 0;
    int column = 0;  // the cell's column, from 1; 0 where no cell is at fault
    std::string text;
};

// Far past any flight recording (a few dozen columns of numbers), near
// enough that a damaged or wrong file costs little before it is refused.
struct CsvLimits {
    size_t row_bytes = 65536;  // from a row's first byte to its line end, quoted line breaks included
    size_t cell_bytes = 1024;  // of one cell's text, without the blanks and quotes around it
    size_t columns = 1024;
    // In all rows: 62 hours of one column at 18 rows a second, or 4 of 14
    // columns; held, at most some 400 MB, well inside a 32-bit program.
    size_t cells = 4'000'000;
};

// False with `error` set at the first fault: a misplaced or unclosed quote,
// a control byte, UTF-16 text or a limit passed. Time is linear in the
// text's length.
bool read_csv(const std::string& text, std::vector<CsvRow>& rows, CsvError& error, const CsvLimits& limits = {});

}  // namespace panelhost
