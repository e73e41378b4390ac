// A JNIEnv without a JVM: its function table holds just the array and string functions the
// libraries may use, over std::vector<jint>, std::vector<jbyte> and std::string, and a FindClass
// that finds no class (so no system property).
// Out-of-bounds accesses are recorded, as a JVM would throw.
#pragma once

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

class FakeJni {
  public:
    FakeJni();
    FakeJni(const FakeJni &) = delete;
    FakeJni &operator=(const FakeJni &) = delete;
    JNIEnv *env() { return &holder_.env; }
    // A Java int[] holding values; valid while this FakeJni lives.
    jintArray array(std::vector<jint> values);
    std::vector<jint> &values(jintArray array);
    // A Java byte[] holding values; valid while this FakeJni lives.
    jbyteArray bytes(std::vector<jbyte> values);
    std::vector<jbyte> &values(jbyteArray array);
    // A Java String; and the text of one the library made (NewStringUTF).
    jstring string(const std::string &text);
    static std::string text(jstring string);
    // Calls made to the function table, e.g. "GetIntArrayRegion(0,255)".
    std::vector<std::string> calls;
    // Set when a call was out of bounds (a JVM would leave an exception pending).
    bool exceptionPending = false;

  private:
    struct Holder {
        JNIEnv env; // first, so that a JNIEnv* leads back to its holder
        FakeJni *self;
    };
    static FakeJni &Of(JNIEnv *env) { return *reinterpret_cast<Holder *>(env)->self; }
    static jsize GetArrayLength(JNIEnv *env, jarray array);
    static void GetIntArrayRegion(JNIEnv *env, jintArray array, jsize start, jsize len, jint *buf);
    static void SetIntArrayRegion(JNIEnv *env, jintArray array, jsize start, jsize len,
                                  const jint *buf);
    static void GetByteArrayRegion(JNIEnv *env, jbyteArray array, jsize start, jsize len,
                                   jbyte *buf);
    static void SetByteArrayRegion(JNIEnv *env, jbyteArray array, jsize start, jsize len,
                                   const jbyte *buf);
    bool inBounds(jintArray array, jsize start, jsize len);
    bool inBounds(jsize size, jsize start, jsize len);

    JNINativeInterface_ table_{};
    Holder holder_{};
    std::vector<std::unique_ptr<std::vector<jint>>> arrays_;
    std::vector<std::unique_ptr<std::vector<jbyte>>> byteArrays_;
    std::vector<std::unique_ptr<std::string>> strings_;
};
