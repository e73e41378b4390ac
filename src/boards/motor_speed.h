// The motor speed board: 0xC1, a parameter byte and the speed command 0xC0, each followed by
// a settling wait and a read; the speed is the second byte of the last reply.
#pragma once

#include "adapter/failure_report.h"

#include <cstdint>

struct MotorSpeedReading {
    Outcome outcome = Outcome::Failed;
    BusResult failure;   // when failed: the transfer that failed, at step repliesRead + 1
    int repliesRead = 0; // of the three steps: 3 when done
    // Of the last reply read: byte 0 after the first two steps, the speed after the third.
    uint8_t lastValue = 0;
};

// The board's protocol on an open adapter; prints nothing.
MotorSpeedReading ReadMotorSpeed(HDLN handle, int32_t address, int32_t parameter);

// On a connection of its own: sends 0xC1, the parameter's low byte and 0xC0, reading a reply after
// each. Prints nothing unless it fails.
MotorSpeedReading Motor_Speeds_Read(int32_t address, int32_t parameter);
