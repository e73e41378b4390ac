// How long the sensor takes for one measurement: a fixed overhead plus each enabled sequence
// step's timeout and overhead, the timeouts held in macro clocks of the step's VCSEL period.
#include "dlnsim/models/vl53l0x_measurement.h"

namespace dlnsim {

namespace {

uint32_t Reg16(const Vl53l0x &sensor, uint8_t index) {
    return static_cast<uint32_t>(sensor.reg(0, index) << 8 | sensor.reg(0, index + 1));
}

// High byte exponent, low byte mantissa, kept to 16 bits as the sensor does.
uint32_t DecodeMclks(uint32_t encoded) {
    const uint32_t exponent = encoded >> 8;
    const uint32_t mclks = exponent >= 16 ? 0 : ((encoded & 0xFF) << exponent) & 0xFFFF;
    return mclks + 1;
}

uint8_t VcselPclks(const Vl53l0x &sensor, uint8_t index) {
    return static_cast<uint8_t>((sensor.reg(0, index) + 1) * 2);
}

uint32_t MclksToUs(uint8_t vcselPclks, uint32_t mclks) {
    uint64_t macroPeriodNs = (static_cast<uint64_t>(vcselPclks) * 3813120 + 500) / 1000;
    return static_cast<uint32_t>((mclks * macroPeriodNs + 500) / 1000);
}

} // namespace

uint32_t MeasurementTimeUs(const Vl53l0x &sensor) {
    const uint8_t steps = sensor.reg(0, 0x01);
    const bool tcc = steps & 0x10, dss = steps & 0x08, msrc = steps & 0x04;
    const bool preRange = steps & 0x40, finalRange = steps & 0x80;
    const uint8_t preVcsel = VcselPclks(sensor, 0x50);
    const uint8_t finalVcsel = VcselPclks(sensor, 0x70);

    uint32_t total = 2870;
    const uint32_t msrcUs = MclksToUs(preVcsel, sensor.reg(0, 0x46) + 1u);
    if (tcc)
        total += msrcUs + 590;
    if (dss)
        total += 2 * msrcUs + 1380;
    else if (msrc)
        total += msrcUs + 660;
    const uint32_t preMclks = DecodeMclks(Reg16(sensor, 0x51));
    if (preRange)
        total += MclksToUs(preVcsel, preMclks) + 660;
    if (finalRange) {
        uint32_t finalMclks = DecodeMclks(Reg16(sensor, 0x71));
        finalMclks -= preRange && finalMclks > preMclks ? preMclks : 0;
        total += MclksToUs(finalVcsel, finalMclks) + 550;
    }
    return total;
}

} // namespace dlnsim
