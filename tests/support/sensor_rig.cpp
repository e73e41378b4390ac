#include "support/sensor_rig.h"

#include "dlnsim/models/vl53l0x_measurement.h"
#include "dlnsim/models/vl53l0x_nvm.h"
#include "dlnsim/models/vl53l0x_timing.h"

#include <algorithm>

namespace {

std::shared_ptr<dlnsim::Vl53l0x> MakeSensor() {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    dlnsim::AddVl53l0xTiming(*sensor);
    dlnsim::AddVl53l0xLimitChecks(*sensor);
    dlnsim::AddVl53l0xNvm(*sensor);
    return sensor;
}

} // namespace

SensorRig::SensorRig(const dlnsim::RangingWorld &world, std::vector<dlnsim::Fault> faults)
    : sensor(MakeSensor()), world(dlnsim::AddMeasurements(*sensor, world)),
      bus(sensor, std::move(faults), clock.source()) {}

long SensorRig::count(const std::string &transfer) const {
    auto transfers = bus.transfers();
    return std::count(transfers.begin(), transfers.end(), transfer);
}

void SensorRig::scriptReads(uint8_t page, uint8_t index, std::function<uint8_t(int read)> next) {
    auto reads = std::make_shared<int>(0);
    sensor->onRead(page, index, [reads, next](uint8_t, uint64_t) { return next(++*reads); });
}
