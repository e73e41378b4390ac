#include "ranging/service/laser_service.h"

#include "adapter/bus.h"
#include "adapter/method_bound.h"
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/bus/waits.h"
#include "ranging/service/laser_sequences.h"
#include "ranging/service/status_texts.h"

namespace {

void ReleasePreviousConnection(AdapterConnection &connection, RangingDevice &device) {
    ReleaseKeptConnection(connection);
    device.adapterHandle = 0;
}

void ScanBus(const Reporter &reporter, HDLN handle) {
    uint8_t count = 0;
    uint8_t list[256] = {};
    if (!DLN_SUCCEEDED(BoundedCall(DlnI2cMasterScanDevices, handle, kBusPort, &count, list))) {
        reporter.Line("DlnI2cMasterScanDevices() failed\n");
        return;
    }
    reporter.Line("Number of Devices: %d\n", count);
    for (int i = 0; i < count; ++i)
        reporter.Line("%d %x\n", list[i], list[i]);
}

// Reads the four identification bytes from 0xC0 on and sets the bus address. Transfer
// failures are ignored: the bytes printed then tell the user that the sensor did not answer.
void ReadIdentification(RangingDevice &device) {
    constexpr uint8_t kAddress = kSensorBusAddress >> 1;
    uint8_t id[4] = {};
    id[0] = kRegIdentification;
    I2cWrite(device.adapterHandle, kAddress, id, 1);
    I2cRead(device.adapterHandle, kAddress, id, 4);
    device.reporter->Line("IDs\n");
    for (uint8_t byte : id)
        device.reporter->Line("%2x", byte);
    device.reporter->Line("\nEnd IDs\n");
    device.busAddress = kSensorBusAddress;
}

} // namespace

SensorStatus ReadStopVariable(RangingDevice &device) {
    // Every step runs whatever an earlier one returned: the page must be switched back.
    const SensorStatus steps[] = {
        VL53L0X_WriteReg8(device, kRegPrivateAccess, 0x01),
        VL53L0X_WriteReg8(device, kRegPageSelect, 0x01),
        VL53L0X_WriteReg8(device, kRegSysRangeStart, 0x00),
        VL53L0X_ReadReg8(device, kRegStopVariable, &device.stopVariable),
        VL53L0X_WriteReg8(device, kRegSysRangeStart, 0x01),
        VL53L0X_WriteReg8(device, kRegPageSelect, 0x00),
        VL53L0X_WriteReg8(device, kRegPrivateAccess, 0x00),
    };
    for (SensorStatus status : steps) {
        if (status != kSensorOk)
            return status;
    }
    return kSensorOk;
}

void ConnectRangingSensor(AdapterConnection &connection, RangingDevice &device) {
    ReleasePreviousConnection(connection, device);
    connection.form = ConnectionForm::Sensor;
    if (!RunConnectionSteps(connection, 0, 2))
        return;
    device.adapterHandle = connection.handle;
    if (!RunConnectionSteps(connection, 3, 6))
        return;
    ScanBus(*device.reporter, device.adapterHandle);
    ReadIdentification(device);
    VL53L0X_SoftReset(device);
    ReadStopVariable(device);
}

void RunLaserOperation(RangingDevice &device, int32_t code, int32_t *resultWord) {
    ReadIdentification(device);
    device.reporter->Line("Start Test Ranging +++++++++++++++++++++++++++++++++++++++++++\n");
    if (!DispatchLaserOperation(device, code, resultWord))
        device.reporter->Line("Laser Operation UNKOWN\n");
}

bool DispatchLaserOperation(RangingDevice &device, int32_t code, int32_t *resultWord) {
    switch (code) {
    case 1:
        // Its status is shown by its own status lines; Java is not told.
        CalibrateRangingSensor(device);
        return true;
    case 2:
        ReportLaserRange(*device.reporter, MeasureRange(device), resultWord);
        return true;
    default:
        return false;
    }
}

void ReportLaserRange(const Reporter &reporter, uint16_t rangeMm, int32_t *resultWord) {
    const float scaled = static_cast<float>(static_cast<double>(rangeMm) / 9100.0 * 120.0);
    reporter.Line("Laser Measuremnet=%d  in mm=%f\n", rangeMm, scaled);
    char text[kStatusTextSize];
    VL53L0X_StatusText(kSensorOk, text);
    reporter.Line("API Status: %i : %s\n", kSensorOk, text);
    *resultWord = rangeMm;
}
