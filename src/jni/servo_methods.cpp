// The native methods of the servo boards: dualServo_1500_PWM, I2C_Servo_PWM_Sequence and
// dualServo_1500_Current.
#include "boards/servo_current.h"
#include "boards/servo_pwm.h"
#include "jni/native_method.h"

#include <cstdio>

namespace {

// Records past the 63rd lie beyond the slots copied in.
constexpr int32_t kMaxServoRecords = (kCopiedSlots - 2) / 4;
// The board results land from slot 6 on.
constexpr int kFirstResultSlot = 6;
// Slot 6 follows the exchanges: after step n it holds the reply of step kSlotSixAfterStep[n].
// Callers read these exact slots.
constexpr int kSlotSixAfterStep[kDualServoSteps + 1] = {0, 1, 1, 3, 3, 3, 4, 7, 8, 9, 9};

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
    const DualServoReading reading =
        DualServo_1500_PWM(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
    int32_t *results = &s[kFirstResultSlot];
    if (reading.stepsDone > 0)
        results[0] = reading.replies[kSlotSixAfterStep[reading.stepsDone]];
    if (reading.stepsDone == kDualServoSteps) {
        // Both boards took their widths: the second 0xA3's reply, the second board's low byte,
        // and the first board's low byte twice.
        results[0] = reading.replies[6];
        results[1] = reading.replies[10];
        results[2] = reading.replies[5];
        results[3] = reading.replies[5];
    }
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

// The first current in slot 6; with both boards read the second in slot 7 and 0 in slots 8, 9.
void StoreCurrents(const ServoCurrentReading &reading, int32_t *results) {
    if (reading.boardsRead >= 1)
        results[0] = reading.currents[0];
    if (reading.boardsRead == 2) {
        results[1] = reading.currents[1];
        results[2] = 0;
        results[3] = 0;
    }
}

jint DualServoCurrentBody(ParamSlots &slots) {
    int32_t *s = slots.slot;
    PrintDualServoSlots(slots, 6);
    if (s[0] == 0)
        printf("I2C Address Zero. Nothing to be done.\n");
    else
        StoreCurrents(DualServo_1500_Current(s[1], s[0]), &s[kFirstResultSlot]);
    PrintPassingAddresses(slots);
    return 3;
}

constexpr NativeMethod kDualServoPwm{
    "dualServo_1500_PWM", ArrayNeed::Full, true, true, 3, DualServoPwmBody, 1000};
constexpr NativeMethod kServoSequence{
    "I2C_Servo_PWM_Sequence", ArrayNeed::Full, true, true, 3, ServoSequenceBody, 2000};
constexpr NativeMethod kDualServoCurrent{
    "dualServo_1500_Current", ArrayNeed::Full, true, true, 3, DualServoCurrentBody, 1400};

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
