#include "support/fake_jni.h"

FakeJni::FakeJni() {
    table_.GetArrayLength = &FakeJni::GetArrayLength;
    table_.GetIntArrayRegion = &FakeJni::GetIntArrayRegion;
    table_.SetIntArrayRegion = &FakeJni::SetIntArrayRegion;
    // The library looks up one Java system property; without a JVM there is none.
    table_.FindClass = [](JNIEnv *, const char *) -> jclass { return nullptr; };
    table_.ExceptionCheck = [](JNIEnv *) -> jboolean { return JNI_FALSE; };
    holder_.env.functions = &table_;
    holder_.self = this;
}

jintArray FakeJni::array(std::vector<jint> values) {
    arrays_.push_back(std::make_unique<std::vector<jint>>(std::move(values)));
    return reinterpret_cast<jintArray>(arrays_.back().get());
}

std::vector<jint> &FakeJni::values(jintArray array) {
    return *reinterpret_cast<std::vector<jint> *>(array);
}

bool FakeJni::inBounds(jintArray array, jsize start, jsize len) {
    const auto size = static_cast<jsize>(values(array).size());
    if (start < 0 || len < 0 || start > size || len > size - start) {
        exceptionPending = true;
        return false;
    }
    return true;
}

jsize FakeJni::GetArrayLength(JNIEnv *env, jarray array) {
    FakeJni &self = Of(env);
    self.calls.push_back("GetArrayLength");
    return static_cast<jsize>(self.values(static_cast<jintArray>(array)).size());
}

void FakeJni::GetIntArrayRegion(JNIEnv *env, jintArray array, jsize start, jsize len, jint *buf) {
    FakeJni &self = Of(env);
    self.calls.push_back("GetIntArrayRegion(" + std::to_string(start) + "," + std::to_string(len) +
                         ")");
    if (!self.inBounds(array, start, len))
        return;
    for (jsize i = 0; i < len; ++i)
        buf[i] = self.values(array)[start + i];
}

void FakeJni::SetIntArrayRegion(JNIEnv *env, jintArray array, jsize start, jsize len,
                                const jint *buf) {
    FakeJni &self = Of(env);
    self.calls.push_back("SetIntArrayRegion(" + std::to_string(start) + "," + std::to_string(len) +
                         ")");
    if (!self.inBounds(array, start, len))
        return;
    for (jsize i = 0; i < len; ++i)
        self.values(array)[start + i] = buf[i];
}
