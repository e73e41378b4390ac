// The native method test: the library's banner.
#include "jni/native_method.h"

#include <cstdio>

#ifndef I2C_DLN_VERSION
#define I2C_DLN_VERSION "1.0.0"
#endif

namespace {

jint BannerBody(ParamSlots &) {
    printf("\n\rI2C_DLN native library, version %s", I2C_DLN_VERSION);
    printf("\n\rMade by the I2C_DLN developers; free software under the MIT License");
    printf("\n\rThe licence text:");
    printf("\n\rhttps://opensource.org/licenses/MIT\n\r");
    return fflush(stdout);
}

constexpr NativeMethod kTest{"test", ArrayNeed::None, false, false, 0, BannerBody, 0};

} // namespace

I2C_DLN_EXPORT Java_I2C_1DLN_test(JNIEnv *env, jclass) {
    return RunNativeMethod(env, nullptr, kTest);
}
