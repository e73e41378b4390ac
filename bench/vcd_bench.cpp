// dln-bench-vcd: what dln-sim --vcd costs. Starts two dln-sims (the default robot) on free
// ports, one drawing the bus to a VCD file and one not, and makes the same calls to both
// through two copies of our libdln, alternating call by call so that the machine's other work
// slows both alike; prints the median time of a call to each. Then makes a long run of calls
// to the drawing dln-sim and prints its resident memory as the run goes and the file's size
// per call.
//
//   dln-bench-vcd DLN_SIM LIBDLN [CALLS] [LONG_CALLS]
//
// CALLS (default 20000) of each kind to each server; LONG_CALLS (default 1000000) in the run.
#include "dln_api.h"
#include "sim_process.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// A copy of libdln of its own (a second dlopen of the same file would share its one
// connection table), connected to one server with the adapter open.
struct Session {
    Session(const std::string &libdln, const std::string &copy, uint16_t port) {
        std::ifstream from(libdln, std::ios::binary);
        std::ofstream(copy, std::ios::binary) << from.rdbuf();
        lib = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr)
            BenchFail(dlerror());
        handle = OpenAdapter(lib, port);
        std::remove(copy.c_str());
    }
    void *lib = nullptr;
    HDLN handle = 0;
};

uint8_t out[64] = {0x10, 0xCA}, in[64];

struct Kind {
    const char *name;
    std::function<DLN_RESULT(Session &)> call;
};

const std::vector<Kind> kKinds = {
    {"DlnI2cMasterWrite, 2 bytes",
     [](Session &s) {
         return FUNCTION(s.lib, DlnI2cMasterWrite)(s.handle, 0, 0x50, 0, 0, 2, out);
     }},
    {"DlnI2cMasterRead, 8 bytes",
     [](Session &s) { return FUNCTION(s.lib, DlnI2cMasterRead)(s.handle, 0, 0x50, 0, 0, 8, in); }},
    {"DlnSpiMasterReadWrite, 64 bytes",
     [](Session &s) { return FUNCTION(s.lib, DlnSpiMasterReadWrite)(s.handle, 0, 64, out, in); }},
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        BenchFail("usage: dln-bench-vcd DLN_SIM LIBDLN [CALLS] [LONG_CALLS]");
    long calls = argc > 3 ? std::atol(argv[3]) : 20000;
    long longCalls = argc > 4 ? std::atol(argv[4]) : 1000000;
    std::string base = "/tmp/dln-bench-vcd-" + std::to_string(getpid());
    std::string vcd = base + ".vcd";
    SimProcess plainSim(argv[1], {});
    SimProcess drawingSim(argv[1], {"--vcd", vcd});
    Session plain(argv[2], base + "-a.so", plainSim.port);
    Session drawing(argv[2], base + "-b.so", drawingSim.port);

    std::printf("| call | without --vcd: median (us) | with --vcd: median (us) | difference |\n"
                "|---|---:|---:|---:|\n");
    for (const Kind &kind : kKinds) {
        std::vector<double> plainUs, drawingUs;
        for (long i = 0; i < calls; ++i)
            for (int which = 0; which < 2; ++which) {
                bool draws = (which == 1) == (i % 2 == 0);
                auto start = std::chrono::steady_clock::now();
                if (kind.call(draws ? drawing : plain) != 0)
                    BenchFail(std::string(kind.name) + " failed");
                (draws ? drawingUs : plainUs)
                    .push_back(std::chrono::duration<double, std::micro>(
                                   std::chrono::steady_clock::now() - start)
                                   .count());
            }
        double p = Median(plainUs), d = Median(drawingUs);
        std::printf("| %s | %.2f | %.2f | %+.2f us (%+.1f%%) |\n", kind.name, p, d, d - p,
                    100 * (d - p) / p);
    }

    // The long run: a write and a read by turns, as a polling loop makes them.
    std::printf(
        "\nlong run with --vcd: calls, dln-sim resident memory (KiB), VCD bytes per call\n");
    auto start = std::chrono::steady_clock::now();
    struct stat before {};
    stat(vcd.c_str(), &before);
    for (long i = 1; i <= longCalls; ++i) {
        if (kKinds[static_cast<size_t>(i % 2)].call(drawing) != 0)
            BenchFail("a call of the long run failed");
        if (i % (longCalls / 10) == 0) {
            struct stat now {};
            stat(vcd.c_str(), &now);
            std::printf("%ld %ld %.1f\n", i, drawingSim.residentKiB(),
                        static_cast<double>(now.st_size - before.st_size) / static_cast<double>(i));
            std::fflush(stdout);
        }
    }
    std::printf("%.1f s of dln-sim's clock\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    std::remove(vcd.c_str());
    return 0;
}
