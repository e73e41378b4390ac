#include "typed/typed_call.h"

#include <cstdio>

std::string FailureText(const BusResult &result, const std::string &detail) {
    if (result.ok())
        return "";
    std::string text = result.step != nullptr ? result.step : "adapter call";
    if (result.address >= 0) {
        char where[24];
        snprintf(where, sizeof where, " at I2C 0x%02X", static_cast<unsigned>(result.address));
        text += where;
    }
    return text + detail;
}

jint EndTypedCall(TypedSession &session, BusResult result, const std::string &detail) {
    if (PastMethodBound(result.code))
        result.code = static_cast<DLN_RESULT>(kBoundPassed);
    session.failure = FailureText(result, detail);
    return result.ok() ? kTypedOk : static_cast<jint>(result.code);
}

bool ArrayHolds(JNIEnv *env, jarray array, jint length) {
    return array != nullptr && length >= 0 && env->GetArrayLength(array) >= length;
}

jint Refused(jlong id) {
    return FindSession(id) ? kBadArgument : kNoSession;
}
