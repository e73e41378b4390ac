// Pulse-width control of the servo boards: 0xA3 with a parameter byte, 0xA1 with the pulse
// width's high and low byte, every byte in a board exchange of its own.
#pragma once

#include "adapter/failure_report.h"

#include <cstdint>

inline constexpr int kDualServoSteps = 10;

// The exchanges of the dual operation, by step number: 1 0xA3, 2 first parameter, 3 0xA1,
// 4 first high byte, 5 first low byte, 6 0xA3, 7 second parameter (steps 1 to 7 on the first
// board), 8 0xA1, 9 second high byte, 10 second low byte (on the second board).
struct DualServoReading {
    Outcome outcome = Outcome::Failed;
    int stepsDone = 0; // exchanges completed: 5 when done with one board, 10 with two
    uint8_t replies[kDualServoSteps + 1] = {}; // by step number, from 1
};

// Drives one board (address2 == 0) or two, printing a line after every exchange. With
// address1 == 0 it prints that nothing is to be done and is done at once. A failed exchange
// ends the operation; the replies before it are kept.
DualServoReading DualServo_1500_PWM(int32_t address1, int32_t address2, int32_t high1, int32_t low1,
                                    int32_t high2, int32_t low2, int32_t parameter1,
                                    int32_t parameter2);

// Sends 0xA3 and parameter to each of the count boards in turn, then 0xA1 with its high and
// low byte to each. A count of 0 or less touches no board.
Outcome Multi_Servo_1500_PWM(const int32_t *addresses, const int32_t *highs, const int32_t *lows,
                             int32_t count, int32_t parameter);
