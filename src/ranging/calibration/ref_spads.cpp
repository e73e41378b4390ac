#include "ranging/calibration/ref_spads.h"

#include "ranging/bus/register_list.h"
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/measurement/single_ranging.h"

#include <cstring>
#include <iterator>

namespace {

constexpr int32_t kSpadCount = kSpadMapSize * 8;
// Only the pre-range and final-range steps run for a reference rate measurement.
constexpr uint8_t kSequencePreAndFinalRange = 0xC0;

// Aperture flag per quarter of the sensor's SPAD index space; the reference SPADs start at 180.
constexpr int32_t kApertureSpadTable[] = {10, 5, 0, 5};
constexpr uint32_t kRefSpadOffset = 180;

} // namespace

bool IsApertureSpad(uint32_t index) {
    uint32_t quarter = (index + kRefSpadOffset) / 64;
    return quarter < std::size(kApertureSpadTable) && kApertureSpadTable[quarter] != 0;
}

int32_t SkipToApertureSpad(int32_t start) {
    int32_t index = start;
    while (!IsApertureSpad(static_cast<uint32_t>(index)) && index < 44)
        ++index;
    return index;
}

int32_t VL53L0X_FindNextGoodSpad(const uint8_t *goodMap, int32_t start) {
    for (int32_t index = start < 0 ? 0 : start; index < kSpadCount; ++index) {
        if ((goodMap[index / 8] >> (index % 8)) & 0x01)
            return index;
    }
    return -1;
}

SensorStatus VL53L0X_EnableRefSpads(RangingDevice &device, uint8_t isAperture,
                                    const uint8_t *goodMap, uint8_t *enables, int32_t start,
                                    uint32_t count, int32_t *lastIndex) {
    int32_t index = start;
    SensorStatus status = kSensorOk;
    for (uint32_t enabled = 0; enabled < count; ++enabled) {
        int32_t next = VL53L0X_FindNextGoodSpad(goodMap, index);
        if (next < 0 || IsApertureSpad(static_cast<uint32_t>(next)) != (isAperture != 0)) {
            status = kSensorRefSpadInit;
            break;
        }
        enables[next / 8] = static_cast<uint8_t>(enables[next / 8] | 1u << (next % 8));
        index = next + 1;
    }
    *lastIndex = index;
    if (status != kSensorOk)
        return status;

    status = VL53L0X_WriteBlock(device, kRegSpadEnables, enables, kSpadMapSize);
    uint8_t readBack[kSpadMapSize];
    if (status == kSensorOk)
        status = VL53L0X_ReadBlock(device, kRegSpadEnables, readBack, kSpadMapSize);
    if (status != kSensorOk)
        return status;
    return std::memcmp(readBack, enables, kSpadMapSize) == 0 ? kSensorOk : kSensorRefSpadInit;
}

SensorStatus VL53L0X_MeasureRefSignalRate(RangingDevice &device, uint16_t *rate) {
    const uint8_t sequenceConfig = device.sequenceConfig;
    SensorStatus status = VL53L0X_WriteReg8(device, kRegSequenceConfig, kSequencePreAndFinalRange);
    RangingResult unused;
    if (status == kSensorOk)
        status = VL53L0X_PerformSingleRangingMeasurement(device, &unused);
    if (status != kSensorOk)
        return status;

    status = VL53L0X_WriteReg8(device, kRegPageSelect, 0x01);
    if (status == kSensorOk)
        status = VL53L0X_ReadReg16(device, kRegRefSignalRate, rate) == kSensorOk
                     ? kSensorOk
                     : kSensorControlInterface;
    SensorStatus page = VL53L0X_WriteReg8(device, kRegPageSelect, 0x00);
    if (status == kSensorOk)
        status = page;
    if (status != kSensorOk)
        return status;

    return VL53L0X_WriteSequenceConfig(device, sequenceConfig);
}

SensorStatus WriteRefSpadPreamble(RangingDevice &device) {
    return WriteRegisterList(device, {{kRegPageSelect, 0x01},
                                      {kRegRefSpadStartOffset, 0x00},
                                      {kRegRefSpadRequestedCount, 0x2C},
                                      {kRegPageSelect, 0x00},
                                      {kRegRefSpadStartSelect, 0xB4}});
}

SensorStatus VL53L0X_ApplyRefSpadsFromNvm(RangingDevice &device, uint32_t count,
                                          uint8_t isAperture) {
    SensorStatus status = WriteRefSpadPreamble(device);
    if (status != kSensorOk)
        return status;
    std::memset(device.refSpadEnables, 0, kSpadMapSize);

    int32_t start = isAperture != 0 ? SkipToApertureSpad(0) : 0;
    int32_t lastIndex = 0;
    status = VL53L0X_EnableRefSpads(device, isAperture, device.goodSpadMap, device.refSpadEnables,
                                    start, count, &lastIndex);
    if (status == kSensorOk) {
        device.refSpadCount = static_cast<uint8_t>(count);
        device.isApertureSpads = isAperture;
    }
    return status;
}
