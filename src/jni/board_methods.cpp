// The native methods of the sensor boards: adcsdac, Ultra_Sonic and ReadMotorSpeeds. Their
// readings land from slot 2 on; a failed reading leaves the slots it did not reach as they were.
#include "boards/adc_dac.h"
#include "boards/motor_speed.h"
#include "boards/ultrasonic.h"
#include "jni/native_method.h"

#include <cstdio>

namespace {

constexpr int kFirstResultSlot = 2;
// A complete range is framed by these two values in slots 2 and 5.
constexpr int32_t kRangeFirstMarker = 0xED;
constexpr int32_t kRangeLastMarker = 0xAA;
// A valid speed is followed by these three values in slots 3 to 5.
constexpr int32_t kSpeedMarkers[3] = {0xAA, 0xAB, 0xAC};

void PrintPassingValues(const ParamSlots &slots) {
    for (int i = 0; i < 10; ++i)
        printf("Passing %d value=%d\n", i, slots.slot[i]);
}

jint AdcDacBody(ParamSlots &slots) {
    const AdcDacReading reading = ADCs_DAC_Exchange(slots.slot[0], slots.slot[1]);
    for (int n = 0; n < reading.channelsRead; ++n)
        slots.slot[kFirstResultSlot + n] = reading.channels[n];
    printf("Passing ADCs DAC  Data =%x\n", static_cast<unsigned>(slots.slot[0]));
    PrintPassingValues(slots);
    return 10;
}

jint UltraSonicBody(ParamSlots &slots) {
    const RangerReading reading = Ultra_Sonic_Scan(slots.slot[0]);
    int32_t *results = &slots.slot[kFirstResultSlot];
    if (reading.outcome == Outcome::Done) {
        // The temperature is only printed.
        results[0] = kRangeFirstMarker;
        results[1] = reading.rangeLow;
        results[2] = reading.rangeHigh;
        results[3] = kRangeLastMarker;
    } else {
        // Temperature and low byte landed as they were read, so a failure keeps them.
        if (reading.valuesRead >= 1)
            results[0] = reading.temperature;
        if (reading.valuesRead >= 2)
            results[1] = reading.rangeLow;
    }
    printf("Passing SCAN 1825 Data =%x\n", static_cast<unsigned>(slots.slot[0]));
    PrintPassingValues(slots);
    return 10;
}

jint MotorSpeedsBody(ParamSlots &slots) {
    const MotorSpeedReading reading = Motor_Speeds_Read(slots.slot[0], slots.slot[1]);
    // Slot 2 holds each reply as it comes; the last one is the speed.
    if (reading.repliesRead > 0)
        slots.slot[kFirstResultSlot] = reading.lastValue;
    if (reading.outcome == Outcome::Done) {
        for (int i = 0; i < 3; ++i)
            slots.slot[kFirstResultSlot + 1 + i] = kSpeedMarkers[i];
    }
    return 10;
}

constexpr NativeMethod kAdcDac{"adcsdac", ArrayNeed::Full, false, true, 10, AdcDacBody, 1000};
constexpr NativeMethod kUltraSonic{"Ultra_Sonic", ArrayNeed::Full, false, true, 10, UltraSonicBody,
                                   1300};
constexpr NativeMethod kMotorSpeeds{
    "ReadMotorSpeeds", ArrayNeed::Full, false, true, 10, MotorSpeedsBody, 1210};

} // namespace

I2C_DLN_EXPORT Java_I2C_1DLN_adcsdac(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kAdcDac);
}

I2C_DLN_EXPORT Java_I2C_1DLN_Ultra_1Sonic(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kUltraSonic);
}

I2C_DLN_EXPORT Java_I2C_1DLN_ReadMotorSpeeds(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kMotorSpeeds);
}
