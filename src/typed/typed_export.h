// Exports a native of i2cdln.NativeSession under its JNI name; nothing else is exported.
#pragma once

#include <jni.h>

#define I2CDLN_EXPORT(type) extern "C" JNIEXPORT type JNICALL
