#include "ranging/bus/registers.h"

#include "adapter/bus.h"
#include "ranging/bus/register_map.h"

#include <cstdio>
#include <cstring>

namespace {

uint8_t BusAddress(const RangingDevice &device) {
    return static_cast<uint8_t>(device.busAddress >> 1);
}

// A transfer's status for the driver; the first failure is kept with its code.
SensorStatus Judged(RangingDevice &device, const BusResult &result) {
    if (result.ok())
        return kSensorOk;
    if (device.busFailure.ok())
        device.busFailure = result;
    return kSensorControlInterface;
}

// The one write primitive: the index, then count data bytes, in one transfer.
SensorStatus WriteIndexed(RangingDevice &device, uint8_t index, const uint8_t *bytes,
                          uint8_t count) {
    uint8_t buffer[1 + 255];
    buffer[0] = index;
    if (count > 0)
        std::memcpy(buffer + 1, bytes, count);
    const BusResult result = I2cWrite(device.adapterHandle, BusAddress(device), buffer,
                                      static_cast<uint16_t>(count + 1));
    return Judged(device, result);
}

// The one read primitive: the index write, then a read of count bytes. The buffer is cleared
// first, so that a failed transfer yields zeros rather than whatever the caller had there.
SensorStatus ReadIndexed(RangingDevice &device, uint8_t index, uint8_t *bytes, uint8_t count) {
    std::memset(bytes, 0, count);
    if (Judged(device, I2cWrite(device.adapterHandle, BusAddress(device), &index, 1)) != kSensorOk)
        return kSensorControlInterface;
    if (Judged(device, I2cRead(device.adapterHandle, BusAddress(device), bytes, count)) !=
        kSensorOk) {
        std::memset(bytes, 0, count);
        return kSensorControlInterface;
    }
    return kSensorOk;
}

} // namespace

SensorStatus VL53L0X_WriteReg8(RangingDevice &device, uint8_t index, uint8_t value) {
    return WriteIndexed(device, index, &value, 1);
}

SensorStatus VL53L0X_WriteReg16(RangingDevice &device, uint8_t index, uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return WriteIndexed(device, index, bytes, 2);
}

SensorStatus VL53L0X_WriteBlock(RangingDevice &device, uint8_t index, const uint8_t *bytes,
                                uint8_t count) {
    return WriteIndexed(device, index, bytes, count);
}

SensorStatus VL53L0X_ReadReg8(RangingDevice &device, uint8_t index, uint8_t *value) {
    return ReadIndexed(device, index, value, 1);
}

SensorStatus VL53L0X_ReadReg16(RangingDevice &device, uint8_t index, uint16_t *value) {
    uint8_t bytes[2];
    SensorStatus status = ReadIndexed(device, index, bytes, 2);
    device.reporter->Line("%2x%2x", bytes[0], bytes[1]);
    *value = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    return status;
}

SensorStatus VL53L0X_ReadReg32(RangingDevice &device, uint8_t index, uint32_t *value) {
    uint8_t bytes[4];
    SensorStatus status = ReadIndexed(device, index, bytes, 4);
    *value = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
             static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
    return status;
}

SensorStatus VL53L0X_ReadBlock(RangingDevice &device, uint8_t index, uint8_t *bytes,
                               uint8_t count) {
    return ReadIndexed(device, index, bytes, count);
}

SensorStatus VL53L0X_UpdateReg8(RangingDevice &device, uint8_t index, uint8_t mask, uint8_t bits) {
    uint8_t old = 0;
    SensorStatus status = VL53L0X_ReadReg8(device, index, &old);
    // Writing back a value built on a failed read would clobber the register's other bits.
    if (status != kSensorOk)
        return status;
    return VL53L0X_WriteReg8(device, index, static_cast<uint8_t>((old & mask) | bits));
}

SensorStatus VL53L0X_WriteSequenceConfig(RangingDevice &device, uint8_t value) {
    SensorStatus status = VL53L0X_WriteReg8(device, kRegSequenceConfig, value);
    if (status == kSensorOk)
        device.sequenceConfig = value;
    return status;
}
