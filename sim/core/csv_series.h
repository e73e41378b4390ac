// Numeric settings that change over time, from CSV files of time and value (data recorded on
// the robot): {"csv": "wall.csv"} in place of a setting's value.
//
//   time,value          an optional header line; then seconds (from when the series starts,
//   0,800               not decreasing) and the setting's value, one row a line; blank lines
//   0.5,790             and lines starting with # are skipped
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace dlnsim {

constexpr size_t kMaxCsvRows = 100000;

struct SeriesPoint {
    double timeS = 0;
    double value = 0;
};

// Whether value asks for a series ({"csv": file}).
bool IsCsvSeries(const nlohmann::json &value);
// The rows of value's file, relative to directory unless absolute. Throws OptionError("csv",
// "wall.csv:3: ...") naming the file, the line and the problem.
std::vector<SeriesPoint> ReadCsvSeries(const nlohmann::json &value, const std::string &directory);
// A laser path of the rows: waypoints with timeMs and distanceMm.
nlohmann::json PathOfSeries(const std::vector<SeriesPoint> &points);

} // namespace dlnsim
