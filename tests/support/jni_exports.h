// The exported native methods, declared for tests that call them through a fake JNIEnv.
#pragma once

#include <jni.h>

extern "C" {
jint Java_I2C_1DLN_print(JNIEnv *, jclass);
jint Java_I2C_1DLN_test(JNIEnv *, jclass);
jint Java_I2C_1DLN_i2cScan(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_read(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_write(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_spiWriteRead(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_spiProgramEEPROM(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_spiEraseEEPROM(JNIEnv *, jclass, jintArray);
jint Java_I2C_1DLN_I2C_1LaserMeasurement(JNIEnv *, jclass, jintArray);
}
