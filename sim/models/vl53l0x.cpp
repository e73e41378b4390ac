#include "dlnsim/models/vl53l0x.h"

#include <cstdio>

namespace dlnsim {

Vl53l0x::Vl53l0x(const Vl53l0xIdentity &identity) {
    for (uint8_t i = 0; i < identity.id.size(); ++i)
        setPowerOn(0, static_cast<uint8_t>(kRegIdentification + i), identity.id[i]);
    setPowerOn(1, kRegStopVariable, identity.stopVariable);
}

uint8_t Vl53l0x::reg(uint8_t page, uint8_t index) const {
    auto found = pages_.find(page);
    return found == pages_.end() ? 0 : found->second[index];
}

void Vl53l0x::setReg(uint8_t page, uint8_t index, uint8_t value) {
    pages_[page][index] = value; // a new page starts zero-filled
}

void Vl53l0x::setPowerOn(uint8_t page, uint8_t index, uint8_t value) {
    powerOn_[page][index] = value;
    setReg(page, index, value);
}

void Vl53l0x::onWrite(uint8_t page, uint8_t index, WriteHook hook) {
    writeHooks_[Key(page, index)].push_back(std::move(hook));
}

void Vl53l0x::onRead(uint8_t page, uint8_t index, ReadHook hook) {
    readHooks_[Key(page, index)].push_back(std::move(hook));
}

void Vl53l0x::onReset(ResetHook hook) {
    resetHooks_.push_back(std::move(hook));
}

bool Vl53l0x::write(std::span<const uint8_t> data, uint64_t nowUs) {
    if (data.empty())
        return true;
    uint8_t index = data[0];
    for (size_t i = 1; i < data.size(); ++i)
        writeRegister(index++, data[i], nowUs);
    // Reads continue where the write left off, as the sensor's index auto-increments.
    index_ = index;
    return true;
}

bool Vl53l0x::read(std::span<uint8_t> data, uint64_t nowUs) {
    for (uint8_t &byte : data)
        byte = readRegister(index_++, nowUs);
    return true;
}

std::string Vl53l0x::decodeWrite(std::span<const uint8_t> data) const {
    if (data.empty())
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "reg 0x%02x", data[0]);
    std::string note = text;
    for (size_t i = 1; i < data.size(); ++i) {
        std::snprintf(text, sizeof text, "%s0x%02x", i == 1 ? " = " : " ", data[i]);
        note += text;
    }
    return note;
}

void Vl53l0x::writeRegister(uint8_t index, uint8_t value, uint64_t nowUs) {
    if (index == kRegSoftReset) {
        // 0 holds the sensor in reset; any other value releases it.
        if (value == 0) {
            inReset_ = true;
        } else if (inReset_) {
            leaveReset();
        }
        return;
    }
    if (inReset_)
        return; // a sensor in reset ignores everything but the reset register
    if (index == kRegPageSelect) {
        page_ = value;
        return;
    }
    setReg(page_, index, value);
    auto hooks = writeHooks_.find(Key(page_, index));
    if (hooks != writeHooks_.end()) {
        for (const WriteHook &hook : hooks->second)
            hook(value, nowUs);
    }
}

uint8_t Vl53l0x::readRegister(uint8_t index, uint64_t nowUs) {
    if (inReset_)
        return 0; // identification included: the driver watches 0xC0 drop to 0
    if (index == kRegPageSelect)
        return page_;
    if (index == kRegSoftReset)
        return 1;
    uint8_t value = reg(page_, index);
    auto hooks = readHooks_.find(Key(page_, index));
    if (hooks != readHooks_.end()) {
        for (const ReadHook &hook : hooks->second)
            value = hook(value, nowUs);
    }
    return value;
}

void Vl53l0x::leaveReset() {
    inReset_ = false;
    page_ = 0;
    pages_ = powerOn_;
    for (const ResetHook &hook : resetHooks_)
        hook();
}

} // namespace dlnsim
