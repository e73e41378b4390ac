#include "vl53l0x_nvm.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <stdexcept>
#include <string>

namespace dlnsim {

namespace {

constexpr uint8_t kNvmPage = 7;
constexpr uint8_t kRegStrobe = 0x83;
constexpr uint8_t kRegAddress = 0x94;
constexpr uint8_t kRegData = 0x90;

struct NvmState {
    Vl53l0xNvmContents contents;
    bool fetching = false;
    uint32_t pollsLeft = 0;
};

bool WindowOpen(const Vl53l0x &sensor) {
    return (sensor.reg(6, kRegStrobe) & 0x04) != 0 && sensor.reg(kNvmPage, 0x81) == 0x01;
}

uint64_t Number(const nlohmann::json &value, const std::string &key) {
    if (value.is_number_unsigned()) {
        return value.get<uint64_t>();
    }
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        try {
            size_t used = 0;
            const uint64_t number = std::stoull(text, &used, 0);
            if (used == text.size()) {
                return number;
            }
        } catch (const std::exception &) {
        }
    }
    throw std::invalid_argument("ranging sensor option \"" + key +
                                "\": not a non-negative number: " + value.dump());
}

uint64_t NumberUpTo(const nlohmann::json &value, const std::string &key, uint64_t max) {
    const uint64_t number = Number(value, key);
    if (number > max) {
        throw std::invalid_argument("ranging sensor option \"" + key + "\": " +
                                    std::to_string(number) + " is above " + std::to_string(max));
    }
    return number;
}

} // namespace

Vl53l0xNvmContents Vl53l0xNvmFromOptions(const nlohmann::json &options) {
    Vl53l0xNvmContents contents;
    if (!options.is_object()) {
        return contents;
    }
    if (options.contains("refSpadCount")) {
        contents.refSpadCount =
            static_cast<uint8_t>(NumberUpTo(options["refSpadCount"], "refSpadCount", 127));
    }
    if (options.contains("apertureSpads")) {
        const nlohmann::json &value = options["apertureSpads"];
        contents.apertureSpads =
            value.is_boolean() ? value.get<bool>() : NumberUpTo(value, "apertureSpads", 1) != 0;
    }
    if (options.contains("goodSpadMap")) {
        const nlohmann::json &map = options["goodSpadMap"];
        if (!map.is_array() || map.size() != contents.goodSpadMap.size()) {
            throw std::invalid_argument(
                "ranging sensor option \"goodSpadMap\": expected six bytes");
        }
        for (size_t i = 0; i < map.size(); ++i) {
            contents.goodSpadMap[i] = static_cast<uint8_t>(NumberUpTo(map[i], "goodSpadMap", 255));
        }
    }
    if (options.contains("nvmBusyPolls")) {
        contents.busyPolls =
            static_cast<uint32_t>(NumberUpTo(options["nvmBusyPolls"], "nvmBusyPolls", 0xFFFFFFFF));
    }
    if (options.contains("nvmNeverReady")) {
        const nlohmann::json &value = options["nvmNeverReady"];
        if (!value.is_boolean()) {
            throw std::invalid_argument(
                "ranging sensor option \"nvmNeverReady\": expected true or false");
        }
        contents.neverReady = value.get<bool>();
    }
    if (options.contains("nvmWords")) {
        if (!options["nvmWords"].is_object()) {
            throw std::invalid_argument("ranging sensor option \"nvmWords\": expected an object");
        }
        for (const auto &[address, value] : options["nvmWords"].items()) {
            const auto key = static_cast<uint8_t>(NumberUpTo(address, "nvmWords", 255));
            contents.words[key] = static_cast<uint32_t>(NumberUpTo(value, "nvmWords", 0xFFFFFFFF));
        }
    }
    return contents;
}

uint32_t Vl53l0xNvmWord(const Vl53l0xNvmContents &contents, uint8_t address) {
    const auto stored = contents.words.find(address);
    if (stored != contents.words.end()) {
        return stored->second;
    }
    const auto &map = contents.goodSpadMap;
    switch (address) {
    case 0x6B:
        return static_cast<uint32_t>(contents.refSpadCount & 0x7F) << 8 |
               static_cast<uint32_t>(contents.apertureSpads ? 1 : 0) << 15;
    case 0x24:
        return static_cast<uint32_t>(map[0]) << 24 | static_cast<uint32_t>(map[1]) << 16 |
               static_cast<uint32_t>(map[2]) << 8 | map[3];
    case 0x25:
        return static_cast<uint32_t>(map[4]) << 24 | static_cast<uint32_t>(map[5]) << 16;
    default:
        return 0;
    }
}

void AddVl53l0xNvm(Vl53l0x &sensor, const Vl53l0xNvmContents &contents) {
    auto state = std::make_shared<NvmState>();
    state->contents = contents;
    Vl53l0x *device = &sensor; // the hooks live inside the sensor, so it outlives them

    sensor.onWrite(kNvmPage, kRegStrobe, [state, device](uint8_t value, uint64_t) {
        if (value != 0 || !WindowOpen(*device)) {
            return;
        }
        state->fetching = true;
        state->pollsLeft = state->contents.busyPolls;
    });
    sensor.onRead(kNvmPage, kRegStrobe, [state, device](uint8_t stored, uint64_t) -> uint8_t {
        if (!state->fetching) {
            return stored;
        }
        if (state->contents.neverReady) {
            return 0;
        }
        if (state->pollsLeft > 0) {
            --state->pollsLeft;
            return 0;
        }
        state->fetching = false;
        const uint32_t word = Vl53l0xNvmWord(state->contents, device->reg(kNvmPage, kRegAddress));
        for (int i = 0; i < 4; ++i) {
            device->setReg(kNvmPage, static_cast<uint8_t>(kRegData + i),
                           static_cast<uint8_t>(word >> (24 - 8 * i)));
        }
        device->setReg(kNvmPage, kRegStrobe, 0x01);
        return 0x01;
    });
    sensor.onReset([state] { state->fetching = false; });
}

} // namespace dlnsim
