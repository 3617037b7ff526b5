// A flight CSV's header and cells as play reads them, with no Windows code:
// the header's tokens and its optional time column, numbers that must fit a
// double, and each message one line naming the file, line and column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/csv_reader.h"

namespace panelhost {

// The optional column of times (seconds) a flight recorder writes: checked,
// not used, since each row is one update tick.
inline constexpr const char* time_column = "time";

// A flight file is read whole before its cells are checked: four million
// cells (the CSV limit) of a few digits each fit well inside.
inline constexpr size_t max_flight_file_bytes = size_t(256) << 20;

struct FlightColumns {
    std::vector<uint32_t> tokens;  // per column; 0 for the time column
    int time_index = -1;           // from 0; -1 when there is none
};

// The header row: variable tokens, each heading one column, and at most one
// "time" column (any case). False with `error` naming the column. Linear
// in the number of columns.
bool read_flight_header(const CsvRow& header, FlightColumns& columns, CsvError& error);

// A time cell: seconds, not before `last` (the row above's, or -infinity).
bool read_time_cell(const std::string& cell, double last, double& time, std::string& problem);

// "flight.csv:3: column 2: text", or without the column when it is 0.
std::string flight_message(const std::string& path, const CsvError& error);

}  // namespace panelhost
