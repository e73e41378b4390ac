// Pulse-width control of the servo boards: 0xA3 with a parameter byte, 0xA1 with the pulse
// width's high and low byte, every byte in a board exchange of its own.
#pragma once

#include "adapter/failure_report.h"
#include "adapter/reporter.h"

#include <cstdint>

inline constexpr int kDualServoSteps = 10;

// The exchanges of the dual operation, by step number: 1 0xA3, 2 first parameter, 3 0xA1,
// 4 first high byte, 5 first low byte, 6 0xA3, 7 second parameter (steps 1 to 7 on the first
// board), 8 0xA1, 9 second high byte, 10 second low byte (on the second board).
struct DualServoReading {
    Outcome outcome = Outcome::Failed;
    BusResult failure; // when failed: the transfer of step stepsDone + 1 that failed
    int stepsDone = 0; // exchanges completed: 5 when done with one board, 10 with two
    uint8_t replies[kDualServoSteps + 1] = {}; // by step number, from 1
};

// The dual operation's exchanges on an open adapter: one board (address2 == 0) or two,
// reporting a line after every exchange. A failed exchange ends it.
DualServoReading ExchangeDualServo(HDLN handle, const Reporter &reporter, int32_t address1,
                                   int32_t address2, int32_t high1, int32_t low1, int32_t high2,
                                   int32_t low2, int32_t parameter1, int32_t parameter2);

// On a connection of its own: drives one board (address2 == 0) or two, printing a line after every
// exchange. With address1 == 0 it prints that nothing is to be done and is done at once. A failed
// exchange ends the operation; the replies before it are kept.
DualServoReading DualServo_1500_PWM(int32_t address1, int32_t address2, int32_t high1, int32_t low1,
                                    int32_t high2, int32_t low2, int32_t parameter1,
                                    int32_t parameter2);

// The sequence on an open adapter: sends 0xA3 and parameter to each of the count boards in
// turn, then 0xA1 with its high and low byte to each, reporting a line after every exchange. A
// count of 0 or less touches no board. Returns the failed transfer, if any; it ends the sequence.
BusResult ExchangeServoSequence(HDLN handle, const Reporter &reporter, const int32_t *addresses,
                                const int32_t *highs, const int32_t *lows, int32_t count,
                                int32_t parameter);

// The sequence on a connection of its own.
Outcome Multi_Servo_1500_PWM(const int32_t *addresses, const int32_t *highs, const int32_t *lows,
                             int32_t count, int32_t parameter);
