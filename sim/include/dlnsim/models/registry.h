// Device models by name, as scenarios name them. Each model adds one line to the tables in
// registry.cpp: its name and a function that makes it from its JSON object.
#pragma once

#include "dlnsim/device.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dlnsim {

using I2cModelFactory = std::function<std::shared_ptr<I2cDevice>(const nlohmann::json &options)>;
using SpiModelFactory = std::function<std::shared_ptr<SpiDevice>(const nlohmann::json &options)>;

// Makes the model called name, configured by options (the device's whole JSON object).
// Throws OptionError (options.h): key "model" for an unknown name, the option's key for a
// bad option.
std::shared_ptr<I2cDevice> MakeI2cModel(const std::string &name, const nlohmann::json &options);
std::shared_ptr<SpiDevice> MakeSpiModel(const std::string &name, const nlohmann::json &options);

std::vector<std::string> I2cModelNames();
std::vector<std::string> SpiModelNames();

} // namespace dlnsim
