#include "adapter/raw_i2c.h"

#include "adapter/bus.h"
#include "adapter/connection.h"
#include "adapter/method_bound.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kConnectFailedResult = 38; // strlen("Failed to connect to local DLN server\n")

void PrintDevices(const Reporter &reporter, uint8_t count, const uint8_t *devices) {
    reporter.Line("Number of Devices: %d\n", count);
    for (int i = 0; i < count; ++i)
        reporter.Line("%d %x\n", devices[i], devices[i]);
}

// A transfer that went through: print each byte.
I2cBytes FinishTransfer(const Reporter &reporter, const uint8_t *buffer, uint8_t count) {
    I2cBytes done;
    done.outcome = Outcome::Done;
    done.count = count;
    for (int i = 0; i < count; ++i) {
        reporter.Line("%d %x\n", buffer[i], buffer[i]);
        done.bytes[i] = buffer[i];
    }
    reporter.Flush();
    return done;
}

I2cBytes FailTransfer(const Reporter &reporter, const char *name) {
    ReportFailure(reporter, name);
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
        ReportFailure(*connection.reporter, "DlnI2cMasterScanDevices");
    else
        PrintDevices(*connection.reporter, count, devices);
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
        ReportFailure(*connection.reporter, "DlnI2cMasterScanDevices");
        return scan;
    }
    PrintDevices(*connection.reporter, count, devices);
    scan.count = count < kScanListLength ? count : kScanListLength;
    std::copy(devices, devices + scan.count, scan.devices);
    scan.outcome = Outcome::Done;
    connection.reporter->Flush();
    return scan;
}

I2cBytes ReadI2cBytes(uint8_t address, uint8_t count) {
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return I2cBytes{};
    uint8_t buffer[256] = {};
    if (!I2cRead(connection.handle, address, buffer, count).ok())
        return FailTransfer(*connection.reporter, kI2cReadName);
    return FinishTransfer(*connection.reporter, buffer, count);
}

I2cBytes WriteI2cBytes(uint8_t address, uint8_t count, const uint8_t *bytes) {
    uint8_t buffer[256] = {};
    std::copy(bytes, bytes + count, buffer);
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return I2cBytes{};
    if (!I2cWrite(connection.handle, address, buffer, count).ok())
        return FailTransfer(*connection.reporter, kI2cWriteName);
    return FinishTransfer(*connection.reporter, buffer, count);
}
