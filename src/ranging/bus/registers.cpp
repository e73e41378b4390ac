#include "ranging/bus/registers.h"

#include "adapter/bus.h"
#include "ranging/bus/register_map.h"

#include <cstdio>
#include <cstring>

namespace {

uint8_t BusAddress(const RangingDevice &device) {
    return static_cast<uint8_t>(device.busAddress >> 1);
}

// True for a failure of the device or of the one transfer: a NACK, a failed call. Any other
// code means the adapter or its connection is gone (or the method's bound passed), where a
// repeat cannot help.
bool Repeatable(const BusResult &result) {
    return result.code == DLN_RES_I2C_NACK || result.code == DLN_RES_FAIL;
}

// Runs transfer() -> BusResult, again up to device.transferRetries times while it fails
// repeatably; the driver's status of the last attempt. Only a failure that stays is kept, the
// first one with its code.
template <class Transfer> SensorStatus Judged(RangingDevice &device, Transfer transfer) {
    BusResult result = transfer();
    for (int retry = 0; retry < device.transferRetries && Repeatable(result); ++retry)
        result = transfer();
    if (result.ok())
        return kSensorOk;
    if (device.busFailure.ok())
        device.busFailure = result;
    return kSensorControlInterface;
}

// The one write primitive: the index, then count data bytes, in one transfer. A repeat sends
// the same bytes: the register ends as one successful write leaves it.
SensorStatus WriteIndexed(RangingDevice &device, uint8_t index, const uint8_t *bytes,
                          uint8_t count) {
    uint8_t buffer[1 + 255];
    buffer[0] = index;
    if (count > 0)
        std::memcpy(buffer + 1, bytes, count);
    return Judged(device, [&] {
        return I2cWrite(device.adapterHandle, BusAddress(device), buffer,
                        static_cast<uint16_t>(count + 1));
    });
}

// The one read primitive: the index write, then a read of count bytes. A repeat makes both
// again, since a read cut short has moved the sensor's auto-incremented index; reading the
// driver's registers changes nothing on the sensor. The buffer is cleared first, so that a
// failed transfer yields zeros rather than whatever the caller had there.
SensorStatus ReadIndexed(RangingDevice &device, uint8_t index, uint8_t *bytes, uint8_t count) {
    const SensorStatus status = Judged(device, [&] {
        std::memset(bytes, 0, count);
        BusResult result = I2cWrite(device.adapterHandle, BusAddress(device), &index, 1);
        if (result.ok())
            result = I2cRead(device.adapterHandle, BusAddress(device), bytes, count);
        return result;
    });
    if (status != kSensorOk)
        std::memset(bytes, 0, count);
    return status;
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
