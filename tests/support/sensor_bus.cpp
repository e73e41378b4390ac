#include "support/sensor_bus.h"

#include "dln_api.h"
#include "support/transfer_lines.h"

#include <stdexcept>

SensorBus::SensorBus(std::shared_ptr<dlnsim::I2cDevice> sensor, std::vector<dlnsim::Fault> faults,
                     std::function<uint64_t()> clock) {
    dlnsim::SimBuilder builder;
    builder.i2c(0x29, std::move(sensor));
    if (clock)
        builder.clock(std::move(clock));
    for (const dlnsim::Fault &fault : faults)
        builder.fault(fault);
    session_ = std::make_unique<SimSession>(builder);
    HDLN handle = 0;
    uint16_t conflict = 0;
    if (!DLN_SUCCEEDED(DlnConnect("localhost", 9656)) ||
        !DLN_SUCCEEDED(DlnOpenDevice(0, &handle)) ||
        !DLN_SUCCEEDED(DlnI2cMasterEnable(handle, 0, &conflict)))
        throw std::runtime_error("the simulated adapter could not be opened");
    device.adapterHandle = handle;
    device.busAddress = kSensorBusAddress;
    sim().clearTrace();
}

SensorBus::~SensorBus() {
    DlnCloseHandle(device.adapterHandle);
    DlnDisconnect("localhost", 9656);
    session_.reset();
}

std::vector<std::string> SensorTransfers(const dlnsim::Simulator &sim) {
    return TransferLines(sim.trace(), kSensorBusAddress >> 1);
}

std::vector<std::string> SensorBus::transfers() const {
    return SensorTransfers(session_->sim());
}
