#include "adapter/eeprom_memory.h"

#include "adapter/eeprom_commands.h"
#include "adapter/result_codes.h"
#include "platform/wait.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint8_t kEepromRead = 0x03;
constexpr uint8_t kStatusWriteEnabled = 0x02;
constexpr uint32_t kChunk = 128; // bytes per page program, never crossing a 256-byte page
constexpr uint32_t kReadChunk = 4096;
// Status reads, 1 ms apart, before a write counts as stuck: a page program takes a few ms, a
// chip erase of this size well under 20 s.
constexpr int kProgramPolls = 200;
constexpr int kErasePolls = 20000;

BusResult Transfer(HDLN handle, const uint8_t *out, uint8_t *in, uint32_t count) {
    return SpiTransfer(handle, out, in, static_cast<uint16_t>(count));
}

BusResult ReadStatus(HDLN handle, uint8_t *status) {
    const uint8_t command[2] = {kEepromReadStatus, 0x00};
    uint8_t reply[2] = {};
    const BusResult result = Transfer(handle, command, reply, 2);
    *status = reply[1];
    return result;
}

// Sets the write enable latch and checks that it took.
BusResult EnableWrite(HDLN handle) {
    uint8_t reply[1] = {};
    BusResult result = Transfer(handle, &kEepromWriteEnable, reply, 1);
    if (!result.ok())
        return result;
    uint8_t status = 0;
    result = ReadStatus(handle, &status);
    if (!result.ok())
        return result;
    if ((status & kEepromStatusBusy) != 0)
        return BusResult{kDeviceBusy, "EEPROM busy before a write"};
    if ((status & kStatusWriteEnabled) == 0)
        return BusResult{kWrongDevice, "EEPROM write enable latch not set"};
    return BusResult{};
}

// Reads the status until the write in progress ends.
BusResult WaitForWrite(HDLN handle, int polls, const char *what) {
    for (int poll = 0; poll < polls; ++poll) {
        if (poll > 0)
            PlatformSleepMs(1);
        uint8_t status = 0;
        const BusResult result = ReadStatus(handle, &status);
        if (!result.ok())
            return result;
        if ((status & kEepromStatusBusy) == 0)
            return BusResult{};
    }
    return BusResult{kDeviceBusy, what};
}

void PutAddress(uint8_t *command, uint32_t address) {
    command[1] = static_cast<uint8_t>(address >> 16);
    command[2] = static_cast<uint8_t>(address >> 8);
    command[3] = static_cast<uint8_t>(address);
}

} // namespace

BusResult EepromIdentify(HDLN handle, uint8_t *id) {
    const uint8_t command[1 + kEepromIdLength] = {kEepromReadId};
    uint8_t reply[1 + kEepromIdLength] = {};
    const BusResult result = Transfer(handle, command, reply, sizeof command);
    if (result.ok())
        std::copy(reply + 1, reply + 1 + kEepromIdLength, id);
    return result;
}

BusResult EepromEraseChip(HDLN handle) {
    BusResult result = EnableWrite(handle);
    if (!result.ok())
        return result;
    uint8_t reply[1] = {};
    result = Transfer(handle, &kEepromChipErase, reply, 1);
    if (!result.ok())
        return result;
    return WaitForWrite(handle, kErasePolls, "EEPROM still busy erasing");
}

BusResult EepromProgramRange(HDLN handle, uint32_t offset, const uint8_t *bytes, uint32_t length) {
    std::vector<uint8_t> command(4 + kChunk), reply(4 + kChunk);
    for (uint32_t done = 0; done < length;) {
        const uint32_t address = offset + done;
        const uint32_t room = kChunk - address % kChunk;
        const uint32_t count = std::min(room, length - done);
        BusResult result = EnableWrite(handle);
        if (!result.ok())
            return result;
        command[0] = kEepromPageProgram;
        PutAddress(command.data(), address);
        std::copy(bytes + done, bytes + done + count, command.begin() + 4);
        result = Transfer(handle, command.data(), reply.data(), 4 + count);
        if (!result.ok())
            return result;
        result = WaitForWrite(handle, kProgramPolls, "EEPROM still busy programming");
        if (!result.ok())
            return result;
        done += count;
    }
    return BusResult{};
}

BusResult EepromReadRange(HDLN handle, uint32_t offset, uint8_t *bytes, uint32_t length) {
    std::vector<uint8_t> command(4 + kReadChunk), reply(4 + kReadChunk);
    for (uint32_t done = 0; done < length;) {
        const uint32_t count = std::min(kReadChunk, length - done);
        std::fill(command.begin(), command.end(), 0);
        command[0] = kEepromRead;
        PutAddress(command.data(), offset + done);
        const BusResult result = Transfer(handle, command.data(), reply.data(), 4 + count);
        if (!result.ok())
            return result;
        std::copy(reply.begin() + 4, reply.begin() + 4 + count, bytes + done);
        done += count;
    }
    return BusResult{};
}
