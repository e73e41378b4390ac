// The exported native methods of the robot boards, for tests that call them through a fake
// JNIEnv.
#pragma once

#include <jni.h>

extern "C" {
jint Java_I2C_1DLN_adcsdac(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_Ultra_1Sonic(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_dualServo_11500_1PWM(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_dualServo_11500_1Current(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_ReadMotorSpeeds(JNIEnv *, jclass, jintArray);
}
