#include "jni/library_output.h"

#include "platform/standard_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

constexpr const char *kProperty = "i2cdln.output";
constexpr const char *kVariable = "I2C_DLN_OUTPUT";

bool Failed(JNIEnv *env) {
    if (!env->ExceptionCheck())
        return false;
    env->ExceptionClear();
    return true;
}

// System.getProperty(name), or "" when it is unset or cannot be read.
std::string JavaProperty(JNIEnv *env, const char *name) {
    jclass system = env->FindClass("java/lang/System");
    if (system == nullptr || Failed(env))
        return "";
    jmethodID getProperty =
        env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    if (getProperty == nullptr || Failed(env))
        return "";
    jstring key = env->NewStringUTF(name);
    if (key == nullptr || Failed(env))
        return "";
    auto value = static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, key));
    if (value == nullptr || Failed(env))
        return "";
    const char *chars = env->GetStringUTFChars(value, nullptr);
    if (chars == nullptr || Failed(env))
        return "";
    std::string text = chars;
    env->ReleaseStringUTFChars(value, chars);
    return text;
}

} // namespace

void ChooseLibraryOutputOnce(JNIEnv *env) {
    static std::once_flag once;
    std::call_once(once, [env] {
        const char *source = kProperty;
        std::string target = JavaProperty(env, kProperty);
        if (target.empty()) {
            source = kVariable;
            const char *variable = std::getenv(kVariable);
            target = variable == nullptr ? "" : variable;
        }
        if (target.empty() || target == "stdout")
            return;
        std::string error;
        if (!PlatformRouteStandardOutput(target, error)) {
            std::fprintf(stderr,
                         "I2C_DLN: %s names \"%s\", which cannot be opened for appending (%s); "
                         "the library's lines stay on standard output\n",
                         source, target.c_str(), error.c_str());
            std::fflush(stderr);
        }
    });
}
