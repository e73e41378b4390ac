#include "ranging/calibration/ref_spad_management.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/calibration/ref_calibration.h"
#include "ranging/calibration/ref_spads.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kFirstSpads = 3;

int32_t Distance(uint16_t rate, uint16_t target) {
    return std::abs(static_cast<int32_t>(rate) - static_cast<int32_t>(target));
}

struct Search {
    uint32_t count = 0;
    uint8_t isAperture = 0;
    int32_t nextIndex = 0;
};

// Adds good SPADs of the search type one at a time while the rate stays at or below the
// target; once it passes, keeps whichever of the last two sets lies nearer.
SensorStatus AddSpadsUpToTarget(RangingDevice &device, uint16_t target, uint16_t rate,
                                Search &search) {
    uint8_t lastGood[kSpadMapSize];
    std::memcpy(lastGood, device.refSpadEnables, kSpadMapSize);
    int32_t lastDistance = Distance(rate, target);
    for (;;) {
        int32_t next = VL53L0X_FindNextGoodSpad(device.goodSpadMap, search.nextIndex);
        if (next < 0)
            return kSensorRefSpadInit;
        if (IsApertureSpad(static_cast<uint32_t>(next)) != (search.isAperture != 0))
            return kSensorOk;

        ++search.count;
        device.refSpadEnables[next / 8] =
            static_cast<uint8_t>(device.refSpadEnables[next / 8] | 1u << (next % 8));
        search.nextIndex = next + 1;
        SensorStatus status =
            VL53L0X_WriteBlock(device, kRegSpadEnables, device.refSpadEnables, kSpadMapSize);
        if (status == kSensorOk)
            status = VL53L0X_MeasureRefSignalRate(device, &rate);
        if (status != kSensorOk)
            return status;

        if (rate <= target) {
            std::memcpy(lastGood, device.refSpadEnables, kSpadMapSize);
            lastDistance = Distance(rate, target);
            continue;
        }
        if (Distance(rate, target) > lastDistance) {
            status = VL53L0X_WriteBlock(device, kRegSpadEnables, lastGood, kSpadMapSize);
            if (status != kSensorOk)
                return status;
            --search.count;
            std::memcpy(device.refSpadEnables, lastGood, kSpadMapSize);
        }
        return kSensorOk;
    }
}

} // namespace

SensorStatus VL53L0X_PerformRefSpadManagement(RangingDevice &device, uint32_t *refSpadCount,
                                              uint8_t *isApertureSpads) {
    const uint16_t target = device.targetRefRate;
    std::memset(device.refSpadEnables, 0, kSpadMapSize);

    SensorStatus status = WriteRefSpadPreamble(device);
    if (status == kSensorOk)
        status = VL53L0X_WriteReg8(device, kRegPrivateAccess, 0x00);
    uint8_t vhvSetting = 0;
    uint8_t phaseCal = 0;
    if (status == kSensorOk)
        status = VL53L0X_PerformRefCalibration(device, &vhvSetting, &phaseCal, 0);
    if (status != kSensorOk)
        return status;

    Search search;
    uint16_t rate = 0;
    status = VL53L0X_EnableRefSpads(device, 0, device.goodSpadMap, device.refSpadEnables, 0,
                                    kFirstSpads, &search.nextIndex);
    if (status == kSensorOk)
        status = VL53L0X_MeasureRefSignalRate(device, &rate);
    if (status != kSensorOk)
        return status;

    if (rate > target) {
        // Non-aperture SPADs give too much signal: start again with aperture ones.
        search.isAperture = 1;
        std::memset(device.refSpadEnables, 0, kSpadMapSize);
        status = VL53L0X_EnableRefSpads(device, 1, device.goodSpadMap, device.refSpadEnables,
                                        SkipToApertureSpad(search.nextIndex), kFirstSpads,
                                        &search.nextIndex);
        if (status == kSensorOk)
            status = VL53L0X_MeasureRefSignalRate(device, &rate);
        if (status != kSensorOk)
            return status;
    }

    // A rate above the target after three aperture SPADs, or exactly on it, ends the search.
    search.count = kFirstSpads;
    if (rate < target) {
        status = AddSpadsUpToTarget(device, target, rate, search);
        if (status != kSensorOk)
            return status;
    }

    *refSpadCount = search.count;
    *isApertureSpads = search.isAperture;
    device.refSpadCount = static_cast<uint8_t>(search.count);
    device.isApertureSpads = search.isAperture;
    return kSensorOk;
}
