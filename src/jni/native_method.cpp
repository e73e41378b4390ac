#include "jni/native_method.h"

#include "adapter/method_bound.h"
#include "jni/library_output.h"

#include <algorithm>
#include <cstdio>

namespace {

// The Java length a call needs, or -1 when the length depends on a slot the array lacks.
jsize NeededLength(const NativeMethod &method, JNIEnv *env, jintArray array, jsize length) {
    switch (method.need) {
    case ArrayNeed::None:
        return 0;
    case ArrayNeed::OutputTen:
        return 10;
    case ArrayNeed::Full:
        return kCopiedSlots;
    case ArrayNeed::CountPlusEight: {
        if (length < 1)
            return 1;
        jint count = 0;
        env->GetIntArrayRegion(array, 0, 1, &count);
        // A count outside its range is refused by the method itself; it copies back 8 slots.
        if (count < 0 || count > kCopiedSlots - 8)
            count = 0;
        return count + 8;
    }
    }
    return kCopiedSlots;
}

jsize CopyBackCount(const NativeMethod &method, const ParamSlots &slots) {
    if (method.need != ArrayNeed::CountPlusEight)
        return 10;
    int32_t count = slots.slot[0];
    return (count < 0 || count > kCopiedSlots - 8) ? 8 : count + 8;
}

} // namespace

jint RunNativeMethod(JNIEnv *env, jintArray array, const NativeMethod &method) {
    ChooseLibraryOutputOnce(env);
    const MethodBound bound{std::chrono::milliseconds(method.boundMs)};
    if (method.flushFirst)
        fflush(stdout);
    if (method.need == ArrayNeed::None) {
        ParamSlots none;
        return method.body(none);
    }
    const jsize length = array == nullptr ? -1 : env->GetArrayLength(array);
    const jsize needed = array == nullptr ? 0 : NeededLength(method, env, array, length);
    if (array == nullptr || length < needed) {
        printf("%s: the parameter array %s; it needs at least %d slots. Nothing done.\n",
               method.name, array == nullptr ? "is null" : "is too short",
               static_cast<int>(array == nullptr ? NeededLength(method, env, array, 0) : needed));
        fflush(stdout);
        return method.refusedValue;
    }
    ParamSlots slots;
    // jint is long on Windows and int elsewhere (32 bits on both), so the slots go through a
    // jint buffer rather than a cast between the two pointer types.
    jint buffer[kCopiedSlots] = {};
    if (method.need != ArrayNeed::OutputTen) {
        const jsize copied = length < kCopiedSlots ? length : kCopiedSlots;
        env->GetIntArrayRegion(array, 0, copied, buffer);
        std::copy(buffer, buffer + copied, slots.slot);
    }
    const jint result = method.body(slots);
    jsize back = CopyBackCount(method, slots);
    if (back > length)
        back = length;
    std::copy(slots.slot, slots.slot + back, buffer);
    env->SetIntArrayRegion(array, 0, back, buffer);
    if (method.flushAfter)
        fflush(stdout);
    return result;
}
