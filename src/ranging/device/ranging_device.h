// The one record of the ranging sensor's driver, with the adapter handle its traffic uses.
#pragma once

#include "adapter/bus.h"
#include "adapter/reporter.h"
#include "dln_api.h"
#include "ranging/device/sensor_status.h"

#include <cstdint>

inline constexpr int kLimitCheckCount = 6;
inline constexpr int kSpadMapSize = 6; // 48 reference SPADs; SPAD i is bit i % 8 of byte i / 8

// A tuning table: a byte string of entries ending with a zero byte where an entry would start.
// The record only points at one; whoever supplies the table owns it.
using TuningTable = const uint8_t *;

// Measurement parameters, read back from the sensor and copied as a whole.
struct CurrentParameters {
    uint8_t deviceMode = 0; // 0 = single ranging
    uint32_t measurementTimingBudgetUs = 0;
    uint32_t interMeasurementPeriodMs = 0;
    uint8_t xtalkCompensationEnable = 0;
    uint32_t xtalkCompensationRate = 0; // 16.16
    int32_t rangeOffsetUm = 0;
    uint8_t limitCheckEnable[kLimitCheckCount] = {};
    uint8_t limitCheckStatus[kLimitCheckCount] = {};
    uint32_t limitCheckValue[kLimitCheckCount] = {}; // 16.16
    uint8_t wrapAroundCheckEnable = 0;               // bit 7 of register 0x01
};

// The result of one measurement.
struct RangingResult {
    uint32_t timestampValue = 0;
    uint32_t measurementTimeUs = 0;
    uint16_t rangeMm = 0;
    uint16_t dmaxMm = 0;
    uint32_t signalRateReturn = 0;   // 16.16, MCPS
    uint32_t ambientRateReturn = 0;  // 16.16, MCPS
    uint16_t effectiveSpadCount = 0; // 8.8
    uint8_t zoneId = 0;
    uint8_t rangeFraction = 0; // two top bits, units of 0.25 mm
    uint8_t rangeStatus = 0;
};

// A value-initialised record (RangingDevice{}) holds the creation values: all zero except
// useDefaultTuning 1 and linearityGain 1000, no custom tuning table.
struct RangingDevice {
    ::CurrentParameters CurrentParameters;
    RangingResult lastResult;
    uint8_t gpioInterruptMode = 0; // 4 = new sample ready is signalled through register 0x13
    uint32_t finalRangeTimeoutUs = 0;
    uint8_t finalRangeVcselPeriod = 0; // PCLKs
    uint32_t preRangeTimeoutUs = 0;
    uint8_t preRangeVcselPeriod = 0; // PCLKs
    uint8_t nvmReadState = 0;        // bit 0: SPAD information read; 7: nothing more to read
    uint8_t refSpadCount = 0;
    uint8_t isApertureSpads = 0;
    uint8_t refSpadEnables[kSpadMapSize] = {};
    uint8_t goodSpadMap[kSpadMapSize] = {};
    uint8_t sequenceConfig = 0;        // last known value of register 0x01
    uint8_t rangeFractionalEnable = 0; // bit 0 of register 0x09
    uint8_t deviceState = 0;           // 0 after reset, 3 idle
    uint8_t stopVariable = 0;          // written to register 0x91 at every measurement start
    uint16_t targetRefRate = 0;
    TuningTable customTuningTable = nullptr;
    uint8_t useDefaultTuning = 1;
    uint16_t linearityGain = 1000; // thousandths; 1000 leaves ranges unchanged
    uint8_t busAddress = 0;        // 8-bit form; the bus uses it shifted right by one
    HDLN adapterHandle = 0;        // every register operation uses it, port 0; 0: none opened
    // Where the driver's printed lines go: the fifteen methods print them, the typed library not.
    const Reporter *reporter = &kPrintingReporter;
    // The first transfer that failed since the caller cleared it, with the adapter's code: the
    // driver's statuses say only that the control interface failed.
    BusResult busFailure;
    // How often a register transfer the device failed (a NACK, a failed call) is made again
    // before it counts as failed. The fifteen methods keep 0: their traffic stays as it was.
    uint8_t transferRetries = 0;
};

// The sensor's bus address in the 8-bit form the record keeps (0x29 on the bus).
inline constexpr uint8_t kSensorBusAddress = 0x52;
