// The exported natives of i2cdln.NativeSession, declared for tests that call them through a
// fake JNIEnv, and the library's own result codes.
#pragma once

#include "typed/result_codes.h"

#include <jni.h>

extern "C" {
jlong Java_i2cdln_NativeSession_open(JNIEnv *, jclass, jstring, jint, jintArray);
void Java_i2cdln_NativeSession_close(JNIEnv *, jclass, jlong);
jstring Java_i2cdln_NativeSession_failure(JNIEnv *, jclass, jlong);
jint Java_i2cdln_NativeSession_version(JNIEnv *, jclass, jlong, jintArray);
jint Java_i2cdln_NativeSession_scan(JNIEnv *, jclass, jlong, jintArray, jintArray);
jint Java_i2cdln_NativeSession_i2cWrite(JNIEnv *, jclass, jlong, jint, jbyteArray, jint);
jint Java_i2cdln_NativeSession_i2cRead(JNIEnv *, jclass, jlong, jint, jbyteArray, jint);
}
