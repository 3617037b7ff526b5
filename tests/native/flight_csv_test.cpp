// A flight's header row and numbers as play reads them: tokens, the time
// column, numbers a double holds, and messages of one line.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "host/flight_csv.h"
#include "host/number_text.h"

namespace {

using namespace panelhost;

CsvRow header_of(std::vector<std::string> cells) { return {1, std::move(cells)}; }

CsvError header_error(std::vector<std::string> cells) {
    FlightColumns columns;
    CsvError error;
    EXPECT_FALSE(read_flight_header(header_of(std::move(cells)), columns, error));
    return error;
}

TEST(FlightHeader, TokensAndOneTimeColumn) {
    FlightColumns columns;
    CsvError error;
    ASSERT_TRUE(read_flight_header(header_of({"61", "Time", "390"}), columns, error)) << error.text;
    EXPECT_EQ(columns.tokens, (std::vector<uint32_t>{61, 0, 390}));
    EXPECT_EQ(columns.time_index, 1);

    CsvError twice = header_error({"time", "61", "TIME"});
    EXPECT_EQ(twice.column, 3);
    EXPECT_EQ(twice.text, "a second \"time\" column (the first is column 1); a flight has one column of times");
    CsvError token_twice = header_error({"390", "16", "390"});
    EXPECT_EQ(token_twice.column, 3);
    EXPECT_EQ(token_twice.text, "token 390 heads two columns (1 and 3)");
    // A heading from a spreadsheet's quoted cell: its line break escaped.
    CsvError word = header_error({"61", "air\nspeed"});
    EXPECT_EQ(word.column, 2);
    EXPECT_EQ(flight_message("f.csv", word),
              "f.csv:1: column 2: the header row holds variable tokens (61,390,...) and optionally a \"time\" column, "
              "not \"air\\x0aspeed\"");
}

TEST(FlightHeader, TwoHundredThousandHeadingsReadInLinearTime) {
    std::string header;
    for (int token = 1; token <= 200000; ++token) {
        if (token > 1) header += ',';
        header += std::to_string(token);
    }
    std::vector<CsvRow> rows;
    CsvError error;
    // Refused at the column limit...
    EXPECT_FALSE(read_csv(header, rows, error));
    EXPECT_EQ(error.column, 1025);
    // ...and within raised limits read whole, the duplicate check included.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(read_csv(header + ",1\n", rows, error, {.row_bytes = header.size() + 2, .columns = 200001}));
    FlightColumns columns;
    EXPECT_FALSE(read_flight_header(rows[0], columns, error));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(error.text, "token 1 heads two columns (1 and 200001)");
    RecordProperty("seconds_for_200000_headings", std::to_string(seconds));
    std::printf("200,000 headings read and checked in %.3f s\n", seconds);
}

TEST(Numbers, OnlyWhatADoubleHolds) {
    double value = -1;
    std::string problem;
    EXPECT_TRUE(parse_number("-1.5e3", value, problem));
    EXPECT_EQ(value, -1500);
    // Too small to hold: the nearest double, here 0.
    EXPECT_TRUE(parse_number("1e-400", value, problem));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(parse_number("1" + std::string(300, '0'), value, problem));
    EXPECT_EQ(value, 1e300);
    const std::vector<std::string> past_range = {"1e400", "-1e400", "1" + std::string(400, '0'), "0x1p9999"};
    for (const std::string& past : past_range) {
        EXPECT_FALSE(parse_number(past, value, problem)) << past;
        EXPECT_NE(problem.find("past a double's range"), std::string::npos) << past << ": " << problem;
    }
    EXPECT_LT(problem.size(), 150u) << problem;
    // Written as such, infinities and not-a-number are values a gauge may
    // be given: the validator reports what it found with them that way.
    EXPECT_TRUE(parse_number("inf", value, problem));
    EXPECT_EQ(value, INFINITY);
    EXPECT_TRUE(parse_number("-Infinity", value, problem));
    EXPECT_EQ(value, -INFINITY);
    EXPECT_TRUE(parse_number("nan", value, problem));
    EXPECT_TRUE(std::isnan(value));
    EXPECT_FALSE(parse_number("12x", value, problem));
    EXPECT_EQ(problem, "not \"12x\"");
    EXPECT_FALSE(parse_number(std::string("12\0" "3", 4), value, problem));
    EXPECT_FALSE(parse_number("", value, problem));
}

TEST(Numbers, TimeCellsGoForwardInSeconds) {
    double time = 0;
    std::string problem;
    EXPECT_TRUE(read_time_cell("0.5", 0.5, time, problem));
    EXPECT_FALSE(read_time_cell("0.25", 0.5, time, problem));
    EXPECT_EQ(problem, "time 0.25 is before the row above's 0.5");
    EXPECT_FALSE(read_time_cell("1e400", 0, time, problem));
    EXPECT_EQ(problem.find("the time column takes seconds, not \"1e400\", which is past"), 0u) << problem;
    for (const char* not_finite : {"inf", "nan"}) {
        EXPECT_FALSE(read_time_cell(not_finite, 0, time, problem)) << not_finite;
        EXPECT_NE(problem.find("which is not finite"), std::string::npos) << problem;
    }
}

}  // namespace
