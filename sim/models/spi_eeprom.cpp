#include "dlnsim/models/spi_eeprom.h"

#include "options.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <stdexcept>

namespace dlnsim {

namespace {
constexpr uint8_t kReadId = 0x9F;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kRead = 0x03;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kChipErase = 0x60;
constexpr uint8_t kChipEraseAlt = 0xC7;
constexpr uint8_t kErased = 0xFF;
constexpr size_t kAddressBytes = 3;
} // namespace

SpiEeprom::SpiEeprom(SpiEepromConfig config)
    : config_(std::move(config)), memory_(config_.size, kErased) {
    if (config_.size == 0)
        throw std::invalid_argument("SPI EEPROM: size must not be 0");
    if (config_.pageSize == 0 || (config_.pageSize & (config_.pageSize - 1)) != 0)
        throw std::invalid_argument("SPI EEPROM: page size must be a power of two");
    programmed_.assign((uint64_t{config_.size} + config_.pageSize - 1) / config_.pageSize, false);
    if (!config_.dumpPath.empty()) {
        // A FIFO nobody reads would hold the simulator's start for ever; it is refused.
        std::string why;
        dump_ = PlatformOpenRegularFile(config_.dumpPath.c_str(), "wb", why);
        if (dump_ == nullptr)
            throw std::runtime_error("SPI EEPROM: cannot write the dump file " + config_.dumpPath +
                                     " (" + why + ")");
        mirror(0, config_.size);
    }
}

SpiEeprom::~SpiEeprom() {
    if (dump_ != nullptr)
        std::fclose(dump_);
}

uint8_t SpiEeprom::status() const {
    return static_cast<uint8_t>((busy() ? kStatusBusy : 0) |
                                (writeEnabled_ ? kStatusWriteEnabled : 0));
}

void SpiEeprom::transfer(std::span<const uint8_t> out, std::span<uint8_t> in, uint64_t) {
    std::fill(in.begin(), in.end(), kErased);
    if (out.empty())
        return;
    const uint8_t command = out[0];
    if (command == kReadId) {
        for (size_t i = 1; i < in.size() && i <= config_.id.size(); ++i)
            in[i] = config_.id[i - 1];
        return;
    }
    if (command == kReadStatus) {
        readStatus(in);
        return;
    }
    if (busy())
        return; // a write in progress: the chip does not listen
    switch (command) {
    case kWriteEnable:
        writeEnabled_ = true;
        break;
    case kWriteDisable:
        writeEnabled_ = false;
        break;
    case kRead:
        read(out, in);
        break;
    case kPageProgram:
        if (writeEnabled_ && out.size() > kAddressBytes + 1)
            program(out);
        break;
    case kChipErase:
    case kChipEraseAlt:
        if (writeEnabled_) {
            std::fill(memory_.begin(), memory_.end(), kErased);
            std::fill(programmed_.begin(), programmed_.end(), false);
            ++erases_;
            mirror(0, config_.size);
            startWrite(config_.eraseBusyReads);
        }
        break;
    default:
        break;
    }
}

void SpiEeprom::readStatus(std::span<uint8_t> in) {
    // The chip repeats its status for as long as the clock runs.
    const uint8_t value = status();
    for (size_t i = 1; i < in.size(); ++i)
        in[i] = value;
    if (busyReadsLeft_ > 0 && --busyReadsLeft_ == 0)
        writeEnabled_ = false; // the write has ended
}

void SpiEeprom::startWrite(uint32_t busyReads) {
    busyReadsLeft_ = busyReads;
    if (busyReads == 0)
        writeEnabled_ = false;
}

uint32_t SpiEeprom::addressOf(std::span<const uint8_t> out) const {
    uint32_t address = 0;
    for (size_t i = 1; i <= kAddressBytes; ++i)
        address = address << 8 | (i < out.size() ? out[i] : 0);
    return address % config_.size;
}

void SpiEeprom::program(std::span<const uint8_t> out) {
    const uint32_t address = addressOf(out);
    const uint32_t pageStart = address & ~(config_.pageSize - 1);
    uint32_t offset = address - pageStart;
    for (size_t i = 1 + kAddressBytes; i < out.size(); ++i) {
        memory_[(pageStart + offset) % config_.size] = out[i];
        offset = (offset + 1) % config_.pageSize; // past the page end it wraps to its start
    }
    programmed_[pageStart / config_.pageSize] = true;
    mirror(pageStart, std::min(config_.pageSize, config_.size - pageStart));
    startWrite(config_.programBusyReads);
}

void SpiEeprom::read(std::span<const uint8_t> out, std::span<uint8_t> in) const {
    uint32_t address = addressOf(out);
    for (size_t i = 1 + kAddressBytes; i < in.size(); ++i) {
        in[i] = memory_[address];
        address = (address + 1) % config_.size;
    }
}

void SpiEeprom::mirror(uint32_t offset, uint32_t length) {
    if (dump_ == nullptr)
        return;
    std::fseek(dump_, static_cast<long>(offset), SEEK_SET);
    std::fwrite(memory_.data() + offset, 1, length, dump_);
    std::fflush(dump_);
}

void SpiEeprom::finish() {
    mirror(0, config_.size);
}

std::string SpiEeprom::decodeTransfer(std::span<const uint8_t> out) const {
    if (out.empty())
        return {};
    char text[64];
    const unsigned address = out.size() > kAddressBytes ? addressOf(out) : 0;
    const int data = static_cast<int>(out.size()) - 1 - static_cast<int>(kAddressBytes);
    switch (out[0]) {
    case kReadId:
        return "read identification";
    case kWriteEnable:
        return "write enable";
    case kWriteDisable:
        return "write disable";
    case kReadStatus:
        return "read status";
    case kChipErase:
    case kChipEraseAlt:
        return "chip erase";
    case kRead:
        std::snprintf(text, sizeof text, "read 0x%06x", address);
        return text;
    case kPageProgram:
        std::snprintf(text, sizeof text, "page program 0x%06x, %d bytes", address,
                      data > 0 ? data : 0);
        return text;
    default:
        std::snprintf(text, sizeof text, "unknown command 0x%02x", out[0]);
        return text;
    }
}

std::shared_ptr<SpiDevice> MakeSpiEeprom(const nlohmann::json &options) {
    CheckKnownOptions(options, {"id", "size", "pageSize", "programBusyReads", "eraseBusyReads",
                                "stuckBusy", "dump"});
    SpiEepromConfig config;
    std::vector<uint8_t> id = BytesOption(options, "id");
    if (!id.empty() && id.size() != config.id.size())
        throw OptionError("id", "needs exactly 3 bytes (manufacturer, type, capacity)");
    std::copy(id.begin(), id.end(), config.id.begin());
    // 24-bit addresses reach 16 MiB.
    config.size = static_cast<uint32_t>(UnsignedOption(options, "size", 1u << 24, config.size));
    if (config.size == 0)
        throw OptionError("size", "must not be 0");
    config.pageSize =
        static_cast<uint32_t>(UnsignedOption(options, "pageSize", 1u << 24, config.pageSize));
    if (config.pageSize == 0 || (config.pageSize & (config.pageSize - 1)) != 0)
        throw OptionError("pageSize", "must be a power of two");
    config.programBusyReads = static_cast<uint32_t>(
        UnsignedOption(options, "programBusyReads", UINT32_MAX, config.programBusyReads));
    config.eraseBusyReads = static_cast<uint32_t>(
        UnsignedOption(options, "eraseBusyReads", UINT32_MAX, config.eraseBusyReads));
    config.stuckBusy = BoolOption(options, "stuckBusy", config.stuckBusy);
    config.dumpPath = StringOption(options, "dump", config.dumpPath);
    try {
        return std::make_shared<SpiEeprom>(config);
    } catch (const std::runtime_error &error) {
        throw OptionError("dump", error.what());
    }
}

nlohmann::json SpiEeprom::snapshot(uint64_t) const {
    nlohmann::json pages = nlohmann::json::array();
    for (uint32_t page = 0; page < programmed_.size(); ++page)
        if (programmed_[page])
            pages.push_back(page);
    return {{"id", config_.id}, {"size", config_.size},          {"pageSize", config_.pageSize},
            {"busy", busy()},   {"writeEnabled", writeEnabled_}, {"programmedPages", pages},
            {"erases", erases_}};
}

} // namespace dlnsim
