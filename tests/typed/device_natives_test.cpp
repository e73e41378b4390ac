// The typed library's board, SPI, EEPROM and laser natives against the in-process simulator:
// each call is exactly its protocol's transfers on the open session, values come back only
// when true, failures carry the adapter's code and name the step and the device.
#include "dln_api.h"
#include "dlnsim/models/adc_dac_board.h"
#include "dlnsim/models/motor_board.h"
#include "dlnsim/models/servo_board.h"
#include "dlnsim/models/spi_eeprom.h"
#include "dlnsim/models/spi_loopback.h"
#include "dlnsim/models/ultrasonic_ranger.h"
#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_measurement.h"
#include "dlnsim/models/vl53l0x_nvm.h"
#include "dlnsim/models/vl53l0x_timing.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/sim_session.h"
#include "support/typed_exports.h"
#include "support/wait_clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using Calls = std::vector<std::string>;
constexpr uint8_t kServo = 0x12, kAdc = 0x48, kRanger = 0x70, kMotor = 0x30, kSecondServo = 0x13;

struct OpenDevice {
    explicit OpenDevice(dlnsim::SimBuilder builder) : sim(builder.clock(clock.source())) {
        jintArray result = jni.array({-1});
        session = Java_i2cdln_NativeSession_open(jni.env(), nullptr, jni.string("localhost"), 9656,
                                                 result);
        opened = sim.calls().size();
    }
    ~OpenDevice() { Java_i2cdln_NativeSession_close(jni.env(), nullptr, session); }
    // The adapter calls since the session was opened.
    Calls calls() const {
        const Calls all = sim.calls();
        return Calls(all.begin() + static_cast<long>(opened), all.end());
    }
    std::string failure() {
        return FakeJni::text(Java_i2cdln_NativeSession_failure(jni.env(), nullptr, session));
    }

    WaitClock clock; // first: the waits are recorded, never slept
    SimSession sim;
    FakeJni jni;
    jlong session = 0;
    size_t opened = 0;
};

dlnsim::SimBuilder Boards() {
    return dlnsim::SimBuilder()
        .i2c(kServo, std::make_shared<dlnsim::ServoBoard>())
        .i2c(kSecondServo, std::make_shared<dlnsim::ServoBoard>())
        .i2c(kAdc, std::make_shared<dlnsim::AdcDacBoard>())
        .i2c(kRanger, std::make_shared<dlnsim::UltrasonicRanger>())
        .i2c(kMotor, std::make_shared<dlnsim::MotorBoard>());
}

Calls Repeat(const Calls &calls, int times) {
    Calls all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), calls.begin(), calls.end());
    return all;
}

const Calls kExchange = {"DlnI2cMasterWrite", "DlnI2cMasterRead", "DlnI2cMasterRead"};
const Calls kWriteRead = {"DlnI2cMasterWrite", "DlnI2cMasterRead"};

struct BoardCase {
    const char *name;
    std::function<jint(OpenDevice &, jintArray out)> call;
    Calls transfers;
    jint value; // out[0] after the call
};

TEST(TypedBoards, EachCallIsExactlyItsProtocolsTransfersReturnsTheValueAndPrintsNothing) {
    const BoardCase cases[] = {
        {"servoPulse 1500 us",
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_servoPulse(d.jni.env(), nullptr, d.session, kServo,
                                                         1500, 7, out);
         },
         Repeat(kExchange, 5), 5},
        {"servoCurrent",
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_servoCurrent(d.jni.env(), nullptr, d.session, kServo,
                                                           out);
         },
         {"DlnI2cMasterWrite", "DlnI2cMasterWrite", "DlnI2cMasterRead"},
         0x20},
        {"adcDac",
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_adcDac(d.jni.env(), nullptr, d.session, kAdc, 0x80,
                                                     out);
         },
         Repeat(kExchange, 4), 0x10},
        {"ultrasonic",
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_ultrasonic(d.jni.env(), nullptr, d.session, kRanger,
                                                         out);
         },
         Repeat(kWriteRead, 3), 0x0123},
        {"motorSpeed",
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_motorSpeed(d.jni.env(), nullptr, d.session, kMotor, 2,
                                                         out);
         },
         Repeat(kWriteRead, 3), 100},
        {"servoSequence of two boards",
         [](OpenDevice &d, jintArray) {
             return Java_i2cdln_NativeSession_servoSequence(
                 d.jni.env(), nullptr, d.session, 3, d.jni.array({kServo, kSecondServo}),
                 d.jni.array({0x05, 0x06}), d.jni.array({0xDC, 0x40}), 2);
         },
         Repeat(kExchange, 2 * 2 + 2 * 3), -1},
    };
    for (const BoardCase &c : cases) {
        SCOPED_TRACE(c.name);
        OpenDevice device(Boards());
        jintArray out = device.jni.array({-1, -1, -1, -1});
        CapturedOutput printed(stdout);
        EXPECT_EQ(c.call(device, out), kTypedOk) << device.failure();
        EXPECT_EQ(printed.take(), "");
        EXPECT_EQ(device.calls(), c.transfers);
        EXPECT_EQ(device.jni.values(out)[0], c.value);
    }
}

TEST(TypedBoards, ServoPulseAndSequenceReachTheBoards) {
    auto servo = std::make_shared<dlnsim::ServoBoard>();
    auto second = std::make_shared<dlnsim::ServoBoard>();
    OpenDevice device(dlnsim::SimBuilder().i2c(kServo, servo).i2c(kSecondServo, second));
    jintArray steps = device.jni.array({0});
    ASSERT_EQ(Java_i2cdln_NativeSession_servoPulse(device.jni.env(), nullptr, device.session,
                                                   kServo, 1234, 9, steps),
              kTypedOk);
    EXPECT_EQ(servo->pulseWidth(), 1234);
    EXPECT_EQ(servo->parameter(), 9);
    ASSERT_EQ(Java_i2cdln_NativeSession_servoSequence(device.jni.env(), nullptr, device.session, 4,
                                                      device.jni.array({kServo, kSecondServo}),
                                                      device.jni.array({0x05, 0x07}),
                                                      device.jni.array({0xDC, 0xD0}), 2),
              kTypedOk);
    EXPECT_EQ(servo->pulseWidth(), 0x05DC);
    EXPECT_EQ(second->pulseWidth(), 0x07D0);
    EXPECT_EQ(second->parameter(), 4);
}

TEST(TypedBoards, AFailedTransferNamesItsStepAndLeavesTheValuesAlone) {
    struct Case {
        const char *name;
        dlnsim::Fault fault;
        std::function<jint(OpenDevice &, jintArray out)> call;
        jint code;
        const char *failure;
        jint outAfter; // out[0]: -1 when untouched
    };
    const Case cases[] = {
        {"adcDac, third input's first read",
         {"DlnI2cMasterRead", DLN_RES_FAIL, 5},
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_adcDac(d.jni.env(), nullptr, d.session, kAdc, 0, out);
         },
         DLN_RES_FAIL,
         "DlnI2cMasterRead at I2C 0x48, input 3",
         -1},
        {"servoPulse, fourth exchange's write",
         {"DlnI2cMasterWrite", DLN_RES_I2C_NACK, 4},
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_servoPulse(d.jni.env(), nullptr, d.session, kServo,
                                                         1500, 0, out);
         },
         DLN_RES_I2C_NACK,
         "DlnI2cMasterWrite at I2C 0x12, exchange 4 of 5",
         3},
        {"ultrasonic, range high byte's read",
         {"DlnI2cMasterRead", DLN_RES_TIMEOUT, 3},
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_ultrasonic(d.jni.env(), nullptr, d.session, kRanger,
                                                         out);
         },
         DLN_RES_TIMEOUT,
         "DlnI2cMasterRead at I2C 0x70, range high byte",
         -1},
        {"motorSpeed, speed command's write",
         {"DlnI2cMasterWrite", DLN_RES_FAIL, 3},
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_motorSpeed(d.jni.env(), nullptr, d.session, kMotor, 1,
                                                         out);
         },
         DLN_RES_FAIL,
         "DlnI2cMasterWrite at I2C 0x30, step 3 of 3",
         -1},
        {"servoCurrent, the reply",
         {"DlnI2cMasterRead", DLN_RES_I2C_NACK, 1},
         [](OpenDevice &d, jintArray out) {
             return Java_i2cdln_NativeSession_servoCurrent(d.jni.env(), nullptr, d.session, kServo,
                                                           out);
         },
         DLN_RES_I2C_NACK,
         "DlnI2cMasterRead at I2C 0x12",
         -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OpenDevice device(Boards().fault(c.fault));
        jintArray out = device.jni.array({-1, -1, -1, -1});
        EXPECT_EQ(c.call(device, out), c.code);
        EXPECT_EQ(device.failure(), c.failure);
        EXPECT_EQ(device.jni.values(out)[0], c.outAfter);
    }
}

TEST(TypedBoards, HostileArgumentsAndHandlesReachNoAdapter) {
    OpenDevice device(Boards());
    FakeJni &j = device.jni;
    const jlong s = device.session;
    const std::vector<std::pair<const char *, std::function<jint(jlong)>>> calls = {
        {"servoPulse, 70000 us",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_servoPulse(j.env(), nullptr, id, kServo, 70000, 0,
                                                         j.array({0}));
         }},
        {"servoPulse, null steps",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_servoPulse(j.env(), nullptr, id, kServo, 1500, 0,
                                                         nullptr);
         }},
        {"servoCurrent, address 0x112",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_servoCurrent(j.env(), nullptr, id, 0x112,
                                                           j.array({0}));
         }},
        {"adcDac, three inputs",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_adcDac(j.env(), nullptr, id, kAdc, 0,
                                                     j.array({0, 0, 0}));
         }},
        {"adcDac, output 256",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_adcDac(j.env(), nullptr, id, kAdc, 256,
                                                     j.array({0, 0, 0, 0}));
         }},
        {"ultrasonic, empty array",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_ultrasonic(j.env(), nullptr, id, kRanger,
                                                         j.array({}));
         }},
        {"motorSpeed, parameter -1",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_motorSpeed(j.env(), nullptr, id, kMotor, -1,
                                                         j.array({0}));
         }},
        {"servoSequence, count past the arrays",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_servoSequence(
                 j.env(), nullptr, id, 0, j.array({kServo}), j.array({5}), j.array({0xDC}), 2);
         }},
        {"servoSequence, a high byte of 0x105",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_servoSequence(
                 j.env(), nullptr, id, 0, j.array({kServo}), j.array({0x105}), j.array({0xDC}), 1);
         }},
        {"spiTransfer, line 4",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_spiTransfer(j.env(), nullptr, id, 4, 0, 1000000,
                                                          j.bytes({1}), 1);
         }},
        {"spiTransfer, frequency 0",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_spiTransfer(j.env(), nullptr, id, 0, 0, 0,
                                                          j.bytes({1}), 1);
         }},
        {"eepromProgram, past the chip's end",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_eepromProgram(j.env(), nullptr, id, 0, 65535,
                                                            j.bytes({1, 2}), 2);
         }},
        {"eepromRead, negative offset",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_eepromRead(j.env(), nullptr, id, 0, -1, j.bytes({0}),
                                                         1);
         }},
        {"eepromIdentify, short array",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_eepromIdentify(j.env(), nullptr, id, 0,
                                                             j.array({0, 0}));
         }},
        {"laserMeasure, short array",
         [&](jlong id) {
             return Java_i2cdln_NativeSession_laserMeasure(j.env(), nullptr, id, j.array({0}));
         }},
    };
    for (const auto &[name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(s), kBadArgument);
        EXPECT_EQ(call(s + 77), kNoSession);
        EXPECT_FALSE(j.exceptionPending);
    }
    for (auto call : {Java_i2cdln_NativeSession_eepromErase}) {
        EXPECT_EQ(call(j.env(), nullptr, s, -1), kBadArgument);
        EXPECT_EQ(call(j.env(), nullptr, s + 77, 0), kNoSession);
    }
    for (auto call :
         {Java_i2cdln_NativeSession_laserConnect, Java_i2cdln_NativeSession_laserCalibrate})
        EXPECT_EQ(call(j.env(), nullptr, s + 77), kNoSession);
    EXPECT_EQ(device.calls(), Calls{});
}

TEST(TypedSpi, TransferSetsLineModeAndFrequencyThenIsOneCall) {
    OpenDevice device(dlnsim::SimBuilder().spi(2, std::make_shared<dlnsim::SpiLoopback>()));
    jbyteArray data = device.jni.bytes({0x11, 0x22, 0x33});
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Java_i2cdln_NativeSession_spiTransfer(device.jni.env(), nullptr, device.session,
                                                        2, 3, 500000, data, 3),
                  kTypedOk);
        EXPECT_EQ(device.jni.values(data), (std::vector<jbyte>{0x11, 0x22, 0x33}));
    }
    const Calls settings = {"DlnSpiMasterSetMode", "DlnSpiMasterSetFrequency", "DlnSpiMasterSetSS",
                            "DlnSpiMasterReadWrite"};
    Calls expected = {"DlnSpiMasterEnable"}; // the session's first SPI call only
    for (int round = 0; round < 2; ++round)
        expected.insert(expected.end(), settings.begin(), settings.end());
    EXPECT_EQ(device.calls(), expected);
}

TEST(TypedSpi, AFailedTransferLeavesTheBytesAndNamesTheLine) {
    OpenDevice device(dlnsim::SimBuilder()
                          .spi(1, std::make_shared<dlnsim::SpiLoopback>())
                          .fault(dlnsim::Fault{"DlnSpiMasterReadWrite", DLN_RES_FAIL}));
    jbyteArray data = device.jni.bytes({5, 6});
    EXPECT_EQ(Java_i2cdln_NativeSession_spiTransfer(device.jni.env(), nullptr, device.session, 1, 0,
                                                    1000000, data, 2),
              DLN_RES_FAIL);
    EXPECT_EQ(device.failure(), "DlnSpiMasterReadWrite, SPI line 1");
    EXPECT_EQ(device.jni.values(data), (std::vector<jbyte>{5, 6}));
}

TEST(TypedEeprom, ProgramsAndReadsAnyRangeFromMemory) {
    auto eeprom = std::make_shared<dlnsim::SpiEeprom>();
    OpenDevice device(dlnsim::SimBuilder().spi(0, eeprom));
    FakeJni &j = device.jni;
    jintArray id = j.array({0, 0, 0});
    ASSERT_EQ(Java_i2cdln_NativeSession_eepromIdentify(j.env(), nullptr, device.session, 0, id),
              kTypedOk);
    EXPECT_EQ(j.values(id), (std::vector<jint>{0x20, 0x20, 0x10}));
    ASSERT_EQ(Java_i2cdln_NativeSession_eepromErase(j.env(), nullptr, device.session, 0), kTypedOk)
        << device.failure();

    // 300 bytes from 100: across page boundaries and ending inside a page.
    std::vector<jbyte> image(300);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<jbyte>(i * 7 + 1);
    ASSERT_EQ(Java_i2cdln_NativeSession_eepromProgram(j.env(), nullptr, device.session, 0, 100,
                                                      j.bytes(image), 300),
              kTypedOk)
        << device.failure();
    for (size_t i = 0; i < image.size(); ++i)
        ASSERT_EQ(eeprom->memory()[100 + i], static_cast<uint8_t>(image[i])) << "byte " << i;
    EXPECT_EQ(eeprom->memory()[99], 0xFF);
    EXPECT_EQ(eeprom->memory()[400], 0xFF);

    jbyteArray back = j.bytes(std::vector<jbyte>(302));
    ASSERT_EQ(
        Java_i2cdln_NativeSession_eepromRead(j.env(), nullptr, device.session, 0, 99, back, 302),
        kTypedOk);
    EXPECT_EQ(j.values(back)[0], static_cast<jbyte>(0xFF));
    EXPECT_EQ(std::vector<jbyte>(j.values(back).begin() + 1, j.values(back).end() - 1), image);
}

TEST(TypedEeprom, AChipThatStaysBusyIsAFailureNotASuccess) {
    dlnsim::SpiEepromConfig config;
    config.stuckBusy = true;
    OpenDevice device(dlnsim::SimBuilder().spi(0, std::make_shared<dlnsim::SpiEeprom>(config)));
    EXPECT_EQ(Java_i2cdln_NativeSession_eepromProgram(device.jni.env(), nullptr, device.session, 0,
                                                      0, device.jni.bytes({1}), 1),
              kDeviceBusy);
    EXPECT_EQ(device.failure(), "EEPROM busy before a write, EEPROM on SPI line 0");
    EXPECT_EQ(Java_i2cdln_NativeSession_eepromErase(device.jni.env(), nullptr, device.session, 0),
              kDeviceBusy);
}

std::shared_ptr<dlnsim::Vl53l0x> RangingSensor(double distanceMm) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    dlnsim::AddVl53l0xTiming(*sensor);
    dlnsim::AddVl53l0xLimitChecks(*sensor);
    dlnsim::AddVl53l0xNvm(*sensor);
    dlnsim::RangingWorld world;
    world.path = {{0, distanceMm}};
    dlnsim::AddMeasurements(*sensor, world);
    return sensor;
}

TEST(TypedLaser, ConnectCalibrateMeasureGivesTheTargetsRangeAndPrintsNothing) {
    OpenDevice device(dlnsim::SimBuilder().i2c(0x29, RangingSensor(420)));
    FakeJni &j = device.jni;
    // The driver prints its steps for the fifteen methods; through the typed library, nothing.
    CapturedOutput printed(stdout);
    CapturedOutput errors(stderr);
    jintArray range = j.array({-1, -1});
    // Before a connect the session has no sensor to measure with.
    EXPECT_EQ(Java_i2cdln_NativeSession_laserMeasure(j.env(), nullptr, device.session, range),
              kWrongDevice);
    ASSERT_EQ(Java_i2cdln_NativeSession_laserConnect(j.env(), nullptr, device.session), kTypedOk)
        << device.failure();
    ASSERT_EQ(Java_i2cdln_NativeSession_laserCalibrate(j.env(), nullptr, device.session), kTypedOk)
        << device.failure();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Java_i2cdln_NativeSession_laserMeasure(j.env(), nullptr, device.session, range),
                  kTypedOk)
            << device.failure();
        EXPECT_NEAR(j.values(range)[0], 420, 10);
        EXPECT_EQ(j.values(range)[1], 0);
    }
    // Only the sensor was ever addressed.
    for (const std::string &call : device.calls())
        EXPECT_TRUE(call == "DlnI2cMasterWrite" || call == "DlnI2cMasterRead") << call;
    EXPECT_EQ(printed.take(), "");
    EXPECT_EQ(errors.take(), "");
}

TEST(TypedLaser, ADeviceFailureIsRepeatedThriceAConnectionFailureNever) {
    const Calls readOnce = {"DlnI2cMasterWrite", "DlnI2cMasterRead"};
    const struct {
        DLN_RESULT code;
        int attempts; // of the identification read before the connect gives up
    } cases[] = {{DLN_RES_I2C_NACK, 4},       {DLN_RES_FAIL, 4},    {DLN_RES_NOT_CONNECTED, 1},
                 {DLN_RES_INVALID_HANDLE, 1}, {DLN_RES_TIMEOUT, 1}, {DLN_RES_PROTOCOL_ERROR, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        OpenDevice device(dlnsim::SimBuilder()
                              .i2c(0x29, RangingSensor(300))
                              .fault(dlnsim::Fault{"DlnI2cMasterRead", c.code}));
        EXPECT_EQ(Java_i2cdln_NativeSession_laserConnect(device.jni.env(), nullptr, device.session),
                  c.code);
        EXPECT_EQ(device.failure(),
                  "DlnI2cMasterRead at I2C 0x29, sensor status -20 (Control Interface Error)");
        EXPECT_EQ(device.calls(), Repeat(readOnce, c.attempts));
        // A failed connect leaves no sensor to calibrate.
        EXPECT_EQ(
            Java_i2cdln_NativeSession_laserCalibrate(device.jni.env(), nullptr, device.session),
            kWrongDevice);
    }

    // A register device answers 0x00 where the sensor's model id 0xEE belongs, as a sensor
    // held in reset would; after the reset that would release such a sensor, it still is not
    // one.
    OpenDevice other(dlnsim::SimBuilder().i2c(0x29, std::make_shared<dlnsim::ServoBoard>()));
    EXPECT_EQ(Java_i2cdln_NativeSession_laserConnect(other.jni.env(), nullptr, other.session),
              kWrongDevice);
    EXPECT_THAT(other.failure(), testing::MatchesRegex("ranging sensor at I2C 0x29, "
                                                       "identification 0x.. where 0xEE was "
                                                       "expected"));
    EXPECT_EQ(Java_i2cdln_NativeSession_laserCalibrate(other.jni.env(), nullptr, other.session),
              kWrongDevice);
}

// Connects, calibrates and measures times, each range near distanceMm.
void ConnectCalibrateMeasure(OpenDevice &device, int distanceMm, int times) {
    FakeJni &j = device.jni;
    ASSERT_EQ(Java_i2cdln_NativeSession_laserConnect(j.env(), nullptr, device.session), kTypedOk)
        << device.failure();
    ASSERT_EQ(Java_i2cdln_NativeSession_laserCalibrate(j.env(), nullptr, device.session), kTypedOk)
        << device.failure();
    jintArray range = j.array({-1, -1});
    for (int i = 0; i < times; ++i) {
        ASSERT_EQ(Java_i2cdln_NativeSession_laserMeasure(j.env(), nullptr, device.session, range),
                  kTypedOk)
            << device.failure();
        EXPECT_NEAR(j.values(range)[0], distanceMm, 10);
    }
}

TEST(TypedLaser, ConnectsCalibratesAndMeasuresThroughFivePercentFailedTransfers) {
    for (uint64_t seed : {5u, 11u, 29u}) {
        SCOPED_TRACE(seed);
        OpenDevice device(dlnsim::SimBuilder()
                              .i2c(0x29, RangingSensor(650))
                              .randomFaults({.seed = seed,
                                             .rate = 0.05,
                                             .calls = {"DlnI2cMasterWrite", "DlnI2cMasterRead"},
                                             .flip = false}));
        ConnectCalibrateMeasure(device, 650, 10);
        EXPECT_GT(device.sim.sim().injectedFaults(), 20u); // the faults did hit
    }
}

TEST(TypedLaser, ASensorLeftInResetOrOnAPrivatePageConnectsAndAFailedPollReadIsAFailure) {
    // As a connect cut short leaves the sensor: held in its reset (a failed release write), or
    // on private page 1 (a failed write back to page 0); either way 0xC0 reads 0.
    const std::vector<std::vector<jbyte>> leftBy[] = {
        {{static_cast<jbyte>(0xBF), 0x00}},
        {{static_cast<jbyte>(0x80), 0x01}, {static_cast<jbyte>(0xFF), 0x01}}};
    for (const auto &writes : leftBy) {
        OpenDevice device(dlnsim::SimBuilder().i2c(0x29, RangingSensor(500)));
        FakeJni &j = device.jni;
        for (const std::vector<jbyte> &bytes : writes)
            ASSERT_EQ(Java_i2cdln_NativeSession_i2cWrite(j.env(), nullptr, device.session, 0x29,
                                                         j.bytes(bytes), 2),
                      kTypedOk);
        ConnectCalibrateMeasure(device, 500, 1);
    }

    // The reset's first poll of the identification (the sensor's second read) fails for good:
    // the driver's poll reads on, but the connect must not call that a success.
    dlnsim::SimBuilder failing = dlnsim::SimBuilder().i2c(0x29, RangingSensor(500));
    for (uint32_t nth = 2; nth <= 5; ++nth)
        failing.fault(dlnsim::Fault{"DlnI2cMasterRead", DLN_RES_I2C_NACK, nth});
    OpenDevice polled(failing);
    EXPECT_EQ(Java_i2cdln_NativeSession_laserConnect(polled.jni.env(), nullptr, polled.session),
              DLN_RES_I2C_NACK);
    EXPECT_EQ(polled.failure(), "DlnI2cMasterRead at I2C 0x29");
}

} // namespace
