#include "ranging/calibration/nvm_spad_info.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/bus/waits.h"

namespace {

constexpr int kNvmReadyPolls = 2000;
constexpr uint8_t kNvmNothingToRead = 7;
constexpr uint8_t kNvmSpadInfoRead = 0x01;

struct RegWrite {
    uint8_t index;
    uint8_t value;
};

void WriteAll(RangingDevice &device, const RegWrite *writes, int count) {
    for (int i = 0; i < count; ++i) {
        (void)VL53L0X_WriteReg8(device, writes[i].index, writes[i].value);
    }
}

// The NVM sits behind page 6/7 registers that are reached through this unlock sequence.
void OpenNvmWindow(RangingDevice &device) {
    static constexpr RegWrite kBefore[] = {{kRegPrivateAccess, 0x01},
                                           {kRegPageSelect, 0x01},
                                           {kRegSysRangeStart, 0x00},
                                           {kRegPageSelect, 0x06}};
    static constexpr RegWrite kAfter[] = {{kRegPageSelect, 0x07}, {kRegNvmControl, 0x01}};
    WriteAll(device, kBefore, 4);
    (void)VL53L0X_UpdateReg8(device, kRegNvmStrobe, 0xFF, 0x04);
    WriteAll(device, kAfter, 2);
    PollingDelay();
    (void)VL53L0X_WriteReg8(device, kRegPrivateAccess, 0x01);
}

void CloseNvmWindow(RangingDevice &device) {
    static constexpr RegWrite kBefore[] = {{kRegNvmControl, 0x00}, {kRegPageSelect, 0x06}};
    static constexpr RegWrite kAfter[] = {{kRegPageSelect, 0x01},
                                          {kRegSysRangeStart, 0x01},
                                          {kRegPageSelect, 0x00},
                                          {kRegPrivateAccess, 0x00}};
    WriteAll(device, kBefore, 2);
    (void)VL53L0X_UpdateReg8(device, kRegNvmStrobe, 0xFB, 0x00);
    WriteAll(device, kAfter, 4);
}

// One 32-bit NVM word; the statuses are ORed so that a time-out does not cut the read short.
SensorStatus ReadNvmWord(RangingDevice &device, uint8_t address, uint32_t *word) {
    int status = VL53L0X_WriteReg8(device, kRegNvmAddress, address);
    status |= VL53L0X_WaitNvmReady(device);
    status |= VL53L0X_ReadReg32(device, kRegNvmData, word);
    return static_cast<SensorStatus>(status);
}

} // namespace

SensorStatus VL53L0X_WaitNvmReady(RangingDevice &device) {
    SensorStatus status = VL53L0X_WriteReg8(device, kRegNvmStrobe, 0x00);
    if (status == kSensorOk) {
        status = kSensorTimeOut;
        for (int poll = 0; poll < kNvmReadyPolls; ++poll) {
            uint8_t ready = 0;
            const SensorStatus read = VL53L0X_ReadReg8(device, kRegNvmStrobe, &ready);
            if (read != kSensorOk) {
                status = read;
                break;
            }
            if (ready != 0) {
                status = kSensorOk;
                break;
            }
        }
    }
    const SensorStatus restored = VL53L0X_WriteReg8(device, kRegNvmStrobe, 0x01);
    return status != kSensorOk ? status : restored;
}

SensorStatus VL53L0X_ReadNvmSpadInfo(RangingDevice &device) {
    if (device.nvmReadState == kNvmNothingToRead) {
        return kSensorOk;
    }
    OpenNvmWindow(device);
    const bool readSpadInfo = (device.nvmReadState & kNvmSpadInfoRead) == 0;
    int status = kSensorOk;
    uint32_t countAndType = 0;
    uint32_t goodLow = 0;
    uint32_t goodHigh = 0;
    if (readSpadInfo) {
        status |= ReadNvmWord(device, kNvmSpadCountAndType, &countAndType);
        status |= ReadNvmWord(device, kNvmGoodSpadsLow, &goodLow);
        status |= ReadNvmWord(device, kNvmGoodSpadsHigh, &goodHigh);
    }
    CloseNvmWindow(device);
    if (status != kSensorOk) {
        return static_cast<SensorStatus>(status);
    }
    if (readSpadInfo) {
        device.refSpadCount = (countAndType >> 8) & 0x7F;
        device.isApertureSpads = (countAndType >> 15) & 0x01;
        const uint8_t map[kSpadMapSize] = {
            static_cast<uint8_t>(goodLow >> 24),  static_cast<uint8_t>(goodLow >> 16),
            static_cast<uint8_t>(goodLow >> 8),   static_cast<uint8_t>(goodLow),
            static_cast<uint8_t>(goodHigh >> 24), static_cast<uint8_t>(goodHigh >> 16)};
        for (int i = 0; i < kSpadMapSize; ++i) {
            device.goodSpadMap[i] = map[i];
        }
    }
    device.nvmReadState |= kNvmSpadInfoRead;
    return kSensorOk;
}
