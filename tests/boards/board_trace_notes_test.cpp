// The trace's decoding of what the library writes to the robot's boards.
#include "dln_api.h"
#include "dlnsim/models/adc_dac_board.h"
#include "dlnsim/models/motor_board.h"
#include "dlnsim/models/servo_board.h"
#include "dlnsim/models/ultrasonic_ranger.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> NotesOfWrites(SimSession &session, uint8_t address,
                                       const std::vector<Bytes> &writes) {
    HDLN handle = 0;
    EXPECT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    session.sim().clearTrace();
    for (const Bytes &bytes : writes)
        DlnI2cMasterWrite(handle, 0, address, 0, 0, static_cast<uint16_t>(bytes.size()),
                          bytes.data());
    std::vector<std::string> notes;
    for (const dlnsim::TraceEntry &entry : session.sim().trace())
        notes.push_back(entry.note);
    DlnCloseHandle(handle);
    DlnDisconnect("localhost", 9656);
    return notes;
}

TEST(BoardTraceNotes, ServoBytesAreNamedByWhatTheBoardMakesOfThem) {
    SimSession session(dlnsim::SimBuilder().i2c(0x51, std::make_shared<dlnsim::ServoBoard>()));
    EXPECT_EQ(NotesOfWrites(session, 0x51, {{0xA3}, {7}, {0xA1}, {0x05}, {0xDC}, {0xA2}, {0x99}}),
              (std::vector<std::string>{"servo: select parameter", "servo parameter 7",
                                        "servo: set pulse width", "servo pulse width MSB 0x05",
                                        "servo pulse width 1500 us", "servo: read current",
                                        "servo: not a command"}));
}

TEST(BoardTraceNotes, OtherBoardsNameTheirCommands) {
    SimSession session(dlnsim::SimBuilder()
                           .i2c(0x30, std::make_shared<dlnsim::MotorBoard>())
                           .i2c(0x48, std::make_shared<dlnsim::AdcDacBoard>())
                           .i2c(0x70, std::make_shared<dlnsim::UltrasonicRanger>()));
    EXPECT_EQ(
        NotesOfWrites(session, 0x30, {{0xC1}, {2}, {0xC0}}),
        (std::vector<std::string>{"motor: select", "motor: parameter 2", "motor: read speed"}));
    EXPECT_EQ(NotesOfWrites(session, 0x48, {{0x42, 0x80}, {0x03}}),
              (std::vector<std::string>{"adc: channel 3, dac = 128", "adc: channel 4"}));
    EXPECT_EQ(NotesOfWrites(session, 0x70, {{0xF1, 0xF1}, {0xF4, 0xF4}, {0xF5, 0xF5}, {0xF5}}),
              (std::vector<std::string>{
                  "ultrasonic: temperature", "ultrasonic: range, low byte first",
                  "ultrasonic: range, high byte first", "ultrasonic: not a command"}));
}

} // namespace
