// dln-bench-record: the cost of the recording library per adapter call. Starts dln-sim (the
// default robot) on a free port and makes the same calls through our libdln directly and
// through the recording library in front of it, alternating call by call so that a
// disturbance of the machine hits both alike; prints the median time of a call through each.
//
//   dln-bench-record DLN_SIM LIBDLN RECORDING_LIBDLN [ROUNDS] [CALLS]
//
// Each kind of call is made ROUNDS x CALLS times (default 10 x 2000) through each library.
#include "dln_api.h"
#include "sim_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// One library's session: connected, an adapter open, the loopback line selected.
struct Session {
    Session(void *lib, uint16_t port) : lib(lib), handle(OpenAdapter(lib, port)) {}
    void *lib;
    HDLN handle = 0;
};

struct Kind {
    const char *name;
    std::function<DLN_RESULT(Session &)> call;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4)
        BenchFail("usage: dln-bench-record DLN_SIM LIBDLN RECORDING_LIBDLN [ROUNDS] [CALLS]");
    int rounds = argc > 4 ? std::atoi(argv[4]) : 10;
    int calls = argc > 5 ? std::atoi(argv[5]) : 2000;
    std::string file = "/tmp/dln-bench-record-" + std::to_string(getpid()) + ".jsonl";
    setenv("DLN_RECORD_TARGET", argv[2], 1);
    setenv("DLN_RECORD_FILE", file.c_str(), 1);
    SimProcess sim(argv[1]);
    void *plainLib = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    void *recordLib = dlopen(argv[3], RTLD_NOW | RTLD_LOCAL);
    if (plainLib == nullptr || recordLib == nullptr)
        BenchFail(dlerror());
    Session plain(plainLib, sim.port);
    Session recorded(recordLib, sim.port);

    static uint8_t out[64] = {0x10, 0xCA}, in[64];
    std::vector<Kind> kinds = {
        {"DlnI2cMasterWrite, 2 bytes",
         [](Session &s) {
             return FUNCTION(s.lib, DlnI2cMasterWrite)(s.handle, 0, 0x50, 0, 0, 2, out);
         }},
        {"DlnI2cMasterRead, 8 bytes",
         [](Session &s) {
             return FUNCTION(s.lib, DlnI2cMasterRead)(s.handle, 0, 0x50, 0, 0, 8, in);
         }},
        {"DlnSpiMasterReadWrite, 64 bytes",
         [](Session &s) {
             return FUNCTION(s.lib, DlnSpiMasterReadWrite)(s.handle, 0, 64, out, in);
         }},
    };
    std::printf("| call | through libdln: median (us) | through the recorder: median (us) | "
                "difference |\n|---|---:|---:|---:|\n");
    for (Kind &kind : kinds) {
        // Call by call, alternating which library goes first, so that the machine's other
        // work slows both alike; the medians drop the disturbed calls.
        std::vector<double> plainUs, recordedUs;
        for (int i = 0; i < rounds * calls; ++i) {
            for (int which = 0; which < 2; ++which) {
                bool throughRecorder = (which == 1) == (i % 2 == 0);
                Session &session = throughRecorder ? recorded : plain;
                auto start = std::chrono::steady_clock::now();
                if (kind.call(session) != 0)
                    BenchFail(std::string(kind.name) + " failed");
                double us = std::chrono::duration<double, std::micro>(
                                std::chrono::steady_clock::now() - start)
                                .count();
                (throughRecorder ? recordedUs : plainUs).push_back(us);
            }
        }
        double p = Median(plainUs), r = Median(recordedUs);
        std::printf("| %s | %.2f | %.2f | %+.2f us (%+.1f%%) |\n", kind.name, p, r, r - p,
                    100 * (r - p) / p);
    }
    std::remove(file.c_str());
    return 0;
}
