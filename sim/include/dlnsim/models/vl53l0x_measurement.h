// The simulated sensor's measurements: single ranging started through register 0x00, the VHV
// and phase calibrations, the reference signal rate of the enabled reference SPADs, and the
// interrupt that signals a finished measurement.
#pragma once

#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_world.h"

#include <deque>
#include <memory>

namespace dlnsim {

// The ranges the sensor reported over the last minute, for the live page.
struct RangeLog {
    struct Entry {
        uint64_t timeUs = 0;
        uint16_t rangeMm = 0;
        uint8_t deviceStatus = 0;
    };
    static constexpr uint64_t kKeepUs = 60000000;
    static constexpr size_t kMaxEntries = 4096; // a program ranging flat out
    std::deque<Entry> entries;
    uint64_t count = 0; // ranges reported since power-on
    void add(const Entry &entry);
};

// Installs the measurement behaviour on sensor; the world may be changed later through the
// returned pointer (the hooks share it). Each range finished is added to log, if given.
std::shared_ptr<RangingWorld> AddMeasurements(Vl53l0x &sensor, const RangingWorld &world,
                                              std::shared_ptr<RangeLog> log = nullptr);

// The time a measurement takes with the sequence steps and timeouts now in the sensor's
// registers (page 0: 0x01, 0x46, 0x50, 0x51, 0x70, 0x71), in microseconds.
uint32_t MeasurementTimeUs(const Vl53l0x &sensor);

} // namespace dlnsim
