#include "adapter/bus.h"

#include "adapter/method_bound.h"

BusResult I2cWrite(HDLN handle, uint8_t address, const uint8_t *bytes, uint16_t count) {
    return StepResult(BoundedCall(DlnI2cMasterWrite, handle, kBusPort, address, 0, 0, count, bytes),
                      kI2cWriteCall, address);
}

BusResult I2cRead(HDLN handle, uint8_t address, uint8_t *buffer, uint16_t count) {
    return StepResult(BoundedCall(DlnI2cMasterRead, handle, kBusPort, address, 0, 0, count, buffer),
                      kI2cReadCall, address);
}

BusResult SpiTransfer(HDLN handle, const uint8_t *out, uint8_t *in, uint16_t count) {
    return StepResult(BoundedCall(DlnSpiMasterReadWrite, handle, kBusPort, count, out, in),
                      kSpiTransferCall);
}
