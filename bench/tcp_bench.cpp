// One adapter call over TCP on loopback: through libdln to the simulator's server, next to
// the same exchange (22-byte request, 9-byte reply) over a bare socket to an echo server, and
// the connect and disconnect that every method of the library makes.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/server.h"
#include "echo_floor.h"

#include <benchmark/benchmark.h>

namespace {

constexpr const char *kHost = "127.0.0.1";

constexpr FrameSizes kWriteOneByte = {22, 9}; // request header + 1 byte; bare reply

void BM_BareExchange(benchmark::State &state) {
    EchoServer server;
    EchoClient client(server.port());
    for (auto _ : state)
        client.exchange(kWriteOneByte);
}

void BM_BareConnectClose(benchmark::State &state) {
    EchoServer server;
    for (auto _ : state)
        EchoClient client(server.port());
}

struct SimServer {
    std::shared_ptr<dlnsim::Simulator> sim =
        dlnsim::SimBuilder()
            .i2c(0x50, std::make_shared<dlnsim::RegisterDevice>())
            .traceLimit(1000)
            .build();
    dlnsim::Server server{sim, [](const std::string &) {}};
    SimServer() { server.start(0); }
};

void BM_DlnI2cWriteOneByte(benchmark::State &state) {
    SimServer s;
    uint16_t port = s.server.port();
    HDLN handle = 0;
    if (!DLN_SUCCEEDED(DlnConnect(kHost, port)) || !DLN_SUCCEEDED(DlnOpenDevice(0, &handle))) {
        state.SkipWithError("cannot reach the server");
        return;
    }
    const uint8_t byte = 0x10;
    for (auto _ : state)
        benchmark::DoNotOptimize(DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 1, &byte));
    DlnCloseHandle(handle);
    DlnDisconnect(kHost, port);
}

// What every method adds around its calls: a connect and a disconnect with count 1 -> 0.
void BM_DlnConnectDisconnect(benchmark::State &state) {
    SimServer s;
    uint16_t port = s.server.port();
    for (auto _ : state) {
        benchmark::DoNotOptimize(DlnConnect(kHost, port));
        benchmark::DoNotOptimize(DlnDisconnect(kHost, port));
    }
}

BENCHMARK(BM_BareExchange);
BENCHMARK(BM_DlnI2cWriteOneByte);
BENCHMARK(BM_BareConnectClose)->Iterations(300);
BENCHMARK(BM_DlnConnectDisconnect);

} // namespace

BENCHMARK_MAIN();
