// The native methods of the servo boards: dualServo_1500_PWM, I2C_Servo_PWM_Sequence and
// dualServo_1500_Current.
#include "boards/servo_current.h"
#include "boards/servo_pwm.h"
#include "jni/native_method.h"

#include <cstdio>

namespace {

void PrintDualServoSlots(const ParamSlots &slots, int count) {
    for (int i = 0; i < count; ++i)
        printf("Dual Servo: i=%d Data=%d : %x\n", i, slots.slot[i],
               static_cast<unsigned>(slots.slot[i]));
}

void PrintPassingAddresses(const ParamSlots &slots) {
    printf("Passing Write Data =%x\n", static_cast<unsigned>(slots.slot[0]));
    for (int i = 0; i < 10; ++i)
        printf("Passing %d address=%d\n", i, slots.slot[i]);
}

jint DualServoPwmBody(ParamSlots &slots) {
    int32_t *s = slots.slot;
    PrintDualServoSlots(slots, 8);
    DualServo_1500_PWM(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], &s[6]);
    printf("Passing Write Data =%x\n", static_cast<unsigned>(s[0]));
    return 3;
}

// Records sit four slots apart from slot 2: address, high byte, low byte, one unused slot.
jint ServoSequenceBody(ParamSlots &slots) {
    const int32_t count = slots.slot[0];
    if (count > kMaxServoRecords) {
        // Records past the 63rd lie beyond the slots copied in; none of them is sent.
        printf("I2C_Servo_PWM_Sequence: %d servo records do not fit in the array (at most %d). "
               "Nothing to be done.\n",
               count, kMaxServoRecords);
    } else {
        int32_t addresses[256] = {};
        int32_t highs[256] = {};
        int32_t lows[256] = {};
        for (int32_t i = 0; i < count; ++i) {
            addresses[i] = slots.slot[2 + 4 * i];
            highs[i] = slots.slot[3 + 4 * i];
            lows[i] = slots.slot[4 + 4 * i];
            printf("Servo PWM Sequence servoNumber=%d Servo_I2C_Address: %x Servo PWM MSB= %x "
                   "LSB=%x\n",
                   i, static_cast<unsigned>(addresses[i]), static_cast<unsigned>(highs[i]),
                   static_cast<unsigned>(lows[i]));
        }
        Multi_Servo_1500_PWM(addresses, highs, lows, count, slots.slot[1]);
    }
    PrintPassingAddresses(slots);
    return 3;
}

jint DualServoCurrentBody(ParamSlots &slots) {
    int32_t *s = slots.slot;
    PrintDualServoSlots(slots, 6);
    if (s[0] == 0)
        printf("I2C Address Zero. Nothing to be done.\n");
    else
        DualServo_1500_Current(s[1], &s[6], s[0]);
    PrintPassingAddresses(slots);
    return 3;
}

constexpr NativeMethod kDualServoPwm{"dualServo_1500_PWM", ArrayNeed::Full, true, true, 3,
                                     DualServoPwmBody};
constexpr NativeMethod kServoSequence{"I2C_Servo_PWM_Sequence", ArrayNeed::Full, true, true, 3,
                                      ServoSequenceBody};
constexpr NativeMethod kDualServoCurrent{"dualServo_1500_Current", ArrayNeed::Full, true, true, 3,
                                         DualServoCurrentBody};

} // namespace

I2C_DLN_EXPORT Java_I2C_1DLN_dualServo_11500_1PWM(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kDualServoPwm);
}

I2C_DLN_EXPORT Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kServoSequence);
}

I2C_DLN_EXPORT Java_I2C_1DLN_dualServo_11500_1Current(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kDualServoCurrent);
}
