// The robot boards built from their scenario objects, for the model registry. Each reads its
// options from the device's JSON object and refuses unknown ones (OptionError).
#pragma once

#include "dlnsim/device.h"

#include <nlohmann/json.hpp>

#include <memory>

namespace dlnsim {

// "servo-board": id, current, parameter, pulseWidth.
std::shared_ptr<I2cDevice> MakeServoBoard(const nlohmann::json &options);
// "adc-dac-board": inputs (four bytes, channel 1 first), output.
std::shared_ptr<I2cDevice> MakeAdcDacBoard(const nlohmann::json &options);
// "ultrasonic-ranger": temperature, distanceCm, measureMs.
std::shared_ptr<I2cDevice> MakeUltrasonicRanger(const nlohmann::json &options);
// "motor-board": speed, parameter.
std::shared_ptr<I2cDevice> MakeMotorBoard(const nlohmann::json &options);

} // namespace dlnsim
