#include "jni/native_method_table.h"

#include "dlnsim/scenario.h"
#include "ranging/service/laser_sensor.h"
#include "support/board_exports.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/recorded_waits.h"

#include "dln_inproc.h"

#include <algorithm>

std::vector<jint> LeadingSlots(std::initializer_list<jint> leading) {
    std::vector<jint> slots(255, 0);
    std::copy(leading.begin(), leading.end(), slots.begin());
    return slots;
}

namespace {

NativeMethodRow Row(const char *name, NativeCall call, std::vector<jint> slots, jint refused,
                    int adapterCalls) {
    NativeMethodRow row;
    row.name = row.javaName = name;
    row.call = call;
    row.slots = std::move(slots);
    row.needed = row.neededWhenNull = 255;
    row.refusedValue = refused;
    row.adapterCalls = adapterCalls;
    return row;
}

NativeMethodRow Servo(const char *name, NativeCall call, std::vector<jint> slots, int adapterCalls,
                      const char *line) {
    NativeMethodRow row = Row(name, call, std::move(slots), 3, adapterCalls);
    row.transferLine = line;
    return row;
}

NativeMethodRow Laser(const char *name, jint code, std::vector<jint> first, int adapterCalls) {
    NativeMethodRow row = Row(name, Java_I2C_1DLN_I2C_1LaserMeasurement, LeadingSlots({0x29, code}),
                              10, adapterCalls);
    row.javaName = "I2C_LaserMeasurement";
    row.keepsConnection = true;
    row.laserFirst = std::move(first);
    return row;
}

NativeMethodRow Arrayless(const char *name, ArraylessCall call, int adapterCalls) {
    NativeMethodRow row;
    row.name = row.javaName = name;
    row.arrayless = call;
    row.adapterCalls = adapterCalls;
    return row;
}

} // namespace

const std::vector<NativeMethodRow> &NativeMethodTable() {
    // Adapter calls: an I2C connection is 6 calls to open and 2 to close, an SPI one the same;
    // a board exchange is 3 transfers. The laser's connect is its connection, the scan, the
    // identification, the reset and the stop variable's read.
    static const std::vector<NativeMethodRow> table = [] {
        NativeMethodRow scan =
            Row("i2cScan", Java_I2C_1DLN_i2cScan, std::vector<jint>(10), 10, 2 * (6 + 1 + 2));
        scan.needed = scan.neededWhenNull = 10;
        NativeMethodRow spi =
            Row("spiWriteRead", Java_I2C_1DLN_spiWriteRead,
                LeadingSlots({3, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 1}), 3, 4 + 4 + 2 + 1 + 2);
        spi.needed = 3 + 8;
        spi.neededWhenNull = 1; // the count itself is missing
        return std::vector<NativeMethodRow>{
            Arrayless("test", Java_I2C_1DLN_test, 0),
            Arrayless("print", Java_I2C_1DLN_print, 6 + 1 + 2),
            scan,
            Row("read", Java_I2C_1DLN_read, LeadingSlots({0x50, 3}), 0, 6 + 1 + 2),
            Row("write", Java_I2C_1DLN_write, LeadingSlots({0x50, 2, 0x10, 0x20}), 3, 6 + 1 + 2),
            Row("adcsdac", Java_I2C_1DLN_adcsdac, LeadingSlots({0x48, 0x80}), 10, 6 + 4 * 3 + 2),
            Row("Ultra_Sonic", Java_I2C_1DLN_Ultra_1Sonic, LeadingSlots({0x70}), 10, 6 + 3 * 2 + 2),
            Row("ReadMotorSpeeds", Java_I2C_1DLN_ReadMotorSpeeds, LeadingSlots({0x30, 1}), 10,
                6 + 3 * 2 + 2),
            Servo("dualServo_1500_PWM", Java_I2C_1DLN_dualServo_11500_1PWM,
                  LeadingSlots({0x51, 0x52, 5, 0xDC, 5, 0xDC, 0, 0}), 6 + 10 * 3 + 2,
                  "DualServo_1500_PWM() failed\n"),
            Servo("dualServo_1500_Current", Java_I2C_1DLN_dualServo_11500_1Current,
                  LeadingSlots({0x51, 0x52}), 6 + 2 * 3 + 2, "DualServo_1500_Current() failed\n"),
            Servo("I2C_Servo_PWM_Sequence", Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence,
                  LeadingSlots({2, 0, 0x51, 5, 0xDC, 0, 0x52, 6, 0x40, 0}), 6 + 2 * 5 * 3 + 2,
                  "Multi_Servo_1500_PWM() failed\n"),
            spi,
            Row("spiEraseEEPROM", Java_I2C_1DLN_spiEraseEEPROM, LeadingSlots({}), 3, 6 + 4 + 2),
            // Identification, write enable, erase twice, write enable and status, then per
            // block: program, two status polls (the chip is busy for one), status, write enable.
            Row("spiProgramEEPROM", Java_I2C_1DLN_spiProgramEEPROM, LeadingSlots({}), 3,
                6 + 4 + 2 + 512 * 5 + 2),
            Laser("I2C_LaserMeasurement 0", 0, {}, 23),
            Laser("I2C_LaserMeasurement 1", 1, {0}, kDriverTraffic),
            Laser("I2C_LaserMeasurement 2", 2, {0, 1}, kDriverTraffic),
        };
    }();
    return table;
}

MethodRun RunOnDefaultRobot(const NativeMethodRow &row, const dlnsim::Fault *fault) {
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
    jintArray array = row.call == nullptr ? nullptr : jni.array(row.slots);
    MethodRun run;
    CaptureStdout([&] {
        for (jint code : row.laserFirst)
            Java_I2C_1DLN_I2C_1LaserMeasurement(jni.env(), nullptr,
                                                jni.array(LeadingSlots({0x29, code})));
    });
    run.before = sim->trace().size();
    run.out = CaptureStdout([&] {
        run.result = row.call == nullptr ? row.arrayless(jni.env(), nullptr)
                                         : row.call(jni.env(), nullptr, array);
    });
    run.trace = sim->trace();
    run.injected = sim->injectedFaults();
    run.exceptionPending = jni.exceptionPending;
    DlnInprocDetach();
    TheLaserSensor().forget();
    return run;
}

HeldResources HeldAfter(const std::vector<dlnsim::TraceEntry> &trace) {
    HeldResources held;
    for (const dlnsim::TraceEntry &entry : trace) {
        const bool ok = entry.result < 0x40;
        if (entry.call == "DlnConnect" && ok)
            ++held.connections;
        else if (entry.call == "DlnDisconnect")
            --held.connections;
        else if (entry.call == "DlnOpenDevice" && ok)
            ++held.handles;
        else if (entry.call == "DlnCloseHandle")
            --held.handles;
    }
    return held;
}
