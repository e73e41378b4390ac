// The native method of the laser ranging sensor.
#include "adapter/method_bound.h"
#include "jni/native_method.h"
#include "ranging/service/laser_sensor.h"

#include <cstdio>

namespace {

// The bounds of the laser's operations: connect (with the sensor's reset), calibrate (its
// reference measurements, each a measurement time), measure (one measurement time).
constexpr uint32_t kLaserConnectBoundMs = 1000;
constexpr uint32_t kLaserCalibrateBoundMs = 3000;
constexpr uint32_t kLaserMeasureBoundMs = 1000;

jint LaserBody(ParamSlots &slots) {
    printf("LLLLLLLAAAAAAAAASSSSSSSSSSSSSEEEEERRRRRRRRR\n");
    printf("Laser Operation for I2C Address:%x is: %d\n", slots.slot[0], slots.slot[1]);
    // Slot 0 only seeds the result word; the sensor is always at its fixed bus address.
    int32_t resultWord = slots.slot[0];
    const uint32_t boundMs = slots.slot[1] == 0   ? kLaserConnectBoundMs
                             : slots.slot[1] == 1 ? kLaserCalibrateBoundMs
                                                  : kLaserMeasureBoundMs;
    const MethodBound bound{std::chrono::milliseconds(boundMs)};
    TheLaserSensor().run(slots.slot[1], &resultWord);
    slots.slot[2] = (resultWord >> 8) & 0xFF;
    slots.slot[3] = resultWord & 0xFF;
    return 10;
}

constexpr NativeMethod kLaser{"I2C_LaserMeasurement", ArrayNeed::Full, false, true, 10, LaserBody,
                              kLaserCalibrateBoundMs};

} // namespace

I2C_DLN_EXPORT Java_I2C_1DLN_I2C_1LaserMeasurement(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kLaser);
}
