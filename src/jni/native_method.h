// The marshalling every native method shares: check the Java array, copy it in, run the
// method's body (its "before" prints, the operation, its echo), copy the first slots back,
// flush, return the fixed value. The rows of the methods differ only by the data below.
#pragma once

#include <jni.h>

#include <cstdint>

// Exports a native method under its JNI name with default visibility; nothing else is exported.
#define I2C_DLN_EXPORT extern "C" JNIEXPORT jint JNICALL

static_assert(sizeof(jint) == sizeof(int32_t), "a Java int is 32 bits on every platform");

inline constexpr jsize kCopiedSlots = 255; // slot 255 of the local copy is never filled

// The local copy of the ParamArray: 256 ints, slots 0 to 254 from Java.
struct ParamSlots {
    int32_t slot[256] = {};
};

// How many slots of the Java array a method reads or writes.
enum class ArrayNeed {
    None,           // print and test take no array
    OutputTen,      // i2cScan: writes 10 slots, reads none
    Full,           // 255 slots copied in, 10 copied back
    CountPlusEight, // spiWriteRead: slot 0 + 8 slots copied back
};

struct NativeMethod {
    const char *name; // the Java name, for messages
    ArrayNeed need;
    bool flushFirst;   // the servo methods flush standard output before copying in
    bool flushAfter;   // flush after the copy-back
    jint refusedValue; // returned when the array is refused
    // Before prints, operation and echo; returns the method's fixed value.
    jint (*body)(ParamSlots &slots);
    // The method's bound in milliseconds from its first adapter call: its fixed waits plus a
    // margin for its adapter calls (adapter/method_bound.h). 0: no adapter call, no bound.
    uint32_t boundMs;
};

// Runs one native method call end to end. Never leaves a Java exception pending.
jint RunNativeMethod(JNIEnv *env, jintArray array, const NativeMethod &method);
