// The C interface of the recording library: each function hands its arguments to the target
// library unchanged, returns its answer unchanged, and records the call in wire terms (as our
// dln would send it to a server), so that dln-sim can replay it.
#include "dln_api.h"
#include "recorder.h"
#include "target.h"

using namespace dln;
using namespace dln::record;

namespace {

// One call on its way through: its arguments, the target's answer and the time it took.
struct Recording {
    explicit Recording(wire::Call call, HDLN handle = 0, uint8_t port = 0) {
        record.request.call = call;
        record.request.handle = handle;
        record.request.port = port;
        record.reply.call = call;
    }

    // Calls the target's function (DLN_RES_FAIL without a target) and keeps the result.
    template <class Function, class... Args>
    bool forward(Function Target::*function, Args... args) {
        Recorder &recorder = Recorder::Instance();
        const Target *target = TheTarget();
        record.timeUs = recorder.nowUs();
        result = target != nullptr ? (target->*function)(args...) : DLN_RES_FAIL;
        record.durationUs = recorder.nowUs() - record.timeUs;
        record.reply.result = result;
        return DLN_SUCCEEDED(result);
    }

    void sent(const uint8_t *bytes, uint16_t length) {
        record.request.length = length;
        if (bytes != nullptr)
            record.request.data.assign(bytes, bytes + length);
        else
            record.nullPointer = record.nullPointer || length > 0;
    }

    void needs(const void *pointer) {
        record.nullPointer = record.nullPointer || pointer == nullptr;
    }

    DLN_RESULT done() {
        Recorder::Instance().append(record);
        return result;
    }

    CallRecord record;
    DLN_RESULT result = DLN_RES_FAIL;
};

// DlnConnect and DlnDisconnect: a host name and a TCP port.
template <class Function>
DLN_RESULT ForwardConnection(wire::Call call, Function Target::*function, const char *host,
                             uint16_t port) {
    Recording r(call);
    r.needs(host);
    if (host != nullptr)
        r.record.host = host;
    r.record.tcpPort = port;
    r.forward(function, host, port);
    return r.done();
}

// The calls that hand back one number (a count, a frequency, a conflict or a mode).
template <class Function, class T>
DLN_RESULT ForwardForWord(wire::Call call, Function Target::*function, HDLN handle, uint8_t port,
                          T *out) {
    Recording r(call, handle, port);
    r.needs(out);
    if (r.forward(function, handle, port, out) && out != nullptr)
        r.record.reply.words.assign(1, *out);
    return r.done();
}

template <class Function, class T>
DLN_RESULT ForwardForWord(wire::Call call, Function Target::*function, HDLN handle, T *out) {
    Recording r(call, handle);
    r.needs(out);
    if (r.forward(function, handle, out) && out != nullptr)
        r.record.reply.words.assign(1, *out);
    return r.done();
}

} // namespace

extern "C" {

DLN_RESULT DlnConnect(const char *host, uint16_t port) {
    return ForwardConnection(wire::Call::Connect, &Target::DlnConnect, host, port);
}

DLN_RESULT DlnDisconnect(const char *host, uint16_t port) {
    return ForwardConnection(wire::Call::Disconnect, &Target::DlnDisconnect, host, port);
}

DLN_RESULT DlnOpenDevice(uint32_t deviceNumber, HDLN *handle) {
    Recording r(wire::Call::OpenDevice);
    r.record.request.value = deviceNumber;
    r.needs(handle);
    if (r.forward(&Target::DlnOpenDevice, deviceNumber, handle) && handle != nullptr)
        r.record.reply.words.assign(1, *handle);
    return r.done();
}

DLN_RESULT DlnCloseHandle(HDLN handle) {
    Recording r(wire::Call::CloseHandle, handle);
    r.forward(&Target::DlnCloseHandle, handle);
    return r.done();
}

DLN_RESULT DlnGetVersion(HDLN handle, DLN_VERSION *version) {
    Recording r(wire::Call::GetVersion, handle);
    r.needs(version);
    if (r.forward(&Target::DlnGetVersion, handle, version) && version != nullptr)
        r.record.reply.words = {version->hardwareType, version->hardwareVersion,
                                version->firmwareVersion, version->serverVersion,
                                version->libraryVersion};
    return r.done();
}

DLN_RESULT DlnI2cMasterGetPortCount(HDLN handle, uint8_t *count) {
    return ForwardForWord(wire::Call::I2cGetPortCount, &Target::DlnI2cMasterGetPortCount, handle,
                          count);
}

DLN_RESULT DlnI2cMasterGetFrequency(HDLN handle, uint8_t port, uint32_t *frequency) {
    return ForwardForWord(wire::Call::I2cGetFrequency, &Target::DlnI2cMasterGetFrequency, handle,
                          port, frequency);
}

DLN_RESULT DlnI2cMasterEnable(HDLN handle, uint8_t port, uint16_t *conflict) {
    return ForwardForWord(wire::Call::I2cEnable, &Target::DlnI2cMasterEnable, handle, port,
                          conflict);
}

DLN_RESULT DlnI2cMasterScanDevices(HDLN handle, uint8_t port, uint8_t *count,
                                   uint8_t *addressList) {
    Recording r(wire::Call::I2cScanDevices, handle, port);
    r.needs(count);
    r.needs(addressList);
    if (r.forward(&Target::DlnI2cMasterScanDevices, handle, port, count, addressList) &&
        count != nullptr && addressList != nullptr)
        r.record.reply.data.assign(addressList, addressList + *count);
    return r.done();
}

DLN_RESULT DlnI2cMasterWrite(HDLN handle, uint8_t port, uint8_t slaveAddress,
                             uint8_t memoryAddressLength, uint32_t memoryAddress, uint16_t length,
                             const uint8_t *buffer) {
    Recording r(wire::Call::I2cWrite, handle, port);
    r.record.request.address = slaveAddress;
    r.record.request.memoryAddressLength = memoryAddressLength;
    r.record.request.memoryAddress = memoryAddress;
    r.sent(buffer, length);
    r.forward(&Target::DlnI2cMasterWrite, handle, port, slaveAddress, memoryAddressLength,
              memoryAddress, length, buffer);
    return r.done();
}

DLN_RESULT DlnI2cMasterRead(HDLN handle, uint8_t port, uint8_t slaveAddress,
                            uint8_t memoryAddressLength, uint32_t memoryAddress, uint16_t length,
                            uint8_t *buffer) {
    Recording r(wire::Call::I2cRead, handle, port);
    r.record.request.address = slaveAddress;
    r.record.request.memoryAddressLength = memoryAddressLength;
    r.record.request.memoryAddress = memoryAddress;
    r.record.request.length = length;
    if (length > 0)
        r.needs(buffer);
    if (r.forward(&Target::DlnI2cMasterRead, handle, port, slaveAddress, memoryAddressLength,
                  memoryAddress, length, buffer) &&
        buffer != nullptr)
        r.record.reply.data.assign(buffer, buffer + length);
    return r.done();
}

DLN_RESULT DlnSpiMasterGetPortCount(HDLN handle, uint8_t *count) {
    return ForwardForWord(wire::Call::SpiGetPortCount, &Target::DlnSpiMasterGetPortCount, handle,
                          count);
}

DLN_RESULT DlnSpiMasterGetFrequency(HDLN handle, uint8_t port, uint32_t *frequency) {
    return ForwardForWord(wire::Call::SpiGetFrequency, &Target::DlnSpiMasterGetFrequency, handle,
                          port, frequency);
}

DLN_RESULT DlnSpiMasterEnable(HDLN handle, uint8_t port, uint16_t *conflict) {
    return ForwardForWord(wire::Call::SpiEnable, &Target::DlnSpiMasterEnable, handle, port,
                          conflict);
}

DLN_RESULT DlnSpiMasterSetMode(HDLN handle, uint8_t port, uint8_t mode) {
    Recording r(wire::Call::SpiSetMode, handle, port);
    r.record.request.address = mode;
    r.forward(&Target::DlnSpiMasterSetMode, handle, port, mode);
    return r.done();
}

DLN_RESULT DlnSpiMasterGetMode(HDLN handle, uint8_t port, uint8_t *mode) {
    return ForwardForWord(wire::Call::SpiGetMode, &Target::DlnSpiMasterGetMode, handle, port, mode);
}

DLN_RESULT DlnSpiMasterSetFrequency(HDLN handle, uint8_t port, uint32_t frequency,
                                    uint32_t *actualFrequency) {
    Recording r(wire::Call::SpiSetFrequency, handle, port);
    r.record.request.value = frequency;
    r.needs(actualFrequency);
    if (r.forward(&Target::DlnSpiMasterSetFrequency, handle, port, frequency, actualFrequency) &&
        actualFrequency != nullptr)
        r.record.reply.words.assign(1, *actualFrequency);
    return r.done();
}

DLN_RESULT DlnSpiMasterSetSS(HDLN handle, uint8_t port, uint8_t ss) {
    Recording r(wire::Call::SpiSetSS, handle, port);
    r.record.request.address = ss;
    r.forward(&Target::DlnSpiMasterSetSS, handle, port, ss);
    return r.done();
}

DLN_RESULT DlnSpiMasterReadWrite(HDLN handle, uint8_t port, uint16_t size,
                                 const uint8_t *writeBuffer, uint8_t *readBuffer) {
    Recording r(wire::Call::SpiReadWrite, handle, port);
    r.sent(writeBuffer, size);
    if (size > 0)
        r.needs(readBuffer);
    if (r.forward(&Target::DlnSpiMasterReadWrite, handle, port, size, writeBuffer, readBuffer) &&
        readBuffer != nullptr)
        r.record.reply.data.assign(readBuffer, readBuffer + size);
    return r.done();
}

} // extern "C"
