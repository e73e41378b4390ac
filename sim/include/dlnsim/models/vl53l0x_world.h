// What the simulated ranging sensor sees: a target whose distance may change over time, how
// well it reflects, the ambient light, and how the sensor's returns fall off with distance.
#pragma once

#include <cstdint>
#include <vector>

namespace dlnsim {

struct RangingWorld {
    // Target distance over time: linear between waypoints, held before the first and after
    // the last. Times are the simulator's clock.
    struct Waypoint {
        uint64_t timeUs = 0;
        double distanceMm = 0;
    };
    std::vector<Waypoint> path = {{0, 300.0}};
    double reflectance = 1.0;    // 1 = white target; dark targets return less signal
    double signalAt1mMcps = 2.0; // return signal of a white target at 1 m
    double ambientMcps = 0.1;    // ambient rate of a white target at close range
    double minSignalMcps = 0.25; // below it the sensor reports a signal failure
    double noiseMm = 2.0;        // the reported range lies within +-noiseMm of the truth
    uint32_t noiseSeed = 1;
    double effectiveSpads = 10.0;      // effective return SPAD count
    uint32_t measurementTimeUs = 0;    // 0: derived from the sensor's timing registers
    uint32_t calibrationTimeUs = 2000; // a VHV or phase calibration
    uint8_t vhvSetting = 0x1D;         // left in page 6, register 0xCB
    uint8_t phaseCal = 0x21;           // left in page 6, register 0xEE (bit 4 is noise)
    // Reference signal rate (units of register 0xB6, 9.7 MCPS) added per enabled SPAD.
    uint16_t nonApertureSpadRate = 0x0100;
    uint16_t apertureSpadRate = 0x0020;

    double distanceMmAt(uint64_t nowUs) const;
};

// One measurement's returns, as the sensor reports them.
struct RangingReturn {
    uint8_t deviceStatus = 0; // 11 = valid range, 4 = signal failure
    uint16_t rangeMm = 0;     // 8190 with a signal failure
    double rangeMmExact = 0;  // with noise, before rounding
    double signalMcps = 0;
    double ambientMcps = 0;
};

// The returns of measurement number count (0-based) completed at nowUs. Deterministic: the
// same world, count and time give the same returns.
RangingReturn MeasureWorld(const RangingWorld &world, uint64_t count, uint64_t nowUs);

} // namespace dlnsim
