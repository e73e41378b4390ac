// How every typed native runs: find the session, hold it for the call, bound the call's time,
// and turn how it ended into the int Java sees (0, the adapter's code, or one of ours) and the
// session's failure text. Nothing is printed.
#pragma once

#include "adapter/bus.h"
#include "adapter/method_bound.h"
#include "adapter/result_codes.h"
#include "typed/typed_session.h"

#include <chrono>
#include <string>

// "DlnI2cMasterRead at I2C 0x48" followed by detail (", input 2"); "" for a success.
std::string FailureText(const BusResult &result, const std::string &detail);

// A failure of the library's own (code >= 0x100) described by what, e.g. "no target".
inline BusResult OwnFailure(int32_t code, const char *what, int address = -1) {
    return BusResult{static_cast<DLN_RESULT>(code), what, address};
}

// Records how a call ended on the session and returns Java's code for it. A call that was not
// made because the bound had passed ends as kBoundPassed.
jint EndTypedCall(TypedSession &session, BusResult result, const std::string &detail);

// Runs body(session, detail) -> BusResult on the session of id under its lock, within bound.
// Returns kNoSession for an unknown id.
template <class Body> jint RunTypedCall(jlong id, std::chrono::milliseconds bound, Body body) {
    const std::shared_ptr<TypedSession> session = FindSession(id);
    if (!session)
        return kNoSession;
    std::lock_guard<std::mutex> hold(session->calls);
    const MethodBound methodBound{bound};
    std::string detail;
    const BusResult result = body(*session, detail);
    return EndTypedCall(*session, result, detail);
}

// True when array is not null and holds at least length elements (length >= 0).
bool ArrayHolds(JNIEnv *env, jarray array, jint length);

// The code of a call refused before it reached the session: kNoSession for an unknown id,
// else kBadArgument.
jint Refused(jlong id);

// True when value lies in first..last.
inline bool InRange(jint value, jint first, jint last) {
    return value >= first && value <= last;
}

// Stores value into array[index].
inline void SetInt(JNIEnv *env, jintArray array, jsize index, jint value) {
    env->SetIntArrayRegion(array, index, 1, &value);
}
