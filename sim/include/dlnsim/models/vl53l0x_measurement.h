// The simulated sensor's measurements: single ranging started through register 0x00, the VHV
// and phase calibrations, the reference signal rate of the enabled reference SPADs, and the
// interrupt that signals a finished measurement.
#pragma once

#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_world.h"

#include <memory>

namespace dlnsim {

// Installs the measurement behaviour on sensor; the world may be changed later through the
// returned pointer (the hooks share it).
std::shared_ptr<RangingWorld> AddMeasurements(Vl53l0x &sensor, const RangingWorld &world);

// The time a measurement takes with the sequence steps and timeouts now in the sensor's
// registers (page 0: 0x01, 0x46, 0x50, 0x51, 0x70, 0x71), in microseconds.
uint32_t MeasurementTimeUs(const Vl53l0x &sensor);

} // namespace dlnsim
