// External devices served by providers over the provider protocol: a proper provider answers
// through libdln like a built-in model, each hostile one (silent, slow, lying, sending
// garbage, leaving) fails only its own transfers, within its time-out, with a named result
// and a trace note, while dln-sim serves other clients; the docs' Python provider works.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/observation.h"
#include "dlnsim/providers.h"
#include "dlnsim/scenario.h"
#include "dlnsim/server.h"
#include "dlnsim/session.h"
#include "support/line_provider.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

extern char **environ;

using nlohmann::json;

namespace {

// A thermometer at 0x4A as the docs describe: write a pointer, read 21.5 degrees.
std::string Thermometer(const json &request) {
    json answer = {{"id", request["id"]}};
    if (request["op"] == "read")
        answer["bytes"] = std::vector<int>(request["count"].get<size_t>(), 21);
    return answer.dump() + "\n";
}

// dln-sim's two servers over a register device at 0x50, with the external devices declared.
struct ProviderRig {
    explicit ProviderRig(const char *devices = R"({"i2c": [{"address": 80, "model": "register"}]})")
        : sim(dlnsim::LoadScenario(devices, "rig.json").build()), server(sim, Quiet),
          providers(sim, Quiet) {
        providers.start(0);
        server.start(0);
    }
    ~ProviderRig() {
        providers.stop();
        server.stop();
    }
    static void Quiet(const std::string &) {}
    std::shared_ptr<dlnsim::Simulator> sim;
    dlnsim::Server server;
    dlnsim::ProviderServer providers;
};

// An open adapter handle of libdln on the rig, closed with it. libdln keeps one connection
// per host and port, whose calls are answered in order: another host name is another client.
struct RigClient {
    explicit RigClient(uint16_t port, const char *host = kLoopback) : port(port), host(host) {
        EXPECT_EQ(DlnConnect(host, port), DLN_RES_SUCCESS);
        EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    }
    ~RigClient() {
        DlnCloseHandle(handle);
        DlnDisconnect(host, port);
    }
    DLN_RESULT read(uint8_t address, uint8_t *bytes, uint16_t count) {
        return DlnI2cMasterRead(handle, 0, address, 0, 0, count, bytes);
    }
    uint16_t port;
    const char *host;
    HDLN handle = 0;
};

// A client of its own connection, speaking the wire protocol itself: libdln would put every
// handle of this process on one connection, whose calls are answered in order.
class WireClient {
  public:
    explicit WireClient(uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address);
        dln::wire::Request open;
        open.call = dln::wire::Call::OpenDevice;
        dln::wire::Reply reply = call(open);
        handle_ = reply.words.empty() ? 0 : static_cast<uint16_t>(reply.words[0]);
    }
    ~WireClient() { close(fd_); }
    uint16_t readOneByte(uint8_t address) {
        dln::wire::Request read;
        read.call = dln::wire::Call::I2cRead;
        read.handle = handle_;
        read.address = address;
        read.length = 1;
        return call(read).result;
    }

  private:
    dln::wire::Reply call(dln::wire::Request request) {
        request.sequence = ++sequence_;
        std::vector<uint8_t> frame = dln::wire::EncodeRequest(request);
        send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL);
        std::vector<uint8_t> bytes;
        dln::wire::Reply reply;
        reply.result = DLN_RES_NOT_CONNECTED;
        for (uint8_t chunk[512];;) {
            if (bytes.size() >= dln::wire::kLengthPrefix) {
                std::span<const uint8_t, dln::wire::kLengthPrefix> prefix(bytes.data(), 4);
                size_t length = dln::wire::AnnouncedLength(prefix);
                if (bytes.size() >= 4 + length) {
                    dln::wire::DecodeReply(std::span(bytes).subspan(4, length), reply);
                    return reply;
                }
            }
            ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return reply;
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
    }
    int fd_ = -1;
    uint16_t handle_ = 0;
    uint32_t sequence_ = 0;
};

// Waits until the device at 0x4A is served by a connected provider (true) or not (false).
bool ProviderConnectedWithin(dlnsim::Simulator &sim, bool connected, double seconds) {
    for (Stopwatch watch; watch.seconds() < seconds; usleep(2000))
        for (const dlnsim::DeviceView &device : sim.observe(0, 0).devices)
            if (device.address == 0x4A && device.model == "external" &&
                (device.state["provider"].get<std::string>().find("not connected") ==
                 std::string::npos) == connected)
                return true;
    return false;
}

TEST(ExternalDevice, ProperProviderAnswersLikeABuiltInModel) {
    ProviderRig rig;
    LineProvider provider(rig.providers.port(),
                          {{"hello", "thermometer"}, {"claims", {{{"i2c", "0x4A"}}}}}, Thermometer);
    ASSERT_EQ(provider.greeting(), R"({"ok":true})");
    provider.send(R"({"state": {"temperatureC": 21.5}})"
                  "\n");
    RigClient client(rig.server.port());
    uint8_t count = 0, list[128];
    ASSERT_EQ(DlnI2cMasterScanDevices(client.handle, 0, &count, list), DLN_RES_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(list, list + count), (std::vector<uint8_t>{0x4A, 0x50}));
    uint8_t pointer = 0;
    EXPECT_EQ(DlnI2cMasterWrite(client.handle, 0, 0x4A, 0, 0, 1, &pointer), DLN_RES_SUCCESS);
    uint8_t bytes[2] = {};
    ASSERT_EQ(client.read(0x4A, bytes, 2), DLN_RES_SUCCESS);
    EXPECT_EQ(bytes[0], 21);
    // A read with a memory address writes it first, then reads.
    ASSERT_EQ(DlnI2cMasterRead(client.handle, 0, 0x4A, 1, 0x07, 1, bytes), DLN_RES_SUCCESS);
    std::vector<dlnsim::TraceEntry> trace = rig.sim->trace();
    EXPECT_EQ(trace.back().note, "external thermometer");
    EXPECT_EQ(trace.back().out, std::vector<uint8_t>{0x07});
    ASSERT_TRUE(ProviderConnectedWithin(*rig.sim, true, kPatienceSeconds));
    json state;
    for (const dlnsim::DeviceView &device : rig.sim->observe(0, 0).devices)
        if (device.address == 0x4A)
            state = device.state;
    EXPECT_EQ(state, json::parse(R"({"temperatureC": 21.5, "provider": "thermometer"})"));
}

TEST(ExternalDevice, ClaimsAreCheckedAllOrNone) {
    ProviderRig rig(R"({"i2c": [{"address": 80, "model": "register"},
                                {"address": 75, "model": "external", "name": "clock"}]})");
    LineProvider holder(rig.providers.port(), {{"hello", "a"}, {"claims", {{{"spi", 1}}}}},
                        Thermometer);
    ASSERT_EQ(holder.greeting(), R"({"ok":true})");
    const std::pair<json, const char *> cases[] = {
        {{{"hello", "b"}, {"claims", {{{"i2c", 80}}}}}, "i2c 0x50 is the register of the scenario"},
        {{{"hello", "b"}, {"claims", {{{"i2c", 9}}, {{"spi", 1}}}}},
         "spi 1 is claimed by the provider \"a\""},
        {{{"hello", "b"}, {"claims", {{{"i2c", "0x4B"}}}}},
         "i2c 0x4b is declared for the provider"},
        {{{"hello", "b"}, {"claims", {{{"i2c", 9}}, {{"i2c", 9}}}}}, "i2c 0x09 is claimed twice"},
        {{{"hello", "b"}, {"claims", {{{"i2c", 128}}}}}, "claims[0].i2c: 128 is above 127"},
        {{{"hello", "b"}, {"claims", json::array()}}, "claims: is not a list"},
        {{{"hello", "b"}, {"claims", {{{"i2c", 9}}}}, {"timeoutMs", 0}}, "timeoutMs: 0 leaves"},
        {{{"claims", {{{"i2c", 9}}}}}, "the first line must be"},
        {"hello", "the first line must be"},
    };
    for (const auto &[hello, refusal] : cases) {
        LineProvider refused(rig.providers.port(), hello, Thermometer);
        json greeting = json::parse(refused.greeting(), nullptr, false);
        EXPECT_EQ(greeting.value("error", "").rfind(refusal, 0), 0u)
            << hello.dump() << " -> " << refused.greeting();
    }
    // Nothing of a refused claim stayed: 9 is free for the declared name's provider to take.
    LineProvider clock(rig.providers.port(),
                       {{"hello", "clock"}, {"claims", {{{"i2c", 75}}, {{"i2c", 9}}}}},
                       Thermometer);
    EXPECT_EQ(clock.greeting(), R"({"ok":true})");
}

TEST(ExternalDevice, AtMost64ProvidersAreConnected) {
    ProviderRig rig;
    std::vector<int> idle;
    for (int i = 0; i < 64; ++i) {
        idle.push_back(socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(rig.providers.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(idle.back(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }
    const json hello = {{"hello", "late"}, {"claims", {{{"i2c", 9}}}}};
    EXPECT_EQ(LineProvider(rig.providers.port(), hello, Thermometer).greeting(), "");
    for (int fd : idle)
        close(fd);
    // Once they have gone, a provider is taken again.
    bool taken = false;
    for (Stopwatch watch; !taken && watch.seconds() < kPatienceSeconds; usleep(10000))
        taken =
            LineProvider(rig.providers.port(), hello, Thermometer).greeting() == R"({"ok":true})";
    EXPECT_TRUE(taken);
}

struct HostileProvider {
    const char *name;
    LineProvider::Answer answer;
    uint16_t result;
    const char *note;
    bool waitsForTimeout;
};

TEST(ExternalDevice, HostileProvidersFailOnlyTheirOwnTransfers) {
    auto id = [](const json &request) { return request["id"].dump(); };
    const HostileProvider cases[] = {
        {"silent", [](const json &) { return std::string(); }, DLN_RES_FAIL,
         "external thermometer: no answer within 300 ms", true},
        {"late",
         [&](const json &request) {
             usleep(400000); // after the time-out: dropped
             return "{\"id\": " + id(request) + ", \"bytes\": [1, 2]}\n";
         },
         DLN_RES_FAIL, "external thermometer: no answer within 300 ms", true},
        {"garbage", [](const json &) { return std::string("\x01\xffzz\n"); }, DLN_RES_FAIL,
         "external thermometer: malformed answer: not JSON", false},
        {"no id", [](const json &) { return std::string("[1, 2]\n"); }, DLN_RES_FAIL,
         "external thermometer: malformed answer: no \"id\"", false},
        {"short",
         [&](const json &request) { return "{\"id\": " + id(request) + ", \"bytes\": [1]}\n"; },
         DLN_RES_FAIL, "external thermometer: malformed answer: bytes has 1 values, not 2", false},
        {"not bytes",
         [&](const json &request) {
             return "{\"id\": " + id(request) + ", \"bytes\": [1, 300]}\n";
         },
         DLN_RES_FAIL, "external thermometer: malformed answer: bytes[1]: 300 is above 255", false},
        {"unknown result",
         [&](const json &request) {
             return "{\"id\": " + id(request) + ", \"result\": \"melted\"}\n";
         },
         DLN_RES_FAIL, "external thermometer: malformed answer: result: \"melted\" is not a",
         false},
        {"named result",
         [&](const json &request) {
             return "{\"id\": " + id(request) + ", \"result\": \"nack\"}\n";
         },
         DLN_RES_I2C_NACK, "external thermometer", false},
        {"leaves", [](const json &) { return std::string("close"); }, DLN_RES_FAIL,
         "external thermometer: provider gone", false},
        {"endless line", [](const json &) { return std::string(70000, '['); }, DLN_RES_FAIL,
         "external thermometer: provider gone", false},
    };
    for (const HostileProvider &c : cases) {
        SCOPED_TRACE(c.name);
        ProviderRig rig;
        LineProvider provider(
            rig.providers.port(),
            {{"hello", "thermometer"}, {"claims", {{{"i2c", "0x4A"}}}}, {"timeoutMs", 300}},
            c.answer);
        ASSERT_EQ(provider.greeting(), R"({"ok":true})");
        // The provider's transfer waits in one client while another is served meanwhile.
        std::atomic<bool> externalDone{false};
        DLN_RESULT result = 0;
        Stopwatch watch;
        double took = 0;
        std::thread external([&] {
            RigClient client(rig.server.port());
            uint8_t bytes[2];
            result = client.read(0x4A, bytes, 2);
            took = watch.seconds();
            externalDone = true;
        });
        int served = 0;
        {
            WireClient other(rig.server.port());
            while (c.waitsForTimeout && !externalDone && served < 20)
                served += other.readOneByte(0x50) == DLN_RES_SUCCESS;
        }
        external.join();
        EXPECT_EQ(result, c.result);
        if (c.waitsForTimeout) {
            EXPECT_EQ(served, 20) << "the other client was held up";
            EXPECT_GE(took, 0.3);
        }
        EXPECT_LT(took, kPatienceSeconds);
        std::string note;
        for (const dlnsim::TraceEntry &entry : rig.sim->trace())
            if (entry.call == "DlnI2cMasterRead" && entry.address == 0x4A)
                note = entry.note;
        EXPECT_EQ(note.rfind(c.note, 0), 0u) << note;
    }
}

TEST(ExternalDevice, DeclaredDeviceWaitsForItsProvider) {
    ProviderRig rig(R"({"i2c": [{"address": 74, "model": "external", "name": "thermometer",
                                 "timeoutMs": 50}],
                        "spi": [{"ss": 2, "model": "external", "name": "flash"}]})");
    // dln-sim's ready line names them.
    EXPECT_EQ(dlnsim::DescribeDevices(*rig.sim),
              "i2c 0x4a external thermometer; spi 2 external flash");
    RigClient client(rig.server.port());
    uint8_t bytes[2];
    EXPECT_EQ(client.read(0x4A, bytes, 2), DLN_RES_I2C_NACK);
    EXPECT_EQ(rig.sim->trace().back().note, "external thermometer: no provider");
    EXPECT_EQ(DlnSpiMasterSetSS(client.handle, 0, 0xFB), DLN_RES_SUCCESS);
    uint8_t out[2] = {1, 2}, in[2];
    EXPECT_EQ(DlnSpiMasterReadWrite(client.handle, 0, 2, out, in), DLN_RES_FAIL);
    {
        LineProvider provider(rig.providers.port(),
                              {{"hello", "thermometer"}, {"claims", {{{"i2c", 74}}}}}, Thermometer);
        ASSERT_TRUE(ProviderConnectedWithin(*rig.sim, true, kPatienceSeconds));
        EXPECT_EQ(client.read(0x4A, bytes, 2), DLN_RES_SUCCESS);
    }
    ASSERT_TRUE(ProviderConnectedWithin(*rig.sim, false, kPatienceSeconds));
    EXPECT_EQ(client.read(0x4A, bytes, 2), DLN_RES_I2C_NACK);
}

// A session handled in the caller's thread (as the in-process dln does) waits for the answer.
TEST(ExternalDevice, InProcessSessionWaitsForTheProvider) {
    ProviderRig rig;
    LineProvider provider(rig.providers.port(),
                          {{"hello", "thermometer"}, {"claims", {{{"i2c", "0x4A"}}}}}, Thermometer);
    ASSERT_EQ(provider.greeting(), R"({"ok":true})");
    dlnsim::Session session(rig.sim);
    dln::wire::Request request;
    request.call = dln::wire::Call::OpenDevice;
    request.handle = static_cast<uint16_t>(session.handle(request).words.at(0));
    request.call = dln::wire::Call::I2cRead;
    request.address = 0x4A;
    request.length = 3;
    request.sequence = 9;
    dln::wire::Reply reply = session.handle(request);
    EXPECT_EQ(reply.result, DLN_RES_SUCCESS);
    EXPECT_EQ(reply.sequence, 9u);
    EXPECT_EQ(reply.data, (std::vector<uint8_t>{21, 21, 21}));
}

// The Python provider of docs/device-providers.md, taken from the file as printed there.
std::string DocsPythonProvider() {
    std::ifstream file(std::string(DLNSIM_SOURCE_DIR) + "/docs/device-providers.md");
    std::stringstream text;
    text << file.rdbuf();
    std::string doc = text.str();
    auto start = doc.find("```python\n");
    auto end = doc.find("```\n", start + 10);
    if (start == std::string::npos || end == std::string::npos)
        return {};
    return doc.substr(start + 10, end - start - 10);
}

TEST(ExternalDevice, PythonProviderFromTheDocs) {
    std::string script = DocsPythonProvider();
    ASSERT_FALSE(script.empty());
    std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_thermometer_provider.py";
    std::ofstream(path) << script;
    ProviderRig rig(R"({"i2c": [{"address": 74, "model": "external", "name": "thermometer"}]})");
    std::string port = std::to_string(rig.providers.port());
    std::vector<std::string> args = {"python3", path, port, "0x4A"};
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawnp(&pid, "python3", nullptr, nullptr, argv.data(), environ), 0);
    EXPECT_TRUE(ProviderConnectedWithin(*rig.sim, true, kPatienceSeconds));
    RigClient client(rig.server.port());
    uint8_t pointer = 0, bytes[2] = {};
    EXPECT_EQ(DlnI2cMasterWrite(client.handle, 0, 0x4A, 0, 0, 1, &pointer), DLN_RES_SUCCESS);
    EXPECT_EQ(client.read(0x4A, bytes, 2), DLN_RES_SUCCESS);
    EXPECT_EQ(bytes[0], 21);
    EXPECT_EQ(bytes[1], 128);
    uint8_t config[2] = {1, 0x60};
    EXPECT_EQ(DlnI2cMasterWrite(client.handle, 0, 0x4A, 0, 0, 2, config), DLN_RES_SUCCESS);
    EXPECT_EQ(client.read(0x4A, bytes, 1), DLN_RES_SUCCESS);
    EXPECT_EQ(bytes[0], 0x60);
    uint8_t bad = 7;
    EXPECT_EQ(DlnI2cMasterWrite(client.handle, 0, 0x4A, 0, 0, 1, &bad), DLN_RES_I2C_NACK);
    // Its state shows (sent after the hello, so it may come a little after the claim).
    bool shown = false;
    for (Stopwatch watch; !shown && watch.seconds() < kPatienceSeconds; usleep(2000))
        for (const dlnsim::DeviceView &device : rig.sim->observe(0, 0).devices)
            shown = shown || device.state.value("temperatureC", 0.0) == 21.5;
    EXPECT_TRUE(shown);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::remove(path.c_str());
}

} // namespace
