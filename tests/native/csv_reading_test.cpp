// Flight CSVs as spreadsheets save them: the rows and cells read, and the
// line each error names, counted as an editor counts lines.
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
    return error;
}

TEST(CsvReading, QuotedCellsKeepCommasQuotesAndLineBreaks) {
    std::vector<CsvRow> rows = rows_of("\xEF\xBB\xBF" "61,\"a,b\"\r\n\"x\"\"y\", \"two\nlines\"\n# note\n\n7,8");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"61", "a,b"}));
    EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"x\"y", "two\nlines"}));
    // The quoted line break is a line of its own: the comment is line 4,
    // the blank line 5, the last row 6.
    EXPECT_EQ(rows[0].line, 1);
    EXPECT_EQ(rows[1].line, 2);
    EXPECT_EQ(rows[2].line, 6);
    EXPECT_EQ(rows[2].cells, (std::vector<std::string>{"7", "8"}));
}

TEST(CsvReading, ErrorsNameTheirLine) {
    CsvError open = error_of("a,b\n1,\"never\nclosed\n");
    EXPECT_EQ(open.line, 2);
    EXPECT_EQ(open.text, "a quoted cell is never closed");
    CsvError inside = error_of("a,b\r\n1,2\r\n3,x\"y\r\n");
    EXPECT_EQ(inside.line, 3);
    EXPECT_NE(inside.text.find("cell 2"), std::string::npos) << inside.text;
    CsvError after = error_of("\"a\"b\n");
    EXPECT_EQ(after.line, 1);
    EXPECT_NE(after.text.find("'b' after the closing quote of cell 1"), std::string::npos) << after.text;
}

}  // namespace
