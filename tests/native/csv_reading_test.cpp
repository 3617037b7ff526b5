// Flight CSVs as spreadsheets save them: the rows and cells read, the line
// and column each error names (lines counted as an editor counts them), and
// the limits that refuse a row, cell or column count before it is held.
#include <gtest/gtest.h>

#include "host/csv_reader.h"

namespace {

using namespace panelhost;

std::vector<CsvRow> rows_of(const std::string& text) {
    std::vector<CsvRow> rows;
    CsvError error;
    EXPECT_TRUE(read_csv(text, rows, error)) << "line " << error.line << ": " << error.text;
    return rows;
}

CsvError error_of(const std::string& text) {
    std::vector<CsvRow> rows;
    CsvError error;
    EXPECT_FALSE(read_csv(text, rows, error));
    EXPECT_EQ(error.text.find('\n'), std::string::npos) << "a message of more than one line: " << error.text;
    return error;
}

// A row of exactly `bytes` bytes, in cells of at most `cell` bytes.
std::string row_of_bytes(size_t bytes, size_t cell) {
    std::string row;
    while (row.size() < bytes) {
        if (!row.empty()) row += ',';
        row.append(std::min(cell, bytes - row.size()), '7');
    }
    return row;
}

TEST(CsvReading, QuotedCellsKeepCommasQuotesAndLineBreaks) {
    std::vector<CsvRow> rows = rows_of("\xEF\xBB\xBF" "61,\"a,b\"\r\n\"x\"\"y\", \"two\nlines\"\n# note\n\n7,8\ta");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"61", "a,b"}));
    EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"x\"y", "two\nlines"}));
    // The quoted line break is a line of its own: the comment is line 4,
    // the blank line 5, the last row 6.
    EXPECT_EQ(rows[0].line, 1);
    EXPECT_EQ(rows[1].line, 2);
    EXPECT_EQ(rows[2].line, 6);
    EXPECT_EQ(rows[2].cells, (std::vector<std::string>{"7", "8\ta"}));
}

TEST(CsvReading, ErrorsNameTheirLineAndColumn) {
    CsvError open = error_of("a,b\n1,\"never\nclosed\n");
    EXPECT_EQ(open.line, 2);
    EXPECT_EQ(open.column, 2);
    EXPECT_EQ(open.text, "a quoted cell is never closed");
    CsvError inside = error_of("a,b\r\n1,2\r\n3,x\"y\r\n");
    EXPECT_EQ(inside.line, 3);
    EXPECT_EQ(inside.column, 2);
    EXPECT_NE(inside.text.find("a quote inside a cell"), std::string::npos) << inside.text;
    CsvError after = error_of("\"a\"b\n");
    EXPECT_EQ(after.line, 1);
    EXPECT_EQ(after.column, 1);
    EXPECT_EQ(after.text, "\"b\" after the cell's closing quote");
}

TEST(CsvReading, ControlBytesAreRefusedWhereTheyStand) {
    CsvError nul = error_of(std::string("61,16\n1,12\0" "3\n", 13));
    EXPECT_EQ(nul.line, 2);
    EXPECT_EQ(nul.column, 2);
    EXPECT_EQ(nul.text, "a NUL byte (\\x00) in the cell, after \"12\"");
    // In a heading, and on the second line of a quoted cell.
    CsvError heading = error_of("61,1\x7f" "6\n1,2\n");
    EXPECT_EQ(heading.line, 1);
    EXPECT_EQ(heading.column, 2);
    EXPECT_NE(heading.text.find("\\x7f"), std::string::npos) << heading.text;
    CsvError quoted = error_of("61,16\n1,\"a\nb\x1b\"\n");
    EXPECT_EQ(quoted.line, 3);
    EXPECT_EQ(quoted.column, 2);
    EXPECT_EQ(quoted.text, "a control byte (\\x1b) in the cell, after \"a\\x0ab\"");
    CsvError after_quote = error_of("\"1\"\x01\n");
    EXPECT_EQ(after_quote.column, 1);
    CsvError comment = error_of("61\n# by\x07 hand\n1\n");
    EXPECT_EQ(comment.line, 2);
    EXPECT_EQ(comment.column, 0);
    EXPECT_EQ(comment.text, "a control byte (\\x07) in a comment");
}

TEST(CsvReading, Utf16IsNamed) {
    const std::string le("\xFF\xFE" "6\0" "1\0" "\n\0", 8), be("\xFE\xFF\0" "6\0" "1\0\n", 8);
    EXPECT_NE(error_of(le).text.find("UTF-16 text (little-endian, byte-order mark FF FE)"), std::string::npos);
    EXPECT_NE(error_of(be).text.find("UTF-16 text (big-endian, byte-order mark FE FF)"), std::string::npos);
    CsvError bare = error_of(le.substr(2));
    EXPECT_EQ(bare.line, 1);
    EXPECT_NE(bare.text.find("UTF-16 text (little-endian"), std::string::npos) << bare.text;
    EXPECT_NE(error_of(be.substr(2)).text.find("UTF-16 text (big-endian"), std::string::npos);
}

TEST(CsvReading, LimitsHoldAtTheirEdgeAndRefuseOnePast) {
    const CsvLimits limits;
    // Cells, bare and quoted (a doubled quote counts once).
    const std::string cell(limits.cell_bytes, '1');
    EXPECT_EQ(rows_of(cell + ",\"" + std::string(limits.cell_bytes - 1, '2') + "\"\"\"\n")[0].cells[1].size(),
              limits.cell_bytes);
    CsvError bare = error_of("1,2\n3," + cell + "1 \n");
    EXPECT_EQ(bare.line, 2);
    EXPECT_EQ(bare.column, 2);
    EXPECT_EQ(bare.text.find("the cell is longer than 1024 bytes: \"1111"), 0u) << bare.text;
    EXPECT_EQ(bare.text.substr(bare.text.size() - 5), "1...\"") << bare.text;
    EXPECT_LT(bare.text.size(), 200u);
    CsvError quoted = error_of("1,\"\n" + cell + "\"\"\"\n");
    EXPECT_EQ(quoted.line, 2);
    EXPECT_EQ(quoted.column, 2);
    // Columns.
    std::string columns;
    for (size_t c = 0; c < limits.columns; ++c) columns += c ? ",1" : "1";
    EXPECT_EQ(rows_of(columns)[0].cells.size(), limits.columns);
    CsvError wide = error_of("1\n" + columns + ",1\n");
    EXPECT_EQ(wide.line, 2);
    EXPECT_EQ(wide.column, int(limits.columns) + 1);
    EXPECT_EQ(wide.text, "more than 1024 columns");
    // Rows, of cells each within the cell limit; a quoted line break and
    // the blanks around cells count too.
    const std::string row = row_of_bytes(limits.row_bytes, 1000);
    EXPECT_EQ(rows_of("\n" + row + "\r\n" + row).size(), 2u);
    CsvError longer = error_of("\n" + row + "7\n");
    EXPECT_EQ(longer.line, 2);
    EXPECT_EQ(longer.text, "the row is longer than 65536 bytes");
    CsvError spanning = error_of("\"1\n2\"," + row_of_bytes(limits.row_bytes - 5, 1000));
    EXPECT_EQ(spanning.line, 1);
    EXPECT_NE(error_of(row.substr(1) + "  ").text.find("longer than"), std::string::npos);
}

TEST(CsvReading, CellsInAllRowsAreLimited) {
    // The default, four million, costs too much to reach here.
    std::vector<CsvRow> rows;
    CsvError error;
    EXPECT_TRUE(read_csv("1,2\n# a comment\n3\n\n4,5\n", rows, error, {.cells = 5})) << error.text;
    rows.clear();
    EXPECT_FALSE(read_csv("1,2\n# a comment\n3\n\n4,5,6\n", rows, error, {.cells = 5}));
    EXPECT_EQ(error.line, 5);
    EXPECT_EQ(error.column, 3);
    EXPECT_EQ(error.text, "more than 5 cells in all rows; a flight holds at most that many");
}

TEST(CsvReading, AHugeLineIsRefusedAtItsLimitNotHeld) {
    // 50 MB in one line: of cells, of one bare cell and of one quoted cell
    // holding line breaks. Each error is short and one line.
    std::string commas(50u << 20, ',');
    EXPECT_EQ(error_of(commas).text, "more than 1024 columns");
    std::string digits(50u << 20, '9');
    EXPECT_EQ(error_of(digits).text, "the row is longer than 65536 bytes");
    for (size_t i = 0; i < digits.size(); i += 3) digits[i] = '\n';
    CsvError quoted = error_of("\"" + digits + "\"");
    EXPECT_EQ(quoted.text.find("the cell is longer than 1024 bytes: \"\\x0a99\\x0a99"), 0u) << quoted.text;
    EXPECT_LT(quoted.text.size(), 200u) << quoted.text;
}

}  // namespace
