// The recording adapter library, loaded as a program would load it: it hands back exactly
// what the real library answered, writes one whole line per call also from several threads,
// and without its target fails every call with one clear message instead of crashing. Each
// test runs in a child process, as the library loads its target and opens its file once.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/server.h"
#include "recording_file.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

#define RECORDED(lib, name) reinterpret_cast<decltype(&name)>(dlsym(lib, #name))

// A file in the working folder (the build's): the child, a new run of this program, must find
// the same name, and test runs of other builds on the machine must not.
std::string TempPath(const char *name) {
    return (std::filesystem::current_path() / (std::string(name) + ".jsonl")).string();
}

void *LoadRecordingLibrary(const std::string &target, const std::string &file) {
    setenv("DLN_RECORD_TARGET", target.c_str(), 1);
    setenv("DLN_RECORD_FILE", file.c_str(), 1);
    void *lib = dlopen(DLN_RECORD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::exit(90);
    }
    return lib;
}

// Calls every function of the C interface once with sound arguments; how many did not fail
// with DLN_RES_FAIL.
int CallsNotFailing(void *lib) {
    HDLN handle = 1;
    DLN_VERSION version{};
    uint8_t byte = 0, list[256] = {}, bytes[4] = {1, 2, 3, 4}, in[4] = {};
    uint16_t word16 = 0;
    uint32_t word32 = 0;
    DLN_RESULT results[] = {
        RECORDED(lib, DlnConnect)("localhost", 9656),
        RECORDED(lib, DlnOpenDevice)(0, &handle),
        RECORDED(lib, DlnGetVersion)(handle, &version),
        RECORDED(lib, DlnI2cMasterGetPortCount)(handle, &byte),
        RECORDED(lib, DlnI2cMasterGetFrequency)(handle, 0, &word32),
        RECORDED(lib, DlnI2cMasterEnable)(handle, 0, &word16),
        RECORDED(lib, DlnI2cMasterScanDevices)(handle, 0, &byte, list),
        RECORDED(lib, DlnI2cMasterWrite)(handle, 0, 0x50, 0, 0, 4, bytes),
        RECORDED(lib, DlnI2cMasterRead)(handle, 0, 0x50, 0, 0, 4, in),
        RECORDED(lib, DlnSpiMasterGetPortCount)(handle, &byte),
        RECORDED(lib, DlnSpiMasterGetFrequency)(handle, 0, &word32),
        RECORDED(lib, DlnSpiMasterEnable)(handle, 0, &word16),
        RECORDED(lib, DlnSpiMasterSetMode)(handle, 0, 0),
        RECORDED(lib, DlnSpiMasterGetMode)(handle, 0, &byte),
        RECORDED(lib, DlnSpiMasterSetFrequency)(handle, 0, 1000000, &word32),
        RECORDED(lib, DlnSpiMasterSetSS)(handle, 0, 0xFE),
        RECORDED(lib, DlnSpiMasterReadWrite)(handle, 0, 4, bytes, in),
        RECORDED(lib, DlnCloseHandle)(handle),
        RECORDED(lib, DlnDisconnect)("localhost", 9656),
    };
    int notFailing = 0;
    for (DLN_RESULT result : results)
        notFailing += result != DLN_RES_FAIL;
    return notFailing;
}

// Several threads each write and scan through the recording library against a simulator
// in this process; exits with the number of answers that were not the simulator's.
[[noreturn]] void RecordFromSeveralThreads(const std::string &file) {
    auto sim = dlnsim::SimBuilder().i2c(0x50, std::make_shared<dlnsim::RegisterDevice>()).build();
    dlnsim::Server server(sim, [](const std::string &) {});
    server.start(0);
    void *lib = LoadRecordingLibrary(DLN_LIBRARY, file);
    constexpr int kThreads = 4, kRounds = 200;
    std::atomic<int> differences{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            HDLN handle = 0;
            differences += RECORDED(lib, DlnConnect)("127.0.0.1", server.port()) != 0;
            differences += RECORDED(lib, DlnOpenDevice)(0, &handle) != 0;
            for (int round = 0; round < kRounds; ++round) {
                uint8_t out[2] = {static_cast<uint8_t>(t), static_cast<uint8_t>(round)};
                differences += RECORDED(lib, DlnI2cMasterWrite)(handle, 0, 0x50, 0, 0, 2, out);
                uint8_t scanned = 0, list[256];
                differences += RECORDED(lib, DlnI2cMasterScanDevices)(handle, 0, &scanned, list);
                differences += scanned != 1 || list[0] != 0x50;
            }
            differences += RECORDED(lib, DlnCloseHandle)(handle) != 0;
            differences += RECORDED(lib, DlnDisconnect)("127.0.0.1", server.port()) != 0;
        });
    for (auto &thread : threads)
        thread.join();
    // std::exit skips the server's destructor: its serving thread would still be ending the
    // clients while exit destroys the statics it uses.
    server.stop();
    // The lines reach the file at exit at the latest; the test reads them after it.
    std::exit(differences);
}

} // namespace

TEST(RecordLibrary, WithoutItsTargetEveryCallFailsWithOneMessage) {
    // The child re-runs this program up to this test: the threads of earlier tests are not
    // forked along.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string file = TempPath("record-missing");
    std::string errors = TempPath("record-missing-stderr");
    EXPECT_EXIT(
        {
            if (std::freopen(errors.c_str(), "w", stderr) == nullptr)
                std::exit(91);
            void *lib = LoadRecordingLibrary("/nonexistent/libdln.so", file);
            std::exit(CallsNotFailing(lib) + CallsNotFailing(lib));
        },
        ::testing::ExitedWithCode(0), "");
    std::ifstream in(errors);
    std::string first, line;
    std::getline(in, first);
    EXPECT_EQ(
        first.rfind("dln record: cannot use the adapter library '/nonexistent/libdln.so': ", 0), 0u)
        << first;
    EXPECT_EQ(first.substr(first.size() - 36), "; every adapter call fails with 0x4F") << first;
    while (std::getline(in, line))
        EXPECT_EQ(line.find("dln record"), std::string::npos) << "a second message: " << line;
    // Even so the calls were recorded, each with its failure.
    auto calls = dlnsim::replay::ReadRecordingFile(file);
    EXPECT_EQ(calls.size(), 38u);
    for (const auto &call : calls)
        EXPECT_EQ(call.reply.result, DLN_RES_FAIL);
    std::filesystem::remove(file);
    std::filesystem::remove(errors);
}

TEST(RecordLibrary, ATargetThatIsTheRecorderItselfIsRefused) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string file = TempPath("record-self");
    EXPECT_EXIT(std::exit(CallsNotFailing(LoadRecordingLibrary(DLN_RECORD_LIBRARY, file))),
                ::testing::ExitedWithCode(0), "it is this recording library itself");
    std::filesystem::remove(file);
}

TEST(RecordLibrary, RecordsEveryCallOfSeveralThreadsOnALineOfItsOwn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string file = TempPath("record-threads");
    EXPECT_EXIT(RecordFromSeveralThreads(file), ::testing::ExitedWithCode(0), "");
    auto calls = dlnsim::replay::ReadRecordingFile(file);
    ASSERT_EQ(calls.size(), 4u * (2 + 2 * 200 + 2));
    std::map<uint32_t, int> perThread;
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].seq, i + 1);
        EXPECT_EQ(calls[i].reply.result, 0);
        ++perThread[calls[i].thread];
        if (calls[i].request.call == dln::wire::Call::I2cScanDevices) {
            EXPECT_EQ(calls[i].reply.data, std::vector<uint8_t>{0x50});
        }
    }
    EXPECT_EQ(perThread.size(), 4u);
    std::filesystem::remove(file);
}
