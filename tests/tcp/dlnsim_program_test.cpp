// The dln-sim program: its ready line, a call through it, a clean stop on SIGTERM with the
// trace written, and clear refusals of bad options and scenarios.
#include "dln_api.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char **environ;

namespace {

// dln-sim run as a child process with its standard output and error on one pipe.
class Program {
  public:
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), DLNSIM_PROGRAM);
        std::vector<char *> argv;
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, DLNSIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        fd_ = out[0];
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(fd_);
    }
    // The next line of output, waiting up to timeoutMs; empty at the end or on time-out.
    std::string line(int timeoutMs = static_cast<int>(kPatienceSeconds * 1000)) {
        Stopwatch watch;
        for (;;) {
            auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string text = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return text;
            }
            int left = timeoutMs - static_cast<int>(watch.seconds() * 1000);
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                return {};
            char chunk[256];
            ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0)
                return {};
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    // Sends signal and returns the exit status (-1 if it did not exit normally in time).
    int stop(int signal) {
        kill(pid_, signal);
        return waitForExit();
    }
    int waitForExit() {
        for (Stopwatch watch; watch.seconds() < kPatienceSeconds;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(50000);
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string buffer_;
};

uint16_t PortOf(const std::string &readyLine) {
    auto colon = readyLine.rfind(':');
    return static_cast<uint16_t>(std::stoi(readyLine.substr(colon + 1)));
}

TEST(DlnSimProgram, ServesTheDefaultRobotAndStopsCleanlyWithItsTrace) {
    std::string trace = ::testing::TempDir() + "dlnsim_program_trace.txt";
    Program sim({"--port", "0", "--trace", trace, "--providers", "0"});
    // Providers are taken before programs are, so their line comes first.
    std::string providers = sim.line();
    EXPECT_EQ(providers.rfind("dln-sim: device providers on 127.0.0.1:", 0), 0u) << providers;
    EXPECT_NE(PortOf(providers), 0);
    std::string ready = sim.line();
    ASSERT_EQ(ready.rfind("dln-sim: listening on 127.0.0.1:", 0), 0u) << ready;
    uint16_t port = PortOf(ready);
    EXPECT_NE(ready.find(" with i2c 0x29 vl53l0x, 0x30 motor-board, "), std::string::npos);
    EXPECT_NE(ready.find("; spi 0 eeprom, 1 loopback"), std::string::npos) << ready;

    ASSERT_EQ(DlnConnect("localhost", port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    uint8_t count = 0, list[256];
    ASSERT_EQ(DlnI2cMasterScanDevices(handle, 0, &count, list), DLN_RES_SUCCESS);
    EXPECT_GE(count, 1);
    ASSERT_EQ(DlnDisconnect("localhost", port), DLN_RES_SUCCESS);

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    std::ifstream file(trace);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[2].find("DlnI2cMasterScanDevices port=0 in=["), std::string::npos) << lines[2];
    std::remove(trace.c_str());
}

TEST(DlnSimProgram, StopsOnSigintAndReportsInjectedFaults) {
    std::string scenario = ::testing::TempDir() + "dlnsim_program_faults.json";
    std::ofstream(scenario) << R"({"faults": [{"call": "DlnOpenDevice", "code": "0x4f"}]})";
    Program sim({"--port", "0", "--scenario", scenario});
    uint16_t port = PortOf(sim.line());
    ASSERT_EQ(DlnConnect("127.0.0.1", port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    EXPECT_EQ(DlnOpenDevice(0, &handle), 0x4F);
    ASSERT_EQ(DlnDisconnect("127.0.0.1", port), DLN_RES_SUCCESS);
    EXPECT_EQ(sim.stop(SIGINT), 0);
    std::vector<std::string> lines;
    for (std::string line = sim.line(); !line.empty(); line = sim.line()) // it has ended
        lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("1 calls failed by injected faults"), std::string::npos)
        << lines.back();
    std::remove(scenario.c_str());
}

TEST(DlnSimProgram, RefusesBadOptionsAndScenarios) {
    std::string scenario = ::testing::TempDir() + "dlnsim_program_bad.json";
    std::ofstream(scenario) << R"({"i2c": [{"address": "0x50", "model": "nothing"}]})";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--port", "70000"}, 2, "dln-sim: bad port 70000"},
        {{"--port"}, 2, "dln-sim: missing value after --port"},
        {{"--colour", "red"}, 2, "dln-sim: unknown option --colour"},
        {{"--max-clients", "0"}, 2, "dln-sim: bad client count 0 (1 to 100000)"},
        {{"--scenario", "/nonexistent.json"}, 1, "dln-sim: /nonexistent.json: cannot be read"},
        {{"--scenario", scenario},
         1,
         "dln-sim: " + scenario + ": i2c[0].model: unknown I2C model \"nothing\""},
        {{"--port", "0", "--bind", "192.0.2.1"}, 1, "dln-sim: cannot listen on 192.0.2.1:0"},
        {{"--scenario", "/dev/zero"}, 1, "dln-sim: /dev/zero: larger than 4 MiB"},
        {{"--http-public"}, 2, "dln-sim: --http-public needs --http PORT"},
        {{"--http", "x"}, 2, "dln-sim: bad port x"},
    };
    for (const Case &c : cases) {
        Program sim(c.args);
        std::string first = sim.line();
        EXPECT_EQ(first.rfind(c.message, 0), 0u) << first;
        EXPECT_EQ(sim.waitForExit(), c.status) << c.message;
    }
    std::remove(scenario.c_str());
}

TEST(DlnSimProgram, RandomFaultsWithoutSeedPrintTheSeedDrawn) {
    std::string scenario = ::testing::TempDir() + "dlnsim_program_seed.json";
    std::ofstream(scenario) << R"({"randomFaults": {"rate": 0.01}})";
    Program sim({"--port", "0", "--scenario", scenario});
    std::string first = sim.line();
    EXPECT_EQ(first.rfind("dln-sim: randomFaults: seed ", 0), 0u) << first;
    EXPECT_NE(sim.line().find("listening"), std::string::npos);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    std::remove(scenario.c_str());
}

TEST(DlnSimProgram, SecondServerOnABusyPortSaysSo) {
    Program first({"--port", "0"});
    uint16_t port = PortOf(first.line());
    Program second({"--port", std::to_string(port)});
    EXPECT_NE(second.line().find("Address already in use"), std::string::npos);
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_EQ(first.stop(SIGTERM), 0);
}

} // namespace
