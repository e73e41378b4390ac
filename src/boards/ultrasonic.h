// The ultrasonic ranger: a temperature byte and the two bytes of a range scan, each asked
// for with a doubled command byte and read after the board had 100 ms to measure.
#pragma once

#include "adapter/failure_report.h"
#include "adapter/reporter.h"

#include <cstdint>

struct RangerReading {
    Outcome outcome = Outcome::Failed;
    BusResult failure;  // when failed: the transfer that failed, for value valuesRead + 1
    int valuesRead = 0; // of the three below, in order: 3 when done
    uint8_t temperature = 0;
    uint8_t rangeLow = 0;
    uint8_t rangeHigh = 0;
};

// The ranger's protocol on an open adapter, reporting each value read.
RangerReading RangeUltrasonic(HDLN handle, const Reporter &reporter, int32_t address);

// On a connection of its own: reads the temperature and the range's low and high byte, printing
// each. A failed transfer ends the reading; the values read before it are kept.
RangerReading Ultra_Sonic_Scan(int32_t address);
