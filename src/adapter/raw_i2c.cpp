#include "adapter/raw_i2c.h"

#include "adapter/bus.h"
#include "adapter/connection.h"
#include "adapter/method_bound.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kConnectFailedResult = 38; // strlen("Failed to connect to local DLN server\n")

void PrintDevices(uint8_t count, const uint8_t *devices) {
    printf("Number of Devices: %d\n", count);
    for (int i = 0; i < count; ++i)
        printf("%d %x\n", devices[i], devices[i]);
}

// A transfer that went through: print each byte.
I2cBytes FinishTransfer(const uint8_t *buffer, uint8_t count) {
    I2cBytes done;
    done.outcome = Outcome::Done;
    done.count = count;
    for (int i = 0; i < count; ++i) {
        printf("%d %x\n", buffer[i], buffer[i]);
        done.bytes[i] = buffer[i];
    }
    fflush(stdout);
    return done;
}

I2cBytes FailTransfer(const char *name) {
    ReportFailure(name);
    return I2cBytes{};
}

} // namespace

int PrintAdapterAndDevices() {
    ScopedConnection connection{ConnectionForm::Continuing};
    if (!OpenAdapterConnection(connection))
        return connection.connected ? connection.disconnectResult : kConnectFailedResult;
    uint8_t devices[256] = {};
    uint8_t count = 0;
    if (!DLN_SUCCEEDED(
            BoundedCall(DlnI2cMasterScanDevices, connection.handle, kBusPort, &count, devices)))
        ReportFailure("DlnI2cMasterScanDevices");
    else
        PrintDevices(count, devices);
    return ReleaseAdapterConnection(connection);
}

I2cScan ScanI2cBus() {
    I2cScan scan;
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return scan;
    uint8_t devices[256] = {};
    uint8_t count = 0;
    DLN_RESULT result =
        BoundedCall(DlnI2cMasterScanDevices, connection.handle, kBusPort, &count, devices);
    scan.listed = true;
    if (!DLN_SUCCEEDED(result)) {
        ReportFailure("DlnI2cMasterScanDevices");
        return scan;
    }
    PrintDevices(count, devices);
    scan.count = count < kScanListLength ? count : kScanListLength;
    std::copy(devices, devices + scan.count, scan.devices);
    scan.outcome = Outcome::Done;
    fflush(stdout);
    return scan;
}

I2cBytes ReadI2cBytes(uint8_t address, uint8_t count) {
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return I2cBytes{};
    uint8_t buffer[256] = {};
    if (!I2cRead(connection.handle, address, buffer, count).ok())
        return FailTransfer(kI2cReadName);
    return FinishTransfer(buffer, count);
}

I2cBytes WriteI2cBytes(uint8_t address, uint8_t count, const uint8_t *bytes) {
    uint8_t buffer[256] = {};
    std::copy(bytes, bytes + count, buffer);
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return I2cBytes{};
    if (!I2cWrite(connection.handle, address, buffer, count).ok())
        return FailTransfer(kI2cWriteName);
    return FinishTransfer(buffer, count);
}
