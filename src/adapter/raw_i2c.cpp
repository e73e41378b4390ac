#include "adapter/raw_i2c.h"

#include "adapter/connection.h"

#include <cstdio>

namespace {

constexpr int kConnectFailedResult = 38; // strlen("Failed to connect to local DLN server\n")

void PrintDevices(uint8_t count, const uint8_t *devices) {
    printf("Number of Devices: %d\n", count);
    for (int i = 0; i < count; ++i)
        printf("%d %x\n", devices[i], devices[i]);
}

int FailTransfer(AdapterConnection &connection, const char *call) {
    printf("%s() failed\n", call);
    ReleaseAdapterConnection(connection);
    return -1;
}

// A transfer that went through: print each byte, hand it to its slot, release the connection.
int FinishTransfer(AdapterConnection &connection, const uint8_t *buffer, int length, int32_t *slots,
                   int32_t count) {
    for (int i = 0; i < length; ++i) {
        printf("%d %x\n", buffer[i], buffer[i]);
        slots[i] = buffer[i];
    }
    fflush(stdout);
    ReleaseAdapterConnection(connection);
    return count;
}

} // namespace

int PrintAdapterAndDevices() {
    AdapterConnection connection;
    connection.form = ConnectionForm::Continuing;
    if (!OpenAdapterConnection(connection))
        return connection.connected ? connection.disconnectResult : kConnectFailedResult;
    uint8_t devices[256] = {};
    uint8_t count = 0;
    if (!DLN_SUCCEEDED(DlnI2cMasterScanDevices(connection.handle, 0, &count, devices)))
        printf("DlnI2cMasterScanDevices() failed\n");
    else
        PrintDevices(count, devices);
    return ReleaseAdapterConnection(connection);
}

int ScanI2cBus(int32_t list[kScanListLength]) {
    AdapterConnection connection;
    if (!OpenAdapterConnection(connection))
        return -1;
    uint8_t devices[256] = {};
    uint8_t count = 0;
    DLN_RESULT result = DlnI2cMasterScanDevices(connection.handle, 0, &count, devices);
    for (int i = 0; i < kScanListLength; ++i)
        list[i] = 0;
    if (!DLN_SUCCEEDED(result))
        return FailTransfer(connection, "DlnI2cMasterScanDevices");
    PrintDevices(count, devices);
    for (int i = 0; i < count && i < kScanListLength; ++i)
        list[i] = devices[i];
    fflush(stdout);
    ReleaseAdapterConnection(connection);
    return connection.portCount;
}

int ReadI2cBytes(int32_t address, int32_t count, int32_t *slots) {
    AdapterConnection connection;
    if (!OpenAdapterConnection(connection))
        return -1;
    // The transfer and the loops use the low 8 bits of the count, as the bus call takes them.
    const uint16_t length = static_cast<uint8_t>(count);
    uint8_t buffer[256] = {};
    if (!DLN_SUCCEEDED(DlnI2cMasterRead(connection.handle, 0, static_cast<uint8_t>(address), 0, 0,
                                        length, buffer))) {
        return FailTransfer(connection, "DlnI2cMasterReadDevices");
    }
    return FinishTransfer(connection, buffer, length, slots, count);
}

int WriteI2cBytes(int32_t address, int32_t count, int32_t *slots) {
    const uint16_t length = static_cast<uint8_t>(count);
    uint8_t buffer[256] = {};
    for (int i = 0; i < length; ++i)
        buffer[i] = static_cast<uint8_t>(slots[i]);
    AdapterConnection connection;
    if (!OpenAdapterConnection(connection))
        return -1;
    if (!DLN_SUCCEEDED(DlnI2cMasterWrite(connection.handle, 0, static_cast<uint8_t>(address), 0, 0,
                                         length, buffer))) {
        return FailTransfer(connection, "DlnI2cMasterWriteDevices");
    }
    return FinishTransfer(connection, buffer, length, slots, count);
}
