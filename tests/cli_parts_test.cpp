// The command line's own parsers and writers, away from any module: CSV as
// spreadsheets write it, frequencies as users type them, and JSON and XML
// that stay well formed whatever bytes a module's names hold.
#include <gtest/gtest.h>

#include "host/csv_reader.h"
#include "host/output.h"
#include "host/record_words.h"
#include "host/variables.h"

namespace panelhost {
namespace {

std::vector<CsvRow> rows_of(const std::string& text) {
    std::vector<CsvRow> rows;
    CsvError error;
    EXPECT_TRUE(read_csv(text, rows, error)) << error.line << ": " << error.text;
    return rows;
}

TEST(Csv, QuotedCellsHoldCommasQuotesAndLineBreaks) {
    std::vector<CsvRow> rows = rows_of("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\",x\r\nlast,\"\"");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"a", "b,c", "say \"hi\""}));
    EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"two\r\nlines", "x"}));
    EXPECT_EQ(rows[2].cells, (std::vector<std::string>{"last", ""}));
    // A row starting after a quoted line break is numbered from its own line.
    EXPECT_EQ(rows[2].line, 4);
}

TEST(Csv, LineEndsLeaveNothingInTheLastCell) {
    for (const char* text : {"61,16\r\n1,2\r\n", "61,16\n1,2\n", "61,16\r1,2", "\xEF\xBB\xBF" "61,16\n1,2"}) {
        std::vector<CsvRow> rows = rows_of(text);
        ASSERT_EQ(rows.size(), 2u) << text;
        EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"61", "16"})) << text;
        EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"1", "2"})) << text;
    }
}

TEST(Csv, CommentsAndBlankLinesAreSkippedAndCounted) {
    std::vector<CsvRow> rows = rows_of("# flight 1\n\n  \n61,\n# more\n 5 , \n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 4);
    EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"61", ""}));
    EXPECT_EQ(rows[1].line, 6);
    EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"5", ""}));
}

TEST(Csv, MisplacedQuotesAreNamedWithTheirLine) {
    std::vector<CsvRow> rows;
    CsvError error;
    EXPECT_FALSE(read_csv("61\n\"12\n", rows, error));
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.text, "a quoted cell is never closed");
    EXPECT_FALSE(read_csv("61,16\n1,\"2\"x\n", rows, error));
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.column, 2);
    EXPECT_EQ(error.text, "\"x\" after the cell's closing quote");
    EXPECT_FALSE(read_csv("61\n1\"2\n", rows, error));
    EXPECT_EQ(error.column, 1);
    EXPECT_NE(error.text.find("a quote inside a cell"), std::string::npos);
}

TEST(Frequency, DecimalIsTheFrequencyAndHexTheWord) {
    uint32_t word = 0;
    std::string error;
    ASSERT_TRUE(parse_bcd("345", word, error));
    EXPECT_EQ(word, 0x0345u);
    ASSERT_TRUE(parse_bcd("0x0345", word, error));
    EXPECT_EQ(word, 0x0345u);
    ASSERT_TRUE(parse_bcd("99999999", word, error));
    EXPECT_EQ(word, 0x99999999u);
    for (const char* bad : {"", "0x", "-345", "34.5", "123456789", "0x123456789", "0x34G", " 345", "345 "})
        EXPECT_FALSE(parse_bcd(bad, word, error)) << bad;
}

TEST(Frequency, WarnsHowAWordThatIsNotItsDigitsReads) {
    const VariableInfo& frequency = *variable_info(16);
    EXPECT_EQ(bcd_reading_warning(frequency, 0x0345), "");
    EXPECT_EQ(bcd_reading_warning(frequency, 0x03A5),
              "0xA is not a decimal digit (a digit routine reads it as 10, past 9); it reads as the digits 3, 10, 5");
    EXPECT_EQ(bcd_reading_warning(frequency, 0x12345),
              "more digits than the 3 shown, and only those count; it reads as the digits 3, 4, 5");
    // A non-decimal nibble beyond the shown digits is only hidden, not misread.
    EXPECT_EQ(bcd_reading_warning(frequency, 0xF0345),
              "more digits than the 3 shown, and only those count; it reads as the digits 3, 4, 5");

    Variables variables;
    std::string error, warning;
    ASSERT_TRUE(variables.set("16=345", error, &warning));
    EXPECT_EQ(variables.value(16).word, 0x0345u);
    EXPECT_EQ(warning, "");
    ASSERT_TRUE(variables.set("16=0x00F0", error, &warning));
    EXPECT_NE(warning.find("0xF is not a decimal digit"), std::string::npos);
    EXPECT_FALSE(variables.set("16=3.45", error, &warning));
    EXPECT_NE(error.find("variable 16 takes a frequency"), std::string::npos);
}

TEST(Output, BytesThatAreNotUtf8StayWellFormed) {
    EXPECT_EQ(valid_utf8("Fuel_Quantity"), "Fuel_Quantity");
    EXPECT_EQ(valid_utf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(valid_utf8("bad\xFF"), "bad\xEF\xBF\xBD");
}

TEST(Output, JunitEscapesWhatXmlCannotCarry) {
    // Failures count the cases that failed, however many messages each has.
    JunitSuite suite{"a<b>&\"c\"",
                     {{"ok", "check"}, {"bad", "check", {"x < y\nsecond\x01line"}, "out & about"}, {"worse", "check", {"1", "2"}}}};
    std::string xml = junit_xml("top", {&suite, 1});
    EXPECT_NE(xml.find("<testsuites name=\"top\" tests=\"3\" failures=\"2\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"a&lt;b&gt;&amp;&quot;c&quot;\" tests=\"3\" failures=\"2\""), std::string::npos);
    EXPECT_NE(xml.find("<testcase name=\"ok\" classname=\"check\"/>"), std::string::npos);
    // The message attribute holds the first line; the body all of it.
    EXPECT_NE(xml.find("<failure message=\"x &lt; y\">x &lt; y\nsecond?line</failure>"), std::string::npos);
    EXPECT_NE(xml.find("<system-out>out &amp; about</system-out>"), std::string::npos);
}

// Flags are named only as far as this host knows them; a combination it
// names is not claimed for half of its bits.
TEST(RecordWords, MouseFlagsAreNamedOnlyWhereKnown) {
    using Words = std::vector<std::string>;
    const std::string click = "left-button click, repeating while held";
    EXPECT_EQ(mouse_flag_words(0), Words{});
    EXPECT_EQ(mouse_flag_words(0x20200000), Words{click});
    EXPECT_EQ(mouse_flag_words(0x20200004), (Words{click, "other bits 0x00000004, not known to this host"}));
    EXPECT_EQ(mouse_flag_words(0x20000000), Words{"left-button click"});
    EXPECT_EQ(mouse_flag_words(0x00200004),
              (Words{"repeating while held", "other bits 0x00000004, not known to this host"}));
}

}  // namespace
}  // namespace panelhost
