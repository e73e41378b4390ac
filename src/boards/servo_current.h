// The servo boards' current reading: 0xA2 written twice 100 ms apart, then after another
// 100 ms a four-byte reply whose second byte is the current.
#pragma once

#include "adapter/failure_report.h"

#include <cstdint>

struct ServoCurrentReading {
    Outcome outcome = Outcome::Failed;
    BusResult failure;  // when failed: the transfer that failed, on board boardsRead + 1
    int boardsRead = 0; // 1 when done with one board, 2 with two
    uint8_t currents[2] = {};
};

// One board's current on an open adapter (the 0xA2 exchange with its waits).
BusResult ReadServoCurrent(HDLN handle, uint8_t address, uint8_t *current);

// On a connection of its own: reads the board at address1 and, unless address2 is 0, the one at
// address2, printing each current. The arguments keep the order callers have always used. A failure
// ends the reading; a first board read before it is kept.
ServoCurrentReading DualServo_1500_Current(int32_t address2, int32_t address1);
