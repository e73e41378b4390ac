// The complete simulated ranging sensor: the register core with its timing and limit-check
// registers, its non-volatile memory and its measurements, as a scenario describes it.
#pragma once

#include "dlnsim/models/observable_model.h"
#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_measurement.h"
#include "dlnsim/models/vl53l0x_world.h"

#include <memory>

namespace dlnsim {

struct RangingSensor {
    std::shared_ptr<Vl53l0x> device;
    std::shared_ptr<RangingWorld> world; // shared with the measurement hooks
    std::shared_ptr<RangeLog> ranges;    // filled by the measurement hooks
};

// The sensor as the scenario's "vl53l0x" model: the register core on the bus, with its world
// and the ranges it reported open to the live page and timelines.
class RangingSensorDevice : public I2cDevice, public ObservableModel {
  public:
    explicit RangingSensorDevice(RangingSensor sensor) : sensor_(std::move(sensor)) {}
    bool write(std::span<const uint8_t> data, uint64_t nowUs) override {
        return sensor_.device->write(data, nowUs);
    }
    bool read(std::span<uint8_t> data, uint64_t nowUs) override {
        return sensor_.device->read(data, nowUs);
    }
    std::string decodeWrite(std::span<const uint8_t> data) const override {
        return sensor_.device->decodeWrite(data);
    }
    std::string modelName() const override { return "vl53l0x"; }
    // The target distance now, the world's path and reflectance, and the ranges reported
    // over the last minute as [seconds, mm, device status] triples.
    nlohmann::json snapshot(uint64_t nowUs) const override;
    // "distanceMm" (a fixed target), "path" (waypoints from now on), "reflectance", "noiseMm".
    nlohmann::json settings() const override;
    void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) override;
    const RangingSensor &sensor() const { return sensor_; }

  private:
    RangingSensor sensor_;
};

// options is the scenario's device entry (or an empty object): the non-volatile memory keys
// of Vl53l0xNvmFromOptions and a "world" object as RangingWorldFromJson reads it. Throws on an
// unknown key or a malformed value, naming its place ("world.path[1].timeMs").
RangingSensor MakeRangingSensor(const nlohmann::json &options);

} // namespace dlnsim
