// The C interface: each function checks its arguments, finds the handle's connection, makes
// one request and checks that the reply has the shape its call promises before copying it
// out. Nothing is written to the caller's buffers unless the call succeeded.
#include "connection_table.h"
#include "dln_api.h"
#include "handle_table.h"

#include <algorithm>
#include <cstring>

using namespace dln;
using namespace dln::client;

namespace {

// One request on handle's connection. On success reply holds the server's answer and the
// server's result is returned; otherwise the failure of the lookup or the exchange.
DLN_RESULT Call(HDLN handle, wire::Request &request, wire::Reply &reply) {
    Clock::time_point deadline = Clock::now() + kCallTime;
    std::shared_ptr<Connection> connection;
    uint16_t serverHandle = 0;
    DLN_RESULT result = FindHandle(handle, connection, serverHandle);
    if (!DLN_SUCCEEDED(result))
        return result;
    request.handle = serverHandle;
    result = connection->exchange(request, reply, deadline);
    return DLN_SUCCEEDED(result) ? reply.result : result;
}

wire::Request PortRequest(wire::Call call, uint8_t port) {
    wire::Request request;
    request.call = call;
    request.port = port;
    return request;
}

// A call answering one 32-bit word (counts, frequencies, modes, conflicts).
DLN_RESULT CallForWord(HDLN handle, wire::Request request, uint32_t &word) {
    wire::Reply reply;
    DLN_RESULT result = Call(handle, request, reply);
    if (!DLN_SUCCEEDED(result))
        return result;
    if (reply.words.size() != 1)
        return DLN_RES_PROTOCOL_ERROR;
    word = reply.words[0];
    return result;
}

template <class T> DLN_RESULT GetWord(HDLN handle, wire::Request request, T *out) {
    if (out == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    uint32_t word = 0;
    DLN_RESULT result = CallForWord(handle, request, word);
    if (DLN_SUCCEEDED(result))
        *out = static_cast<T>(word);
    return result;
}

// A call whose only answer is its result.
DLN_RESULT CallPlain(HDLN handle, wire::Request request) {
    wire::Reply reply;
    return Call(handle, request, reply);
}

std::vector<uint8_t> Bytes(const uint8_t *buffer, uint16_t length) {
    return length == 0 ? std::vector<uint8_t>{} : std::vector<uint8_t>(buffer, buffer + length);
}

} // namespace

extern "C" {

DLN_RESULT DlnConnect(const char *host, uint16_t port) {
    return Connect(host, port);
}

DLN_RESULT DlnDisconnect(const char *host, uint16_t port) {
    return Disconnect(host, port);
}

DLN_RESULT DlnOpenDevice(uint32_t deviceNumber, HDLN *handle) {
    if (handle == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    Clock::time_point deadline = Clock::now() + kCallTime;
    std::shared_ptr<Connection> connection = FirstUsableConnection();
    if (!connection)
        return DLN_RES_NOT_CONNECTED;
    wire::Request request;
    request.call = wire::Call::OpenDevice;
    request.value = deviceNumber;
    wire::Reply reply;
    DLN_RESULT result = connection->exchange(request, reply, deadline);
    if (!DLN_SUCCEEDED(result))
        return result;
    if (!DLN_SUCCEEDED(reply.result))
        return reply.result;
    if (reply.words.size() != 1 || reply.words[0] == 0 || reply.words[0] > 0xFFFF)
        return DLN_RES_PROTOCOL_ERROR;
    HDLN issued = AddHandle(connection, static_cast<uint16_t>(reply.words[0]));
    if (issued == 0)
        return DLN_RES_FAIL;
    *handle = issued;
    return reply.result;
}

DLN_RESULT DlnCloseHandle(HDLN handle) {
    wire::Request request;
    request.call = wire::Call::CloseHandle;
    wire::Reply reply;
    DLN_RESULT result = Call(handle, request, reply);
    // A handle whose connection is gone is dead anyway; forget it too.
    if (DLN_SUCCEEDED(result) || result == DLN_RES_NOT_CONNECTED)
        RemoveHandle(handle);
    return result;
}

DLN_RESULT DlnGetVersion(HDLN handle, DLN_VERSION *version) {
    if (version == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    wire::Request request;
    request.call = wire::Call::GetVersion;
    wire::Reply reply;
    DLN_RESULT result = Call(handle, request, reply);
    if (!DLN_SUCCEEDED(result))
        return result;
    if (reply.words.size() != 5)
        return DLN_RES_PROTOCOL_ERROR;
    version->hardwareType = reply.words[0];
    version->hardwareVersion = reply.words[1];
    version->firmwareVersion = reply.words[2];
    version->serverVersion = reply.words[3];
    version->libraryVersion = reply.words[4];
    return result;
}

DLN_RESULT DlnI2cMasterGetPortCount(HDLN handle, uint8_t *count) {
    return GetWord(handle, PortRequest(wire::Call::I2cGetPortCount, 0), count);
}

DLN_RESULT DlnI2cMasterGetFrequency(HDLN handle, uint8_t port, uint32_t *frequency) {
    return GetWord(handle, PortRequest(wire::Call::I2cGetFrequency, port), frequency);
}

DLN_RESULT DlnI2cMasterEnable(HDLN handle, uint8_t port, uint16_t *conflict) {
    return GetWord(handle, PortRequest(wire::Call::I2cEnable, port), conflict);
}

DLN_RESULT DlnI2cMasterScanDevices(HDLN handle, uint8_t port, uint8_t *count,
                                   uint8_t *addressList) {
    if (count == nullptr || addressList == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    wire::Request request = PortRequest(wire::Call::I2cScanDevices, port);
    wire::Reply reply;
    DLN_RESULT result = Call(handle, request, reply);
    if (!DLN_SUCCEEDED(result))
        return result;
    // At most the 128 7-bit addresses; the caller's list holds them all.
    if (reply.data.size() > 128 || !reply.words.empty())
        return DLN_RES_PROTOCOL_ERROR;
    std::copy(reply.data.begin(), reply.data.end(), addressList);
    *count = static_cast<uint8_t>(reply.data.size());
    return result;
}

DLN_RESULT DlnI2cMasterWrite(HDLN handle, uint8_t port, uint8_t slaveAddress,
                             uint8_t memoryAddressLength, uint32_t memoryAddress, uint16_t length,
                             const uint8_t *buffer) {
    if (buffer == nullptr && length > 0)
        return DLN_RES_INVALID_ARGUMENT;
    wire::Request request = PortRequest(wire::Call::I2cWrite, port);
    request.address = slaveAddress;
    request.memoryAddressLength = memoryAddressLength;
    request.memoryAddress = memoryAddress;
    request.length = length;
    request.data = Bytes(buffer, length);
    return CallPlain(handle, request);
}

DLN_RESULT DlnI2cMasterRead(HDLN handle, uint8_t port, uint8_t slaveAddress,
                            uint8_t memoryAddressLength, uint32_t memoryAddress, uint16_t length,
                            uint8_t *buffer) {
    if (buffer == nullptr && length > 0)
        return DLN_RES_INVALID_ARGUMENT;
    wire::Request request = PortRequest(wire::Call::I2cRead, port);
    request.address = slaveAddress;
    request.memoryAddressLength = memoryAddressLength;
    request.memoryAddress = memoryAddress;
    request.length = length;
    wire::Reply reply;
    DLN_RESULT result = Call(handle, request, reply);
    if (!DLN_SUCCEEDED(result))
        return result;
    if (reply.data.size() != length)
        return DLN_RES_PROTOCOL_ERROR;
    std::copy(reply.data.begin(), reply.data.end(), buffer);
    return result;
}

DLN_RESULT DlnSpiMasterGetPortCount(HDLN handle, uint8_t *count) {
    return GetWord(handle, PortRequest(wire::Call::SpiGetPortCount, 0), count);
}

DLN_RESULT DlnSpiMasterGetFrequency(HDLN handle, uint8_t port, uint32_t *frequency) {
    return GetWord(handle, PortRequest(wire::Call::SpiGetFrequency, port), frequency);
}

DLN_RESULT DlnSpiMasterEnable(HDLN handle, uint8_t port, uint16_t *conflict) {
    return GetWord(handle, PortRequest(wire::Call::SpiEnable, port), conflict);
}

DLN_RESULT DlnSpiMasterSetMode(HDLN handle, uint8_t port, uint8_t mode) {
    wire::Request request = PortRequest(wire::Call::SpiSetMode, port);
    request.address = mode;
    return CallPlain(handle, request);
}

DLN_RESULT DlnSpiMasterGetMode(HDLN handle, uint8_t port, uint8_t *mode) {
    return GetWord(handle, PortRequest(wire::Call::SpiGetMode, port), mode);
}

DLN_RESULT DlnSpiMasterSetFrequency(HDLN handle, uint8_t port, uint32_t frequency,
                                    uint32_t *actualFrequency) {
    wire::Request request = PortRequest(wire::Call::SpiSetFrequency, port);
    request.value = frequency;
    return GetWord(handle, request, actualFrequency);
}

DLN_RESULT DlnSpiMasterSetSS(HDLN handle, uint8_t port, uint8_t ss) {
    wire::Request request = PortRequest(wire::Call::SpiSetSS, port);
    request.address = ss;
    return CallPlain(handle, request);
}

DLN_RESULT DlnSpiMasterReadWrite(HDLN handle, uint8_t port, uint16_t size,
                                 const uint8_t *writeBuffer, uint8_t *readBuffer) {
    if ((writeBuffer == nullptr || readBuffer == nullptr) && size > 0)
        return DLN_RES_INVALID_ARGUMENT;
    wire::Request request = PortRequest(wire::Call::SpiReadWrite, port);
    request.length = size;
    request.data = Bytes(writeBuffer, size);
    wire::Reply reply;
    DLN_RESULT result = Call(handle, request, reply);
    if (!DLN_SUCCEEDED(result))
        return result;
    if (reply.data.size() != size)
        return DLN_RES_PROTOCOL_ERROR;
    std::copy(reply.data.begin(), reply.data.end(), readBuffer);
    return result;
}

} // extern "C"
