#include "host/csv_reader.h"

#include <algorithm>

#include "host/base/report.h"

namespace panelhost {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\n' || c == '\r'; }
bool is_control(char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && !is_blank(c) && !is_line_end(c)) || byte == 0x7F;
}

std::string control_byte(char c) {
    if (c == '\0') return "a NUL byte (\\x00)";
    return format("a control byte (\\x%02x)", unsigned(static_cast<unsigned char>(c)));
}

// UTF-16 text read as bytes is a NUL every other byte: named for what it
// is, rather than as the first NUL.
std::string utf16_fault(const std::string& text) {
    if (text.compare(0, 2, "\xFF\xFE") == 0)
        return "UTF-16 text (little-endian, byte-order mark FF FE); save the file as UTF-8 or ASCII";
    if (text.compare(0, 2, "\xFE\xFF") == 0)
        return "UTF-16 text (big-endian, byte-order mark FE FF); save the file as UTF-8 or ASCII";
    const size_t sampled = std::min<size_t>(text.size(), 64) & ~size_t(1);
    if (sampled == 0) return "";
    size_t nul_at[2] = {0, 0};
    for (size_t i = 0; i < sampled; ++i) nul_at[i % 2] += text[i] == '\0';
    const size_t pairs = sampled / 2;
    if (nul_at[1] == pairs && nul_at[0] == 0)
        return "UTF-16 text (little-endian: a NUL after every character); save the file as UTF-8 or ASCII";
    if (nul_at[0] == pairs && nul_at[1] == 0)
        return "UTF-16 text (big-endian: a NUL before every character); save the file as UTF-8 or ASCII";
    return "";
}

class CsvParser {
public:
    CsvParser(const std::string& text, const CsvLimits& limits, CsvError& error)
        : text_(text), limits_(limits), error_(error) {}

    bool read(std::vector<CsvRow>& rows) {
        if (std::string utf16 = utf16_fault(text_); !utf16.empty()) return fail(1, 0, utf16);
        i_ = text_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        while (i_ < text_.size()) {
            const size_t start = i_;
            skip_blanks();
            if (i_ < text_.size() && is_line_end(text_[i_])) {
                end_line();
                continue;
            }
            if (i_ == text_.size()) break;
            if (text_[start] == '#') {
                for (; i_ < text_.size() && !is_line_end(text_[i_]); ++i_)
                    if (is_control(text_[i_])) return fail(line_, 0, control_byte(text_[i_]) + " in a comment");
                if (i_ < text_.size()) end_line();
                continue;
            }
            CsvRow row;
            if (!read_row(start, row)) return false;
            rows.push_back(std::move(row));
            if (i_ < text_.size()) end_line();
        }
        return true;
    }

private:
    bool fail(int line, size_t column, std::string text) {
        error_ = {line, int(column), std::move(text)};
        return false;
    }
    void skip_blanks() {
        while (i_ < text_.size() && is_blank(text_[i_])) ++i_;
    }
    // CRLF, LF or a lone CR: one line break.
    void end_line() {
        if (text_[i_] == '\r' && i_ + 1 < text_.size() && text_[i_ + 1] == '\n') ++i_;
        ++i_;
        ++line_;
    }
    bool row_too_long(size_t row_start) const { return i_ - row_start > limits_.row_bytes; }
    bool fail_row_too_long(const CsvRow& row, size_t column) {
        return fail(row.line, column, format("the row is longer than %zu bytes", limits_.row_bytes));
    }
    bool fail_cell_too_long(size_t column, std::string_view cell) {
        return fail(line_, column, format("the cell is longer than %zu bytes: \"%s\"", limits_.cell_bytes,
                                          escaped_excerpt(cell).c_str()));
    }
    bool fail_control(size_t column, std::string_view cell_so_far, char c) {
        return fail(line_, column, format("%s in the cell, after \"%s\"", control_byte(c).c_str(),
                                          escaped_excerpt(cell_so_far).c_str()));
    }

    bool read_row(size_t row_start, CsvRow& row) {
        row.line = line_;
        i_ = row_start;
        for (;;) {
            const size_t column = row.cells.size() + 1;
            if (column > limits_.columns) return fail(line_, column, format("more than %zu columns", limits_.columns));
            std::string cell;
            skip_blanks();
            if (i_ < text_.size() && text_[i_] == '"') {
                if (!read_quoted(row, column, row_start, cell)) return false;
            } else {
                const size_t cell_start = i_;
                for (; i_ < text_.size() && text_[i_] != ',' && !is_line_end(text_[i_]); ++i_) {
                    const char c = text_[i_];
                    if (c == '"')
                        return fail(line_, column, "a quote inside a cell that does not start with one (quote the "
                                                   "whole cell and double the quotes in it)");
                    if (is_control(c))
                        return fail_control(column, std::string_view(text_.data() + cell_start, i_ - cell_start), c);
                    if (row_too_long(row_start)) return fail_row_too_long(row, column);
                }
                size_t cell_end = i_;
                while (cell_end > cell_start && is_blank(text_[cell_end - 1])) --cell_end;
                const std::string_view read(text_.data() + cell_start, cell_end - cell_start);
                if (read.size() > limits_.cell_bytes) return fail_cell_too_long(column, read);
                cell.assign(read);
            }
            if (row_too_long(row_start)) return fail_row_too_long(row, column);
            if (cells_held_ == limits_.cells)
                return fail(line_, column, format("more than %zu cells in all rows; a flight holds at most that many",
                                                  limits_.cells));
            ++cells_held_;
            row.cells.push_back(std::move(cell));
            if (i_ < text_.size() && text_[i_] == ',') {
                ++i_;
                continue;
            }
            return true;
        }
    }

    bool read_quoted(const CsvRow& row, size_t column, size_t row_start, std::string& cell) {
        const int opened = line_;
        ++i_;
        for (;;) {
            if (i_ == text_.size()) return fail(opened, column, "a quoted cell is never closed");
            const char c = text_[i_];
            if (c == '"') {
                if (i_ + 1 < text_.size() && text_[i_ + 1] == '"') {
                    if (cell.size() == limits_.cell_bytes) return fail_cell_too_long(column, cell);
                    cell += '"';
                    i_ += 2;
                    continue;
                }
                ++i_;
                break;
            }
            if (is_control(c)) return fail_control(column, cell, c);
            if (cell.size() == limits_.cell_bytes) return fail_cell_too_long(column, cell);
            if (row_too_long(row_start)) return fail_row_too_long(row, column);
            if (c == '\n' || (c == '\r' && (i_ + 1 == text_.size() || text_[i_ + 1] != '\n'))) ++line_;
            cell += c;
            ++i_;
        }
        skip_blanks();
        if (i_ < text_.size() && text_[i_] != ',' && !is_line_end(text_[i_])) {
            if (is_control(text_[i_])) return fail(line_, column, control_byte(text_[i_]) + " after the closing quote");
            return fail(line_, column,
                        format("\"%s\" after the cell's closing quote", escaped(text_.substr(i_, 1)).c_str()));
        }
        return true;
    }

    const std::string& text_;
    const CsvLimits& limits_;
    CsvError& error_;
    size_t i_ = 0;
    int line_ = 1;
    size_t cells_held_ = 0;
};

}  // namespace

bool read_csv(const std::string& text, std::vector<CsvRow>& rows, CsvError& error, const CsvLimits& limits) {
    return CsvParser(text, limits, error).read(rows);
}

}  // namespace panelhost
