// The natives of SPI port 0: a raw transfer and the EEPROM. Each holds the process's SPI port
// from setting the line, mode and frequency to its last transfer, so no other call of this
// process (typed or one of the fifteen methods) changes them in between; nothing is printed.
#include "adapter/eeprom_memory.h"
#include "adapter/spi_port.h"
#include "adapter/spi_transfer.h"
#include "typed/typed_call.h"
#include "typed/typed_export.h"

#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kTransferBound{1000};
constexpr milliseconds kEraseBound{25000};
// A full chip is 512 pages of write enable, status, program and status reads.
constexpr milliseconds kProgramBound{10000};
constexpr milliseconds kReadBound{2000};
constexpr uint32_t kEepromFrequency = 1000000; // Hz; mode 0
constexpr jint kMaxSpiLength = 0xFFFF;

// Enables the port on the session's first SPI call, then sets mode, frequency and line.
BusResult SelectSpi(TypedSession &session, jint line, jint mode, jint frequency) {
    const HDLN handle = session.adapter.handle();
    BusResult result = session.adapter.EnableSpi();
    if (!result.ok())
        return result;
    result =
        StepResult(BoundedCall(DlnSpiMasterSetMode, handle, kBusPort, static_cast<uint8_t>(mode)),
                   "DlnSpiMasterSetMode");
    if (!result.ok())
        return result;
    uint32_t actual = 0;
    result = StepResult(BoundedCall(DlnSpiMasterSetFrequency, handle, kBusPort,
                                    static_cast<uint32_t>(frequency), &actual),
                        "DlnSpiMasterSetFrequency");
    if (!result.ok())
        return result;
    return StepResult(BoundedCall(DlnSpiMasterSetSS, handle, kBusPort, SpiSlaveSelectMask(line)),
                      "DlnSpiMasterSetSS");
}

// Runs eeprom(handle) on line with the EEPROM's mode and frequency, under the SPI port.
template <class Eeprom> jint RunEepromCall(jlong id, milliseconds bound, jint line, Eeprom eeprom) {
    return RunTypedCall(id, bound, [&](TypedSession &session, std::string &detail) {
        const auto port = HoldSpiPort();
        detail = ", EEPROM on SPI line " + std::to_string(line);
        const BusResult selected = SelectSpi(session, line, 0, kEepromFrequency);
        if (!selected.ok())
            return selected;
        return eeprom(session.adapter.handle(), detail);
    });
}

bool LineFits(jint line) {
    return InRange(line, 0, 3);
}

bool RangeFits(jint offset, jint length) {
    return offset >= 0 && length >= 0 && static_cast<int64_t>(offset) + length <= kEepromSize;
}

} // namespace

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_spiTransfer(JNIEnv *env, jclass, jlong id, jint line, jint mode,
                                      jint frequencyHz, jbyteArray data, jint length) {
    if (!LineFits(line) || !InRange(mode, 0, 3) || frequencyHz <= 0 ||
        !InRange(length, 0, kMaxSpiLength) || !ArrayHolds(env, data, length))
        return Refused(id);
    std::vector<uint8_t> out(static_cast<size_t>(length) + 1), in(out.size());
    env->GetByteArrayRegion(data, 0, length, reinterpret_cast<jbyte *>(out.data()));
    return RunTypedCall(id, kTransferBound, [&](TypedSession &session, std::string &detail) {
        const auto port = HoldSpiPort();
        detail = ", SPI line " + std::to_string(line);
        BusResult result = SelectSpi(session, line, mode, frequencyHz);
        if (!result.ok())
            return result;
        result = SpiTransfer(session.adapter.handle(), out.data(), in.data(),
                             static_cast<uint16_t>(length));
        // Zeros of a failed transfer are no reply: the caller's bytes stay as they were.
        if (result.ok())
            env->SetByteArrayRegion(data, 0, length, reinterpret_cast<const jbyte *>(in.data()));
        return result;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_eepromIdentify(JNIEnv *env, jclass, jlong id, jint line, jintArray out) {
    if (!LineFits(line) || !ArrayHolds(env, out, kEepromIdLength))
        return Refused(id);
    return RunEepromCall(id, kTransferBound, line, [&](HDLN handle, std::string &) {
        uint8_t bytes[kEepromIdLength] = {};
        const BusResult result = EepromIdentify(handle, bytes);
        if (result.ok()) {
            const jint values[kEepromIdLength] = {bytes[0], bytes[1], bytes[2]};
            env->SetIntArrayRegion(out, 0, kEepromIdLength, values);
        }
        return result;
    });
}

I2CDLN_EXPORT(jint) Java_i2cdln_NativeSession_eepromErase(JNIEnv *, jclass, jlong id, jint line) {
    if (!LineFits(line))
        return Refused(id);
    return RunEepromCall(id, kEraseBound, line,
                         [&](HDLN handle, std::string &) { return EepromEraseChip(handle); });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_eepromProgram(JNIEnv *env, jclass, jlong id, jint line, jint offset,
                                        jbyteArray image, jint length) {
    if (!LineFits(line) || !RangeFits(offset, length) || !ArrayHolds(env, image, length))
        return Refused(id);
    std::vector<uint8_t> bytes(static_cast<size_t>(length) + 1);
    env->GetByteArrayRegion(image, 0, length, reinterpret_cast<jbyte *>(bytes.data()));
    return RunEepromCall(id, kProgramBound, line, [&](HDLN handle, std::string &) {
        return EepromProgramRange(handle, static_cast<uint32_t>(offset), bytes.data(),
                                  static_cast<uint32_t>(length));
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_eepromRead(JNIEnv *env, jclass, jlong id, jint line, jint offset,
                                     jbyteArray buffer, jint length) {
    if (!LineFits(line) || !RangeFits(offset, length) || !ArrayHolds(env, buffer, length))
        return Refused(id);
    return RunEepromCall(id, kReadBound, line, [&](HDLN handle, std::string &) {
        std::vector<uint8_t> bytes(static_cast<size_t>(length) + 1);
        const BusResult result = EepromReadRange(handle, static_cast<uint32_t>(offset),
                                                 bytes.data(), static_cast<uint32_t>(length));
        if (result.ok())
            env->SetByteArrayRegion(buffer, 0, length,
                                    reinterpret_cast<const jbyte *>(bytes.data()));
        return result;
    });
}
