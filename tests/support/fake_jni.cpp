#include "support/fake_jni.h"

FakeJni::FakeJni() {
    table_.GetArrayLength = &FakeJni::GetArrayLength;
    table_.GetIntArrayRegion = &FakeJni::GetIntArrayRegion;
    table_.SetIntArrayRegion = &FakeJni::SetIntArrayRegion;
    // The library looks up one Java system property; without a JVM there is none.
    table_.FindClass = [](JNIEnv *, const char *) -> jclass { return nullptr; };
    table_.ExceptionCheck = [](JNIEnv *) -> jboolean { return JNI_FALSE; };
    table_.ExceptionClear = [](JNIEnv *) {};
    table_.GetByteArrayRegion = &FakeJni::GetByteArrayRegion;
    table_.SetByteArrayRegion = &FakeJni::SetByteArrayRegion;
    table_.GetStringUTFChars = [](JNIEnv *, jstring string, jboolean *) -> const char * {
        return reinterpret_cast<std::string *>(string)->c_str();
    };
    table_.ReleaseStringUTFChars = [](JNIEnv *, jstring, const char *) {};
    table_.NewStringUTF = [](JNIEnv *env, const char *text) -> jstring {
        FakeJni &self = Of(env);
        self.strings_.push_back(std::make_unique<std::string>(text));
        return reinterpret_cast<jstring>(self.strings_.back().get());
    };
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

jbyteArray FakeJni::bytes(std::vector<jbyte> values) {
    byteArrays_.push_back(std::make_unique<std::vector<jbyte>>(std::move(values)));
    return reinterpret_cast<jbyteArray>(byteArrays_.back().get());
}

std::vector<jbyte> &FakeJni::values(jbyteArray array) {
    return *reinterpret_cast<std::vector<jbyte> *>(array);
}

jstring FakeJni::string(const std::string &text) {
    strings_.push_back(std::make_unique<std::string>(text));
    return reinterpret_cast<jstring>(strings_.back().get());
}

std::string FakeJni::text(jstring string) {
    return *reinterpret_cast<std::string *>(string);
}

bool FakeJni::inBounds(jintArray array, jsize start, jsize len) {
    return inBounds(static_cast<jsize>(values(array).size()), start, len);
}

bool FakeJni::inBounds(jsize size, jsize start, jsize len) {
    if (start < 0 || len < 0 || start > size || len > size - start) {
        exceptionPending = true;
        return false;
    }
    return true;
}

jsize FakeJni::GetArrayLength(JNIEnv *env, jarray array) {
    FakeJni &self = Of(env);
    self.calls.push_back("GetArrayLength");
    for (const auto &bytes : self.byteArrays_) {
        if (reinterpret_cast<jarray>(bytes.get()) == array)
            return static_cast<jsize>(bytes->size());
    }
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

void FakeJni::GetByteArrayRegion(JNIEnv *env, jbyteArray array, jsize start, jsize len,
                                 jbyte *buf) {
    FakeJni &self = Of(env);
    if (!self.inBounds(static_cast<jsize>(self.values(array).size()), start, len))
        return;
    for (jsize i = 0; i < len; ++i)
        buf[i] = self.values(array)[start + i];
}

void FakeJni::SetByteArrayRegion(JNIEnv *env, jbyteArray array, jsize start, jsize len,
                                 const jbyte *buf) {
    FakeJni &self = Of(env);
    if (!self.inBounds(static_cast<jsize>(self.values(array).size()), start, len))
        return;
    for (jsize i = 0; i < len; ++i)
        self.values(array)[start + i] = buf[i];
}
