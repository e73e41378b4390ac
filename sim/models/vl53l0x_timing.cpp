#include "dlnsim/models/vl53l0x_timing.h"

namespace dlnsim {

namespace {

void SetPowerOn16(Vl53l0x &sensor, uint8_t index, uint16_t value) {
    sensor.setPowerOn(0, index, static_cast<uint8_t>(value >> 8));
    sensor.setPowerOn(0, static_cast<uint8_t>(index + 1), static_cast<uint8_t>(value));
}

} // namespace

void AddVl53l0xTiming(Vl53l0x &sensor, const Vl53l0xTiming &timing) {
    sensor.setPowerOn(0, 0x01, timing.sequenceConfig);
    sensor.setPowerOn(0, 0x46, timing.msrcTimeout);
    sensor.setPowerOn(0, 0x50, timing.preRangeVcsel);
    SetPowerOn16(sensor, 0x51, timing.preRangeTimeout);
    sensor.setPowerOn(0, 0x70, timing.finalRangeVcsel);
    SetPowerOn16(sensor, 0x71, timing.finalRangeTimeout);
}

void AddVl53l0xLimitChecks(Vl53l0x &sensor, const Vl53l0xLimitChecks &checks) {
    SetPowerOn16(sensor, 0x44, checks.finalRangeMinSignal);
    sensor.setPowerOn(0, 0x60, checks.msrcConfig);
    SetPowerOn16(sensor, 0x64, checks.preRangeMinSignal);
}

} // namespace dlnsim
