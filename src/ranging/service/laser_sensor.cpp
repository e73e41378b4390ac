#include "ranging/service/laser_sensor.h"

#include "ranging/service/laser_service.h"

void LaserSensor::run(int32_t code, int32_t *resultWord) {
    std::lock_guard<std::mutex> hold(lock_);
    if (code == 0)
        ConnectRangingSensor(connection_, device_);
    else
        RunLaserOperation(device_, code, resultWord);
}

RangingDevice LaserSensor::record() const {
    std::lock_guard<std::mutex> hold(lock_);
    return device_;
}

void LaserSensor::forget() {
    std::lock_guard<std::mutex> hold(lock_);
    connection_ = AdapterConnection{};
    device_ = RangingDevice{};
}

LaserSensor &TheLaserSensor() {
    static LaserSensor sensor;
    return sensor;
}
