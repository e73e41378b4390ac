#include "csv_series.h"

#include "dlnsim/models/option_error.h"
#include "dlnsim/scenario.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace dlnsim {

namespace {

// A cell as a finite number; false when it is none.
bool Number(std::string cell, double &number) {
    auto first = cell.find_first_not_of(" \t\r");
    auto last = cell.find_last_not_of(" \t\r");
    if (first == std::string::npos)
        return false;
    cell = cell.substr(first, last - first + 1);
    char *end = nullptr;
    errno = 0;
    number = std::strtod(cell.c_str(), &end);
    return *end == '\0' && errno == 0 && std::isfinite(number);
}

} // namespace

bool IsCsvSeries(const nlohmann::json &value) {
    return value.is_object() && value.contains("csv");
}

std::vector<SeriesPoint> ReadCsvSeries(const nlohmann::json &value, const std::string &directory) {
    if (value.size() != 1 || !value.at("csv").is_string())
        throw OptionError("csv", "expected {\"csv\": \"file name\"}");
    std::string name = value.at("csv").get<std::string>();
    std::filesystem::path path(name);
    if (path.is_relative() && !directory.empty())
        path = std::filesystem::path(directory) / path;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw OptionError("csv", name + ": cannot be read");
    std::vector<SeriesPoint> points;
    std::string line;
    size_t bytes = 0;
    for (size_t number = 1; std::getline(file, line); ++number) {
        bytes += line.size() + 1;
        if (bytes > kMaxScenarioBytes)
            throw OptionError("csv", name + ": larger than 4 MiB");
        auto where = [&] { return name + ":" + std::to_string(number) + ": "; };
        if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#')
            continue;
        auto comma = line.find(',');
        SeriesPoint point;
        bool numbers = comma != std::string::npos && Number(line.substr(0, comma), point.timeS) &&
                       Number(line.substr(comma + 1), point.value);
        if (!numbers) {
            if (points.empty() && number == 1)
                continue; // the header
            throw OptionError("csv", where() + "expected a time in seconds, a comma and a value");
        }
        if (point.timeS < 0 || point.timeS > 1e9)
            throw OptionError("csv", where() + "time " + line.substr(0, comma) +
                                         " is not from 0 to 1e9 seconds");
        if (!points.empty() && point.timeS < points.back().timeS)
            throw OptionError("csv", where() + "time " + line.substr(0, comma) +
                                         " is before the time of the row above");
        if (points.size() == kMaxCsvRows)
            throw OptionError("csv", name + ": more than " + std::to_string(kMaxCsvRows) + " rows");
        points.push_back(point);
    }
    if (points.empty())
        throw OptionError("csv", name + ": no rows of time and value");
    return points;
}

nlohmann::json PathOfSeries(const std::vector<SeriesPoint> &points) {
    nlohmann::json path = nlohmann::json::array();
    for (const SeriesPoint &point : points)
        path.push_back({{"timeMs", point.timeS * 1000}, {"distanceMm", point.value}});
    return path;
}

} // namespace dlnsim
