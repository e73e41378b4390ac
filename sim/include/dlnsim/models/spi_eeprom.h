// A serial EEPROM on one slave-select line, with 24-bit addresses. Commands (first byte of a
// transfer): 0x9F identification, 0x06 write enable, 0x04 write disable, 0x05 status,
// 0x03 read, 0x02 page program, 0x60 (or 0xC7) chip erase. While a byte of the command goes
// out the chip answers 0xFF.
//
// Status: bit 0 busy, bit 1 the write enable latch. Erase and page program need the latch and
// leave the chip busy for a set number of status reads; the latch clears when the write ends.
// A busy chip ignores every command but the status read and the identification, as real
// chips do.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace dlnsim {

struct SpiEepromConfig {
    std::array<uint8_t, 3> id = {0x20, 0x20, 0x10}; // manufacturer, type, capacity code
    uint32_t size = 65536;                          // bytes; addresses wrap at the size
    uint32_t pageSize = 256;                        // a program wraps within its page
    uint32_t programBusyReads = 1;                  // status reads that see a program busy
    uint32_t eraseBusyReads = 0;                    // the same after a chip erase
    bool stuckBusy = false;                         // busy from power-on, for ever
    // Not empty: the memory is mirrored to this file as raw bytes (byte i at offset i),
    // rewritten at once, after every erase and page program, and at finish().
    std::string dumpPath;
};

class SpiEeprom : public SpiDevice, public ObservableModel {
  public:
    static constexpr uint8_t kStatusBusy = 0x01;
    static constexpr uint8_t kStatusWriteEnabled = 0x02;

    // Throws std::invalid_argument for a zero size or a page size that is not a power of two.
    explicit SpiEeprom(SpiEepromConfig config = {});
    ~SpiEeprom() override;
    SpiEeprom(const SpiEeprom &) = delete;
    SpiEeprom &operator=(const SpiEeprom &) = delete;

    void transfer(std::span<const uint8_t> out, std::span<uint8_t> in, uint64_t nowUs) override;
    std::string decodeTransfer(std::span<const uint8_t> out) const override;
    std::string modelName() const override { return "eeprom"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
    void finish() override;

    const std::vector<uint8_t> &memory() const { return memory_; }
    // The status register as the next status read would report it.
    uint8_t status() const;

  private:
    bool busy() const { return config_.stuckBusy || busyReadsLeft_ > 0; }
    void startWrite(uint32_t busyReads);
    void readStatus(std::span<uint8_t> in);
    void program(std::span<const uint8_t> out);
    void read(std::span<const uint8_t> out, std::span<uint8_t> in) const;
    uint32_t addressOf(std::span<const uint8_t> out) const;
    void mirror(uint32_t offset, uint32_t length);

    SpiEepromConfig config_;
    std::vector<uint8_t> memory_;
    std::vector<bool> programmed_; // pages programmed since the last chip erase
    uint32_t erases_ = 0;
    bool writeEnabled_ = false;
    uint32_t busyReadsLeft_ = 0;
    std::FILE *dump_ = nullptr;
};

// The scenario's "eeprom" model. Options, all optional: "id" (3 bytes), "size", "pageSize",
// "programBusyReads", "eraseBusyReads", "stuckBusy", "dump" (the path of the memory mirror).
std::shared_ptr<SpiDevice> MakeSpiEeprom(const nlohmann::json &options);

} // namespace dlnsim
