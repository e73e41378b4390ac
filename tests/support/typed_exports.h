// The exported natives of i2cdln.NativeSession, declared for tests that call them through a
// fake JNIEnv, and the library's own result codes.
#pragma once

#include "adapter/result_codes.h"

#include <jni.h>

extern "C" {
jlong Java_i2cdln_NativeSession_open(JNIEnv *, jclass, jstring, jint, jintArray);
void Java_i2cdln_NativeSession_close(JNIEnv *, jclass, jlong);
jstring Java_i2cdln_NativeSession_failure(JNIEnv *, jclass, jlong);
jint Java_i2cdln_NativeSession_version(JNIEnv *, jclass, jlong, jintArray);
jint Java_i2cdln_NativeSession_scan(JNIEnv *, jclass, jlong, jintArray, jintArray);
jint Java_i2cdln_NativeSession_i2cWrite(JNIEnv *, jclass, jlong, jint, jbyteArray, jint);
jint Java_i2cdln_NativeSession_i2cRead(JNIEnv *, jclass, jlong, jint, jbyteArray, jint);
jint Java_i2cdln_NativeSession_spiTransfer(JNIEnv *, jclass, jlong, jint, jint, jint, jbyteArray,
                                           jint);
jint Java_i2cdln_NativeSession_servoPulse(JNIEnv *, jclass, jlong, jint, jint, jint, jintArray);
jint Java_i2cdln_NativeSession_servoCurrent(JNIEnv *, jclass, jlong, jint, jintArray);
jint Java_i2cdln_NativeSession_adcDac(JNIEnv *, jclass, jlong, jint, jint, jintArray);
jint Java_i2cdln_NativeSession_ultrasonic(JNIEnv *, jclass, jlong, jint, jintArray);
jint Java_i2cdln_NativeSession_motorSpeed(JNIEnv *, jclass, jlong, jint, jint, jintArray);
jint Java_i2cdln_NativeSession_servoSequence(JNIEnv *, jclass, jlong, jint, jintArray, jintArray,
                                             jintArray, jint);
jint Java_i2cdln_NativeSession_eepromIdentify(JNIEnv *, jclass, jlong, jint, jintArray);
jint Java_i2cdln_NativeSession_eepromErase(JNIEnv *, jclass, jlong, jint);
jint Java_i2cdln_NativeSession_eepromProgram(JNIEnv *, jclass, jlong, jint, jint, jbyteArray, jint);
jint Java_i2cdln_NativeSession_eepromRead(JNIEnv *, jclass, jlong, jint, jint, jbyteArray, jint);
jint Java_i2cdln_NativeSession_laserConnect(JNIEnv *, jclass, jlong);
jint Java_i2cdln_NativeSession_laserCalibrate(JNIEnv *, jclass, jlong);
jint Java_i2cdln_NativeSession_laserMeasure(JNIEnv *, jclass, jlong, jintArray);
}
