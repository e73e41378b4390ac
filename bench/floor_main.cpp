// dln-bench-floor RESULTS_DIR: reads what the Java benchmark left in RESULTS_DIR (count.tsv,
// time.tsv and one NAME.trace per case), times the same exchanges over a bare TCP socket and
// prints the table of results in Markdown.
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

// The rows of a tab-separated file with a header line, keyed by their first field.
std::map<std::string, Row> ReadTable(const std::string &path, std::vector<std::string> *order) {
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
        if (order)
            order->push_back(row[0]);
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

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dln-bench-floor RESULTS_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    try {
        std::vector<std::string> order;
        auto times = ReadTable(dir + "/time.tsv", &order);
        auto counts = ReadTable(dir + "/count.tsv", nullptr);
        EchoServer server;

        std::printf("| Java call | adapter calls | median ms | p99 ms | longest gap between "
                    "calls ms | round-trip floor ms | median / floor |\n"
                    "|---|---:|---:|---:|---:|---:|---:|\n");
        for (const std::string &name : order) {
            const Row &time = times[name];
            if (time.size() < 5 || counts.count(name) == 0 || counts[name].size() < 3)
                continue;
            auto exchanges = ReadExchanges(dir + "/" + name + ".trace");
            int reps = std::max(20, std::stoi(time[1]));
            TimeExchanges(server.port(), exchanges, std::max(2, reps / 10)); // warm-up
            double floorUs = Quantile(TimeExchanges(server.port(), exchanges, reps), 0.5);
            double medianUs = std::stod(time[2]);
            std::printf("| `%s` | %s | %.3f | %.3f | %.3f | %.3f | %.2f |\n", name.c_str(),
                        counts[name][1].c_str(), medianUs / 1000, std::stod(time[3]) / 1000,
                        std::stod(counts[name][2]) / 1000, floorUs / 1000, medianUs / floorUs);
        }
        auto connects = TimeConnects(server.port(), 200);
        std::printf("\nA bare TCP connect and close on loopback: median %.3f ms, p99 %.3f ms.\n",
                    Quantile(connects, 0.5) / 1000, Quantile(connects, 0.99) / 1000);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-bench-floor: %s\n", e.what());
        return 1;
    }
    return 0;
}
