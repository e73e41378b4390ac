// Every adapter call of every native method failing in turn: each method first runs cleanly
// against the default robot to learn its calls, then once per call with that one call failing.
// Nothing may crash, the failed call must be reported with its own lines, and every connection
// a call opened must be released again (the laser's aside, which is kept on purpose).
#include "ranging/service/laser_sensor.h"
#include "scenario.h"
#include "support/board_exports.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/recorded_waits.h"
#include "support/temp_working_dir.h"

#include "dln_inproc.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using NativeCall = jint (*)(JNIEnv *, jclass, jintArray);

struct Method {
    const char *name;
    NativeCall call; // null for print
    std::vector<jint> slots;
    bool keepsConnection = false; // the laser's connection outlives the call
    // The one line of a failed I2C transfer when the method names itself instead of the call.
    const char *transferLine = nullptr;
    std::vector<jint> laserFirst; // laser operations run (without faults) before the call
};

std::vector<jint> Slots(std::initializer_list<jint> leading) {
    std::vector<jint> slots(255, 0);
    std::copy(leading.begin(), leading.end(), slots.begin());
    return slots;
}

Method Plain(const char *name, NativeCall call, std::vector<jint> slots) {
    return Method{name, call, std::move(slots), false, nullptr, {}};
}

Method Servo(const char *name, NativeCall call, std::vector<jint> slots, const char *line) {
    return Method{name, call, std::move(slots), false, line, {}};
}

Method Laser(const char *name, jint code, std::vector<jint> first) {
    return Method{name,
                  Java_I2C_1DLN_I2C_1LaserMeasurement,
                  Slots({0x29, code}),
                  true,
                  nullptr,
                  std::move(first)};
}

const std::vector<Method> &Methods() {
    static const std::vector<Method> methods = {
        Plain("print", nullptr, {}),
        Plain("i2cScan", Java_I2C_1DLN_i2cScan, std::vector<jint>(10)),
        Plain("read", Java_I2C_1DLN_read, Slots({0x50, 3})),
        Plain("write", Java_I2C_1DLN_write, Slots({0x50, 2, 0x10, 0x20})),
        Plain("adcsdac", Java_I2C_1DLN_adcsdac, Slots({0x48, 0x80})),
        Plain("Ultra_Sonic", Java_I2C_1DLN_Ultra_1Sonic, Slots({0x70})),
        Plain("ReadMotorSpeeds", Java_I2C_1DLN_ReadMotorSpeeds, Slots({0x30, 1})),
        Servo("dualServo_1500_PWM", Java_I2C_1DLN_dualServo_11500_1PWM,
              Slots({0x51, 0x52, 5, 0xDC, 5, 0xDC, 0, 0}), "DualServo_1500_PWM() failed\n"),
        Servo("dualServo_1500_Current", Java_I2C_1DLN_dualServo_11500_1Current, Slots({0x51, 0x52}),
              "DualServo_1500_Current() failed\n"),
        Servo("I2C_Servo_PWM_Sequence", Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence,
              Slots({2, 0, 0x51, 5, 0xDC, 0, 0x52, 6, 0x40, 0}), "Multi_Servo_1500_PWM() failed\n"),
        Plain("spiWriteRead", Java_I2C_1DLN_spiWriteRead,
              Slots({3, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 1})),
        Plain("spiEraseEEPROM", Java_I2C_1DLN_spiEraseEEPROM, Slots({})),
        Plain("spiProgramEEPROM", Java_I2C_1DLN_spiProgramEEPROM, Slots({})),
        Laser("I2C_LaserMeasurement 0", 0, {}),
        Laser("I2C_LaserMeasurement 1", 1, {0}),
        Laser("I2C_LaserMeasurement 2", 2, {0, 1}),
    };
    return methods;
}

// The lines a failed call prints, by call; calls whose result nobody judges are absent.
const std::map<std::string, std::string> &FailureLines() {
    static const std::map<std::string, std::string> lines = [] {
        std::map<std::string, std::string> m = {
            {"DlnConnect", "Failed to connect to local DLN server\n"},
            {"DlnOpenDevice", "Failed to open device\n"},
            {"DlnGetVersion", "DlnGetVersion() failed\n"},
            {"DlnI2cMasterScanDevices", "DlnI2cMasterScanDevices() failed\n"},
            {"DlnI2cMasterWrite", "DlnI2cMasterWriteDevices() failed\n"},
            {"DlnI2cMasterRead", "DlnI2cMasterReadDevices() failed\n"},
        };
        auto twoLines = [&](const std::string &call, const std::string &printed) {
            m[call] = printed + "() function returns 0x4F\n" + printed + "() failed\n";
        };
        twoLines("DlnI2cMasterGetPortCount", "DlnI2cMasterGetPortCount");
        twoLines("DlnI2cMasterGetFrequency", "DlnI2CMasterGetFrequency");
        twoLines("DlnI2cMasterEnable", "DlnI2cMasterEnable");
        for (const char *spi :
             {"DlnSpiMasterGetPortCount", "DlnSpiMasterGetFrequency", "DlnSpiMasterEnable",
              "DlnSpiMasterSetMode", "DlnSpiMasterGetMode", "DlnSpiMasterSetFrequency",
              "DlnSpiMasterSetSS", "DlnSpiMasterReadWrite"})
            twoLines(spi, spi);
        return m;
    }();
    return lines;
}

// Failures the code deliberately lets pass without a line: the first of a board exchange's two
// reads (only the second carries the reply) and the sensor's register traffic, which reports
// through its status lines instead.
bool IgnoredFailure(const Method &method, const std::vector<dlnsim::TraceEntry> &trace, size_t k) {
    const std::string &call = trace[k].call;
    if (method.keepsConnection && (call == "DlnI2cMasterWrite" || call == "DlnI2cMasterRead"))
        return true;
    // The servo current's first 0xA2 is sent again before anything is judged.
    if (call == "DlnI2cMasterWrite" && k + 1 < trace.size() &&
        trace[k + 1].call == "DlnI2cMasterWrite" && trace[k + 1].address == trace[k].address &&
        trace[k + 1].out == trace[k].out)
        return true;
    return call == "DlnI2cMasterRead" && k > 0 && k + 1 < trace.size() &&
           trace[k - 1].call == "DlnI2cMasterWrite" && trace[k + 1].call == "DlnI2cMasterRead" &&
           trace[k + 1].address == trace[k].address;
}

std::string ExpectedLine(const Method &method, const std::string &call) {
    if (method.transferLine != nullptr &&
        (call == "DlnI2cMasterWrite" || call == "DlnI2cMasterRead"))
        return method.transferLine;
    auto line = FailureLines().find(call);
    return line == FailureLines().end() ? std::string() : line->second;
}

struct MethodRun {
    std::string out;
    size_t before = 0; // trace entries of the laser operations run first
    std::vector<dlnsim::TraceEntry> trace;
    uint64_t injected = 0;
    bool exceptionPending = false;
};

MethodRun RunMethod(const Method &method, const dlnsim::Fault *fault) {
    uint64_t nowUs = 0;
    RecordedWaits waits; // the board waits and polling delays advance the simulated clock
    waits.onWait([&](uint32_t ms) { nowUs += uint64_t{ms} * 1000; });
    dlnsim::SimBuilder builder =
        dlnsim::LoadScenario(dlnsim::DefaultScenarioText(), dlnsim::kDefaultScenarioName);
    builder.clock([&] { return nowUs += 10; });
    if (fault != nullptr)
        builder.fault(*fault);
    std::shared_ptr<dlnsim::Simulator> sim = builder.build();
    DlnInprocAttach(sim);
    FakeJni jni;
    jintArray array = method.call == nullptr ? nullptr : jni.array(method.slots);
    MethodRun run;
    CaptureStdout([&] {
        for (jint code : method.laserFirst) {
            jintArray first = jni.array(Slots({0x29, code}));
            Java_I2C_1DLN_I2C_1LaserMeasurement(jni.env(), nullptr, first);
        }
    });
    run.before = sim->trace().size();
    run.out = CaptureStdout([&] {
        if (method.call == nullptr)
            Java_I2C_1DLN_print(jni.env(), nullptr);
        else
            method.call(jni.env(), nullptr, array);
    });
    run.trace = sim->trace();
    run.injected = sim->injectedFaults();
    run.exceptionPending = jni.exceptionPending;
    DlnInprocDetach();
    TheLaserSensor().forget();
    return run;
}

// Successful connects against disconnects, successful opens against closes.
void ExpectReleased(const std::vector<dlnsim::TraceEntry> &trace, const std::string &what) {
    int connections = 0, handles = 0;
    for (const dlnsim::TraceEntry &entry : trace) {
        bool ok = entry.result < 0x40;
        if (entry.call == "DlnConnect" && ok)
            ++connections;
        else if (entry.call == "DlnDisconnect")
            --connections;
        else if (entry.call == "DlnOpenDevice" && ok)
            ++handles;
        else if (entry.call == "DlnCloseHandle")
            --handles;
    }
    EXPECT_EQ(connections, 0) << what << ": connections left open";
    EXPECT_EQ(handles, 0) << what << ": handles left open";
}

TEST(FaultSweep, EveryCallOfEveryMethodFailingInTurnIsReportedAndReleased) {
    TempWorkingDir dir;
    dir.write("program.hex", "0 12\n1 34\n80 56\n");
    size_t injections = 0;
    for (const Method &method : Methods()) {
        const MethodRun clean = RunMethod(method, nullptr);
        ASSERT_FALSE(clean.trace.empty()) << method.name;
        // Long runs (the EEPROM's pages) are sampled: the first calls, every call's first
        // occurrence and an even spread of the rest.
        const size_t stride = std::max<size_t>(1, (clean.trace.size() - clean.before) / 60);
        std::map<std::string, uint32_t> seen;
        for (size_t k = 0; k < clean.trace.size(); ++k) {
            const std::string &call = clean.trace[k].call;
            const uint32_t nth = ++seen[call];
            if (k < clean.before)
                continue;
            if (k >= clean.before + 40 && nth > 1 && k % stride != 0)
                continue;
            const dlnsim::Fault fault{call, 0x4F, nth};
            const MethodRun run = RunMethod(method, &fault);
            ++injections;
            const std::string what = std::string(method.name) + " with " + call + " #" +
                                     std::to_string(nth) + " failing (call " + std::to_string(k) +
                                     ")";
            EXPECT_EQ(run.injected, 1u) << what;
            EXPECT_FALSE(run.exceptionPending) << what;
            const std::string line = ExpectedLine(method, call);
            if (!line.empty() && !IgnoredFailure(method, clean.trace, k)) {
                // The EEPROM's chip erase only prints its result code, as a number.
                const bool shown = run.out.find(line) != std::string::npos ||
                                   (call == "DlnSpiMasterReadWrite" &&
                                    run.out.find(" =79\n") != std::string::npos);
                EXPECT_TRUE(shown) << what << " does not say so:\n" << run.out;
            }
            if (!method.keepsConnection)
                ExpectReleased(run.trace, what);
        }
    }
    RecordProperty("injections", static_cast<int>(injections));
}

} // namespace
