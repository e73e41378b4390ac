#include "dlnsim/models/registry.h"

#include "dlnsim/models/register_device.h"
#include "dlnsim/models/spi_eeprom.h"
#include "dlnsim/models/spi_loopback.h"
#include "dlnsim/models/vl53l0x_sensor.h"
#include "options.h"
#include "robot_boards.h"

#include <map>

namespace dlnsim {

namespace {

// One line per model.
const std::map<std::string, I2cModelFactory> &I2cModels() {
    static const std::map<std::string, I2cModelFactory> models = {
        {"register", MakeRegisterDevice},
        {"servo-board", MakeServoBoard},
        {"adc-dac-board", MakeAdcDacBoard},
        {"ultrasonic-ranger", MakeUltrasonicRanger},
        {"motor-board", MakeMotorBoard},
        {"vl53l0x",
         [](const nlohmann::json &o) {
             return std::make_shared<RangingSensorDevice>(MakeRangingSensor(o));
         }},
    };
    return models;
}

const std::map<std::string, SpiModelFactory> &SpiModels() {
    static const std::map<std::string, SpiModelFactory> models = {
        {"eeprom", MakeSpiEeprom},
        {"loopback", MakeSpiLoopback},
    };
    return models;
}

template <class Map> std::vector<std::string> Names(const Map &models) {
    std::vector<std::string> names;
    for (auto &[name, factory] : models)
        names.push_back(name);
    return names;
}

template <class Map>
auto Make(const Map &models, const char *bus, const std::string &name,
          const nlohmann::json &options) {
    auto it = models.find(name);
    if (it == models.end()) {
        std::string known;
        for (auto &[n, factory] : models)
            known += (known.empty() ? "" : ", ") + n;
        throw OptionError("model", "unknown " + std::string(bus) + " model \"" + name +
                                       "\" (known: " + (known.empty() ? "none" : known) + ")");
    }
    return it->second(options);
}

} // namespace

std::shared_ptr<I2cDevice> MakeI2cModel(const std::string &name, const nlohmann::json &options) {
    return Make(I2cModels(), "I2C", name, options);
}

std::shared_ptr<SpiDevice> MakeSpiModel(const std::string &name, const nlohmann::json &options) {
    return Make(SpiModels(), "SPI", name, options);
}

std::vector<std::string> I2cModelNames() {
    return Names(I2cModels());
}

std::vector<std::string> SpiModelNames() {
    return Names(SpiModels());
}

} // namespace dlnsim
