#include "host/flight_csv.h"

#include <cmath>

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "host/base/report.h"
#include "host/number_text.h"

namespace panelhost {

namespace {

bool is_time_heading(std::string cell) {
    std::transform(cell.begin(), cell.end(), cell.begin(), [](unsigned char c) { return std::tolower(c); });
    return cell == time_column;
}

}  // namespace

bool read_flight_header(const CsvRow& header, FlightColumns& columns, CsvError& error) {
    // Each token's first column, from 1: one lookup a column, not a search.
    std::unordered_map<uint32_t, size_t> first_column;
    first_column.reserve(header.cells.size());
    for (size_t i = 0; i < header.cells.size(); ++i) {
        const std::string& cell = header.cells[i];
        const int column = int(i) + 1;
        uint32_t token = 0;
        if (is_time_heading(cell)) {
            if (columns.time_index >= 0) {
                error = {header.line, column, format("a second \"%s\" column (the first is column %d); a flight has "
                                                     "one column of times",
                                                     time_column, columns.time_index + 1)};
                return false;
            }
            columns.time_index = int(i);
        } else if (!parse_key(cell, 10, token)) {
            error = {header.line, column, format("the header row holds variable tokens (61,390,...) and optionally a "
                                                 "\"%s\" column, not \"%s\"",
                                                 time_column, escaped_excerpt(cell).c_str())};
            return false;
        } else if (auto [seen, first] = first_column.try_emplace(token, i + 1); !first) {
            error = {header.line, column, format("token %u heads two columns (%zu and %d)", unsigned(token),
                                                 seen->second, column)};
            return false;
        }
        columns.tokens.push_back(token);
    }
    return true;
}

bool read_time_cell(const std::string& cell, double last, double& time, std::string& problem) {
    std::string why;
    if (!parse_number(cell, time, why)) {
        problem = format("the %s column takes seconds, %s", time_column, why.c_str());
        return false;
    }
    if (!std::isfinite(time)) {
        problem = format("the %s column takes seconds, not \"%s\", which is not finite", time_column,
                         escaped_excerpt(cell).c_str());
        return false;
    }
    if (time < last) {
        problem = format("time %s is before the row above's %g", escaped_excerpt(cell).c_str(), last);
        return false;
    }
    return true;
}

std::string flight_message(const std::string& path, const CsvError& error) {
    if (error.column <= 0) return format("%s:%d: %s", path.c_str(), error.line, error.text.c_str());
    return format("%s:%d: column %d: %s", path.c_str(), error.line, error.column, error.text.c_str());
}

}  // namespace panelhost
