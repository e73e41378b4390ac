// One adapter call over TCP on loopback: through libdln to the simulator's server, next to
// the same exchange (22-byte request, 9-byte reply) over a bare socket to an echo server, and
// the connect and disconnect that every method of the library makes; and a two-byte read of
// a built-in model next to the same read of an external device, answered by a provider over
// the provider protocol on loopback.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/providers.h"
#include "dlnsim/server.h"
#include "echo_floor.h"
#include "support/line_provider.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <string>

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

// A provider as small as one can be: claims 0x4A and answers every read with its count of
// bytes, parsing each request as JSON as any provider would.
std::string AnswerReads(const nlohmann::json &request) {
    nlohmann::json answer = {{"id", request["id"]}};
    if (request["op"] == "read")
        answer["bytes"] = std::vector<int>(request["count"].get<size_t>(), 7);
    return answer.dump() + "\n";
}

// Two-byte reads of address: 0x50 is the built-in register device, 0x4A the provider's.
void ReadTwoBytes(benchmark::State &state, uint8_t address) {
    SimServer s;
    dlnsim::ProviderServer providers(s.sim, [](const std::string &) {});
    providers.start(0);
    LineProvider provider(providers.port(), {{"hello", "bench"}, {"claims", {{{"i2c", 0x4A}}}}},
                          AnswerReads);
    uint16_t port = s.server.port();
    HDLN handle = 0;
    uint8_t bytes[2];
    if (!DLN_SUCCEEDED(DlnConnect(kHost, port)) || !DLN_SUCCEEDED(DlnOpenDevice(0, &handle)) ||
        !DLN_SUCCEEDED(DlnI2cMasterRead(handle, 0, address, 0, 0, 2, bytes))) {
        state.SkipWithError("cannot read the device");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(DlnI2cMasterRead(handle, 0, address, 0, 0, 2, bytes));
    DlnCloseHandle(handle);
    DlnDisconnect(kHost, port);
    providers.stop();
}

void BM_DlnI2cReadBuiltIn(benchmark::State &state) {
    ReadTwoBytes(state, 0x50);
}

void BM_DlnI2cReadExternal(benchmark::State &state) {
    ReadTwoBytes(state, 0x4A);
}

BENCHMARK(BM_BareExchange);
BENCHMARK(BM_DlnI2cReadBuiltIn);
BENCHMARK(BM_DlnI2cReadExternal);
BENCHMARK(BM_DlnI2cWriteOneByte);
BENCHMARK(BM_BareConnectClose)->Iterations(300);
BENCHMARK(BM_DlnConnectDisconnect);

} // namespace

BENCHMARK_MAIN();
