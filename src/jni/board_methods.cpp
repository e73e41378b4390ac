// The native methods of the sensor boards: adcsdac, Ultra_Sonic and ReadMotorSpeeds.
#include "boards/adc_dac.h"
#include "boards/motor_speed.h"
#include "boards/ultrasonic.h"
#include "jni/native_method.h"

#include <cstdio>

namespace {

void PrintPassingValues(const ParamSlots &slots) {
    for (int i = 0; i < 10; ++i)
        printf("Passing %d value=%d\n", i, slots.slot[i]);
}

jint AdcDacBody(ParamSlots &slots) {
    ADCs_DAC_Exchange(slots.slot[0], slots.slot[1], &slots.slot[2]);
    printf("Passing ADCs DAC  Data =%x\n", static_cast<unsigned>(slots.slot[0]));
    PrintPassingValues(slots);
    return 10;
}

jint UltraSonicBody(ParamSlots &slots) {
    Ultra_Sonic_Scan(slots.slot[0], &slots.slot[2]);
    printf("Passing SCAN 1825 Data =%x\n", static_cast<unsigned>(slots.slot[0]));
    PrintPassingValues(slots);
    return 10;
}

jint MotorSpeedsBody(ParamSlots &slots) {
    Motor_Speeds_Read(slots.slot[0], slots.slot[1], &slots.slot[2]);
    return 10;
}

constexpr NativeMethod kAdcDac{"adcsdac", ArrayNeed::Full, false, true, 10, AdcDacBody};
constexpr NativeMethod kUltraSonic{"Ultra_Sonic", ArrayNeed::Full, false, true, 10, UltraSonicBody};
constexpr NativeMethod kMotorSpeeds{"ReadMotorSpeeds", ArrayNeed::Full, false, true, 10,
                                    MotorSpeedsBody};

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
