// The natives of the session itself and of raw I2C: open, close, failure, version, scan,
// i2cWrite, i2cRead. Each transfer is exactly one adapter call on the open session.
#include "typed/typed_call.h"
#include "typed/typed_export.h"

#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kOpenBound{3000};
constexpr milliseconds kTransferBound{1000};
constexpr jint kMaxTransfer = 0xFFFF; // the adapter's length is 16 bits
constexpr int kScanList = 128;

bool AddressFits(jint address) {
    return InRange(address, 0, 0x7F);
}

void SetResult(JNIEnv *env, jintArray result, jint code) {
    SetInt(env, result, 0, code);
}

} // namespace

I2CDLN_EXPORT(jlong)
Java_i2cdln_NativeSession_open(JNIEnv *env, jclass, jstring host, jint port, jintArray result) {
    // Without a place for the code the caller could not tell a failure; nothing is opened.
    if (!ArrayHolds(env, result, 1))
        return 0;
    if (host == nullptr || port < 0 || port > 0xFFFF) {
        SetResult(env, result, kBadArgument);
        return 0;
    }
    const char *chars = env->GetStringUTFChars(host, nullptr);
    if (chars == nullptr) {
        env->ExceptionClear();
        SetResult(env, result, kBadArgument);
        return 0;
    }
    const std::string hostName = chars;
    env->ReleaseStringUTFChars(host, chars);

    auto session = std::make_unique<TypedSession>();
    BusResult opened;
    {
        const MethodBound bound{kOpenBound};
        opened = session->adapter.Open(hostName.c_str(), static_cast<uint16_t>(port));
    }
    if (!opened.ok()) {
        SetResult(env, result, PastMethodBound(opened.code) ? kBoundPassed : opened.code);
        return 0;
    }
    SetResult(env, result, kTypedOk);
    return AddSession(std::move(session));
}

I2CDLN_EXPORT(void) Java_i2cdln_NativeSession_close(JNIEnv *, jclass, jlong id) {
    const std::shared_ptr<TypedSession> session = FindSession(id);
    if (!session)
        return;
    RemoveSession(id);
    // Waits for a call in flight on another thread, then releases the adapter at once.
    std::lock_guard<std::mutex> hold(session->calls);
    session->adapter.Release();
}

I2CDLN_EXPORT(jstring) Java_i2cdln_NativeSession_failure(JNIEnv *env, jclass, jlong id) {
    const std::shared_ptr<TypedSession> session = FindSession(id);
    std::string text;
    if (session) {
        std::lock_guard<std::mutex> hold(session->calls);
        text = session->failure;
    }
    return env->NewStringUTF(text.c_str());
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_version(JNIEnv *env, jclass, jlong id, jintArray out5) {
    if (!ArrayHolds(env, out5, 5))
        return Refused(id);
    return RunTypedCall(id, kTransferBound, [&](TypedSession &session, std::string &) {
        DLN_VERSION version{};
        const BusResult result = StepResult(
            BoundedCall(DlnGetVersion, session.adapter.handle(), &version), "DlnGetVersion");
        if (result.ok()) {
            const jint values[5] = {static_cast<jint>(version.hardwareType),
                                    static_cast<jint>(version.hardwareVersion),
                                    static_cast<jint>(version.firmwareVersion),
                                    static_cast<jint>(version.serverVersion),
                                    static_cast<jint>(version.libraryVersion)};
            env->SetIntArrayRegion(out5, 0, 5, values);
        }
        return result;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_scan(JNIEnv *env, jclass, jlong id, jintArray addresses128,
                               jintArray count1) {
    if (!ArrayHolds(env, addresses128, kScanList) || !ArrayHolds(env, count1, 1))
        return Refused(id);
    return RunTypedCall(id, kTransferBound, [&](TypedSession &session, std::string &) {
        uint8_t list[256] = {};
        uint8_t count = 0;
        const BusResult result = StepResult(
            BoundedCall(DlnI2cMasterScanDevices, session.adapter.handle(), kBusPort, &count, list),
            "DlnI2cMasterScanDevices");
        if (result.ok()) {
            const jint found = count < kScanList ? count : kScanList;
            jint addresses[kScanList] = {};
            for (jint i = 0; i < found; ++i)
                addresses[i] = list[i];
            env->SetIntArrayRegion(addresses128, 0, kScanList, addresses);
            env->SetIntArrayRegion(count1, 0, 1, &found);
        }
        return result;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_i2cWrite(JNIEnv *env, jclass, jlong id, jint address, jbyteArray bytes,
                                   jint length) {
    if (!AddressFits(address) || length > kMaxTransfer || !ArrayHolds(env, bytes, length))
        return Refused(id);
    std::vector<uint8_t> buffer(static_cast<size_t>(length) + 1);
    env->GetByteArrayRegion(bytes, 0, length, reinterpret_cast<jbyte *>(buffer.data()));
    return RunTypedCall(id, kTransferBound, [&](TypedSession &session, std::string &) {
        return I2cWrite(session.adapter.handle(), static_cast<uint8_t>(address), buffer.data(),
                        static_cast<uint16_t>(length));
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_i2cRead(JNIEnv *env, jclass, jlong id, jint address, jbyteArray buffer,
                                  jint length) {
    if (!AddressFits(address) || length > kMaxTransfer || !ArrayHolds(env, buffer, length))
        return Refused(id);
    return RunTypedCall(id, kTransferBound, [&](TypedSession &session, std::string &) {
        std::vector<uint8_t> bytes(static_cast<size_t>(length) + 1);
        const BusResult result = I2cRead(session.adapter.handle(), static_cast<uint8_t>(address),
                                         bytes.data(), static_cast<uint16_t>(length));
        // A failed read leaves the caller's buffer as it was: nothing of it is true.
        if (result.ok())
            env->SetByteArrayRegion(buffer, 0, length,
                                    reinterpret_cast<const jbyte *>(bytes.data()));
        return result;
    });
}
