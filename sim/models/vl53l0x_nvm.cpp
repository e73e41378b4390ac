#include "dlnsim/models/vl53l0x_nvm.h"

#include "options.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

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

} // namespace

Vl53l0xNvmContents Vl53l0xNvmFromOptions(const nlohmann::json &options) {
    Vl53l0xNvmContents contents;
    if (!options.is_object()) {
        return contents;
    }
    contents.refSpadCount =
        static_cast<uint8_t>(UnsignedOption(options, "refSpadCount", 127, contents.refSpadCount));
    contents.apertureSpads = BoolOption(options, "apertureSpads", contents.apertureSpads);
    if (options.contains("goodSpadMap")) {
        const std::vector<uint8_t> map = BytesOption(options, "goodSpadMap");
        if (map.size() != contents.goodSpadMap.size()) {
            throw OptionError("goodSpadMap",
                              "expected six bytes, found " + std::to_string(map.size()));
        }
        std::copy(map.begin(), map.end(), contents.goodSpadMap.begin());
    }
    contents.busyPolls = static_cast<uint32_t>(
        UnsignedOption(options, "nvmBusyPolls", 0xFFFFFFFF, contents.busyPolls));
    contents.neverReady = BoolOption(options, "nvmNeverReady", contents.neverReady);
    if (options.contains("nvmWords")) {
        const nlohmann::json &words = options["nvmWords"];
        if (!words.is_object()) {
            throw OptionError("nvmWords", "expected an object of address to value");
        }
        for (const auto &[address, value] : words.items()) {
            const std::string key = "nvmWords." + address;
            const auto at = static_cast<uint8_t>(UnsignedValue(address, 0xFF, key));
            contents.words[at] = static_cast<uint32_t>(UnsignedValue(value, 0xFFFFFFFF, key));
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
