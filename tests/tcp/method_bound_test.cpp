// Every native method ends within its documented bound (README's method table) whatever the
// server does: against a server that answers each call only after 1.5 s, a method past its
// bound makes no further adapter call; against one that accepts and never answers, the first
// call's time-out ends it. The real library and libdln, over TCP, with DLN_SERVER.
#include "dlnsim/scenario.h"
#include "dlnsim/server.h"
#include "support/board_exports.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/temp_working_dir.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct BoundRow {
    const char *name;
    jint (*call)(JNIEnv *, jclass, jintArray); // null: print, which takes no array
    std::vector<jint> slots;
    double boundSeconds; // the README's bound: no adapter call starts after it
};

const std::vector<BoundRow> kBoundRows = {
    {"print", nullptr, {}, 1.0},
    {"i2cScan", Java_I2C_1DLN_i2cScan, {}, 1.0},
    {"read", Java_I2C_1DLN_read, {0x50, 2}, 1.0},
    {"write", Java_I2C_1DLN_write, {0x50, 2, 1, 2}, 1.0},
    {"spiWriteRead", Java_I2C_1DLN_spiWriteRead, {2, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 1, 2}, 1.0},
    {"spiEraseEEPROM", Java_I2C_1DLN_spiEraseEEPROM, {}, 1.0},
    {"spiProgramEEPROM", Java_I2C_1DLN_spiProgramEEPROM, {}, 10.0},
    {"dualServo_1500_PWM",
     Java_I2C_1DLN_dualServo_11500_1PWM,
     {0x51, 0x52, 5, 0xDC, 6, 0x40, 0x11, 0x22},
     1.0},
    {"I2C_Servo_PWM_Sequence",
     Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence,
     {2, 7, 0x51, 5, 0xDC, 0, 0x52, 6, 0x40, 0},
     2.0},
    {"dualServo_1500_Current", Java_I2C_1DLN_dualServo_11500_1Current, {0x51, 0x52}, 1.4},
    {"adcsdac", Java_I2C_1DLN_adcsdac, {0x48, 0x80}, 1.0},
    {"Ultra_Sonic", Java_I2C_1DLN_Ultra_1Sonic, {0x70}, 1.3},
    {"ReadMotorSpeeds", Java_I2C_1DLN_ReadMotorSpeeds, {0x30, 1}, 1.21},
};

// The laser keeps its connection: calibrate and measure are timed on a connection made while
// the server was quick, connect last (it first releases the kept connection).
const std::vector<BoundRow> kLaserRows = {
    {"I2C_LaserMeasurement 1", Java_I2C_1DLN_I2C_1LaserMeasurement, {0x29, 1}, 3.0},
    {"I2C_LaserMeasurement 2", Java_I2C_1DLN_I2C_1LaserMeasurement, {0x29, 2}, 1.0},
    {"I2C_LaserMeasurement 0", Java_I2C_1DLN_I2C_1LaserMeasurement, {0x29, 0}, 1.0},
};

// Past its bound a method waits for the adapter call in flight and releases its connection
// (close and disconnect): three calls of at most callSeconds each.
constexpr double kReleaseCalls = 3;
// A loaded machine and the sanitizers.
constexpr double kBoundSlack = 1.0;

void PointAt(uint16_t port) {
    const std::string address = "127.0.0.1:" + std::to_string(port);
    setenv("DLN_SERVER", address.c_str(), 1);
}

void CallRow(const BoundRow &row) {
    FakeJni jni;
    std::vector<jint> slots = row.slots;
    slots.resize(255, 0);
    jintArray array = jni.array(slots);
    CaptureStdout([&] {
        if (row.call == nullptr)
            Java_I2C_1DLN_print(jni.env(), nullptr);
        else
            row.call(jni.env(), nullptr, array);
    });
}

// Runs the rows, checking each against its bound plus the calls of callSeconds it may still
// wait for; prints the times on standard error.
void RunRows(const std::vector<BoundRow> &rows, double callSeconds, const char *server) {
    for (const BoundRow &row : rows) {
        SCOPED_TRACE(row.name);
        Stopwatch watch;
        CallRow(row);
        const double seconds = watch.seconds();
        const double limit = row.boundSeconds + kReleaseCalls * callSeconds;
        std::fprintf(stderr, "%s server: %-24s %5.2f s (bound %.2f s, at most %.2f s)\n", server,
                     row.name, seconds, row.boundSeconds, limit);
        EXPECT_LT(seconds, limit + kBoundSlack);
    }
}

TEST(MethodBound, EveryMethodEndsWithinItsBoundAgainstASilentOrSlowServer) {
    TempWorkingDir dir;
    dir.write("program.hex", "10 ab\n");
    // Silent first: no connection survives it (the laser's connect fails too).
    {
        ScriptedServer silent(0, ScriptedServer::Then::StaySilent);
        PointAt(silent.port());
        RunRows(kBoundRows, 2.0, "silent");
        RunRows(kLaserRows, 2.0, "silent");
    }
    {
        auto sim = dlnsim::LoadScenario(dlnsim::DefaultScenarioText(), dlnsim::kDefaultScenarioName)
                       .build();
        dlnsim::Server server(sim, [](const std::string &) {});
        server.start(0);
        DelayingProxy slow(server.port(), std::chrono::milliseconds(0));
        PointAt(slow.port());
        CallRow(kLaserRows.back()); // connected while the server is quick
        slow.setDelay(std::chrono::milliseconds(1500));
        RunRows(kBoundRows, 1.5, "1.5 s");
        RunRows(kLaserRows, 1.5, "1.5 s");
    }
    // The laser keeps its connection, now to nobody; its next connect releases it (and, with
    // nothing left to linger, connects to nobody either).
    PointAt(UnusedPort());
    CallRow(kLaserRows.back());
    unsetenv("DLN_SERVER");
}

} // namespace
