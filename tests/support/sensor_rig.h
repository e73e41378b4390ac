// The simulated ranging sensor (power-on timing, default non-volatile memory, measurements) on
// an in-process adapter whose clock runs only with the library's recorded waits. One rig at a
// time: the waits hook is process-wide.
#pragma once

#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_world.h"
#include "dlnsim/simulator.h"
#include "support/sensor_bus.h"
#include "support/wait_clock.h"

#include <memory>
#include <string>
#include <vector>

struct SensorRig {
    explicit SensorRig(const dlnsim::RangingWorld &world = {},
                       std::vector<dlnsim::Fault> faults = {});

    RangingDevice &device() { return bus.device; }
    // How many transfers to the sensor read exactly as transfer ("W 29: 0b 01").
    long count(const std::string &transfer) const;
    // Register (page, index) reads as the values returned by next, one call per read.
    void scriptReads(uint8_t page, uint8_t index, std::function<uint8_t(int read)> next);

    WaitClock clock;
    std::shared_ptr<dlnsim::Vl53l0x> sensor;
    std::shared_ptr<dlnsim::RangingWorld> world;
    SensorBus bus;
};
