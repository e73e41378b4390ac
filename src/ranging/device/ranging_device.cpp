#include "ranging/device/ranging_device.h"

HDLN sensorAdapterHandle = 0;

RangingDevice &TheRangingDevice() {
    static RangingDevice device{};
    return device;
}
