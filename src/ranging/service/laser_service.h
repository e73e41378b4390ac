// The laser measurement service behind I2C_LaserMeasurement: operation 0 connects to the
// adapter and resets the sensor; every other code runs on the connection kept by operation 0.
// These work on the state they are given; the process-wide state and its lock are in
// laser_sensor.h.
#pragma once

#include "adapter/connection.h"
#include "ranging/device/ranging_device.h"

#include <cstdint>

// Operation 0: the sensor form of the adapter connection (never released), the bus scan, the
// identification read, the bus address, the software reset and the read of the stop variable.
// A repeated call first closes the handle and connection of the previous one. The record
// gets the new handle (0 until the open succeeds); its other fields are kept.
void ConnectRangingSensor(AdapterConnection &connection, RangingDevice &device);

// The sensor's own stop value, at 0x91 behind its private register page, into the record:
// every measurement start writes it back. Returns the first failed step's status.
SensorStatus ReadStopVariable(RangingDevice &device);

// Operation codes other than 0: identification read, bus address, the start line, then the
// operation of code. Writes *resultWord only for an operation that measures a range.
void RunLaserOperation(RangingDevice &device, int32_t code, int32_t *resultWord);

// Runs the operation of a non-zero code on the record. Returns false, with nothing done, when
// the code has no operation (the caller then reports it as unknown).
bool DispatchLaserOperation(RangingDevice &device, int32_t code, int32_t *resultWord);

// Reports a measured range: its value in mm scaled by 120/9100, the status line of status 0,
// and stores the range in *resultWord.
void ReportLaserRange(const Reporter &reporter, uint16_t rangeMm, int32_t *resultWord);
