// dln-bench-floor measure RESULTS_DIR: times the exchanges of each call the Java benchmark
// counted (count.tsv, one NAME.trace per case) over a bare TCP socket and adds the medians
// to floor.tsv. dln-bench-floor table RESULTS_DIR: prints the table of results in Markdown
// from count.tsv, time.tsv and floor.tsv, each holding the rows of one or more runs.
#include "echo_floor.h"
#include "frame_sizes.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Row = std::vector<std::string>;

// The rows of a tab-separated file with a header line, keyed by their first field. Of rows
// with the same key the one whose field `lowest` is smallest is kept (-1: the last one).
std::map<std::string, Row> ReadTable(const std::string &path, std::vector<std::string> *order,
                                     int lowest = -1) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::map<std::string, Row> rows;
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        Row row;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            row.push_back(field);
        if (row.empty())
            continue;
        auto known = rows.find(row[0]);
        if (known == rows.end() && order)
            order->push_back(row[0]);
        bool better = known == rows.end() || lowest < 0 ||
                      (row.size() > size_t(lowest) && known->second.size() > size_t(lowest) &&
                       std::stod(row[lowest]) < std::stod(known->second[lowest]));
        if (better)
            rows[row[0]] = row;
    }
    return rows;
}

std::vector<FrameSizes> ReadExchanges(const std::string &path) {
    std::ifstream in(path);
    std::vector<FrameSizes> exchanges;
    for (std::string line; std::getline(in, line);)
        if (auto sizes = FrameSizesOfTraceLine(line))
            exchanges.push_back(*sizes);
    return exchanges;
}

double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    size_t at = static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// Adds one floor row per case to floor.tsv: the median time of its exchanges over a bare socket.
void MeasureFloors(const std::string &dir) {
    std::vector<std::string> order;
    auto counts = ReadTable(dir + "/count.tsv", &order);
    EchoServer server;
    std::string path = dir + "/floor.tsv";
    bool fresh = !std::ifstream(path).good();
    std::ofstream out(path, std::ios::app);
    if (fresh)
        out << "case\tfloorUs\n";
    for (const std::string &name : order) {
        auto exchanges = ReadExchanges(dir + "/" + name + ".trace");
        // As many repetitions as the longest calls allow within about a second.
        int reps = std::clamp(static_cast<int>(200000 / (exchanges.size() * 10 + 1)), 10, 400);
        TimeExchanges(server.port(), exchanges, std::max(2, reps / 10)); // warm-up
        out << name << '\t' << Quantile(TimeExchanges(server.port(), exchanges, reps), 0.5) << '\n';
    }
    auto connects = TimeConnects(server.port(), 200);
    out << "tcp_connect_close\t" << Quantile(connects, 0.5) << '\n';
}

// Prints the table. Other programs share the machine: of several runs of the Java calls and
// of the floor, the least disturbed one (the lowest median) counts.
void PrintTable(const std::string &dir) {
    std::vector<std::string> order;
    auto times = ReadTable(dir + "/time.tsv", &order, 2);
    auto counts = ReadTable(dir + "/count.tsv", nullptr);
    auto floors = ReadTable(dir + "/floor.tsv", nullptr, 1);
    std::printf("| Java call | adapter calls | median ms | p99 ms | max ms | round-trip "
                "floor ms | median / floor | gap between calls p99 / max ms |\n"
                "|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const std::string &name : order) {
        const Row &time = times[name];
        if (time.size() < 5 || counts[name].size() < 4 || floors[name].size() < 2)
            continue;
        const Row &count = counts[name];
        double floorUs = std::stod(floors[name][1]);
        double medianUs = std::stod(time[2]);
        std::printf("| `%s` | %s | %.3f | %.3f | %.3f | %.3f | %.2f | %.3f / %.3f |\n",
                    name.c_str(), count[1].c_str(), medianUs / 1000, std::stod(time[3]) / 1000,
                    std::stod(time[4]) / 1000, floorUs / 1000, medianUs / floorUs,
                    std::stod(count[3]) / 1000, std::stod(count[2]) / 1000);
    }
    if (floors["tcp_connect_close"].size() >= 2)
        std::printf("\nA bare TCP connect and close on loopback: median %.3f ms.\n",
                    std::stod(floors["tcp_connect_close"][1]) / 1000);
}

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "measure" && mode != "table") {
        std::fprintf(stderr, "usage: dln-bench-floor measure|table RESULTS_DIR\n");
        return 2;
    }
    try {
        if (mode == "measure")
            MeasureFloors(argv[2]);
        else
            PrintTable(argv[2]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-bench-floor: %s\n", e.what());
        return 1;
    }
    return 0;
}
