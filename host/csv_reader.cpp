#include "host/csv_reader.h"

#include "host/report.h"

namespace panelhost {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\n' || c == '\r'; }

}  // namespace

bool read_csv(const std::string& text, std::vector<CsvRow>& rows, CsvError& error) {
    size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    auto end_line = [&] {
        // CRLF, LF or a lone CR: one line break.
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++i;
        ++line;
    };
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && is_blank(text[i])) ++i;
        if (i < text.size() && is_line_end(text[i])) {
            end_line();
            continue;
        }
        if (i == text.size()) break;
        if (text[start] == '#') {
            while (i < text.size() && !is_line_end(text[i])) ++i;
            if (i < text.size()) end_line();
            continue;
        }
        CsvRow row;
        row.line = line;
        i = start;
        for (;;) {
            std::string cell;
            while (i < text.size() && is_blank(text[i])) ++i;
            if (i < text.size() && text[i] == '"') {
                const int opened = line;
                ++i;
                for (;;) {
                    if (i == text.size()) {
                        error = {opened, "a quoted cell is never closed"};
                        return false;
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            cell += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++line;
                    cell += text[i++];
                }
                while (i < text.size() && is_blank(text[i])) ++i;
                if (i < text.size() && text[i] != ',' && !is_line_end(text[i])) {
                    error = {line, format("'%c' after the closing quote of cell %zu", text[i], row.cells.size() + 1)};
                    return false;
                }
            } else {
                while (i < text.size() && text[i] != ',' && !is_line_end(text[i])) {
                    if (text[i] == '"') {
                        error = {line, format("a quote inside cell %zu, which does not start with one (quote the whole "
                                                 "cell and double the quotes in it)",
                                                 row.cells.size() + 1)};
                        return false;
                    }
                    cell += text[i++];
                }
                while (!cell.empty() && is_blank(cell.back())) cell.pop_back();
            }
            row.cells.push_back(std::move(cell));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        rows.push_back(std::move(row));
        if (i < text.size()) end_line();
    }
    return true;
}

}  // namespace panelhost
