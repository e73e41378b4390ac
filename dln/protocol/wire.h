// The wire protocol between libdln and a DLN server such as dln-sim.
//
// Every message is one frame: a 4-byte little-endian body length, then the body. A request
// body is a fixed header (version, call, sequence number, handle, port, address, memory
// address length and value, a 32-bit value, a 16-bit length) followed by the bytes to send.
// A reply body is (version, call, sequence number, result, word count, words) followed by
// the bytes received. All integers are little-endian. One request gets exactly one reply, in
// order, carrying the request's sequence number, so that a client can tell a stray reply
// (a duplicate, or one that came too late) from the answer it waits for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace dln::wire {

// 2: requests and replies carry a sequence number.
constexpr uint8_t kVersion = 2;
// Large enough for the biggest transfer the C interface can express (a 16-bit length).
constexpr uint32_t kMaxBody = 65535 + 64;
constexpr size_t kLengthPrefix = 4;
constexpr size_t kRequestHeader = 21;
constexpr size_t kReplyHeader = 9;
constexpr uint8_t kMaxWords = 8;

// One code per C function; the names are those of the C interface.
enum class Call : uint8_t {
    Connect = 1,
    Disconnect,
    OpenDevice,
    CloseHandle,
    GetVersion,
    I2cGetPortCount,
    I2cGetFrequency,
    I2cEnable,
    I2cScanDevices,
    I2cWrite,
    I2cRead,
    SpiGetPortCount,
    SpiGetFrequency,
    SpiEnable,
    SpiSetMode,
    SpiGetMode,
    SpiSetFrequency,
    SpiSetSS,
    SpiReadWrite,
};
constexpr uint8_t kFirstCall = 1;
constexpr uint8_t kLastCall = static_cast<uint8_t>(Call::SpiReadWrite);

// The C function name of a call ("DlnI2cMasterWrite"); "?" for a value outside the enum.
const char *CallName(Call call);
// The call named name, if any.
std::optional<Call> CallByName(std::string_view name);

struct Request {
    Call call = Call::Connect;
    uint32_t sequence = 0; // set by the client's transport; echoed in the reply
    uint16_t handle = 0;
    uint8_t port = 0;
    uint8_t address = 0; // I2C 7-bit address, SPI slave-select mask, or SPI mode
    uint8_t memoryAddressLength = 0;
    uint32_t memoryAddress = 0;
    uint32_t value = 0;  // device number or SPI frequency
    uint16_t length = 0; // byte count of a read
    std::vector<uint8_t> data;
};

struct Reply {
    Call call = Call::Connect;
    uint32_t sequence = 0; // the sequence number of the request answered
    uint16_t result = 0;
    std::vector<uint32_t> words; // at most kMaxWords
    std::vector<uint8_t> data;
};

// The whole frame, length prefix included. Returns an empty vector when the message does
// not fit in a frame (too much data or too many words).
std::vector<uint8_t> EncodeRequest(const Request &request);
std::vector<uint8_t> EncodeReply(const Reply &reply);

// The body length a frame's 4-byte prefix announces, unchecked (for messages about it).
uint32_t AnnouncedLength(std::span<const uint8_t, kLengthPrefix> prefix);
// The body length from a frame's 4-byte prefix; nullopt when it is out of range (shorter
// than the smallest body or longer than kMaxBody), so the reader never allocates for it.
std::optional<uint32_t> BodyLength(std::span<const uint8_t, kLengthPrefix> prefix,
                                   size_t minimumBody);

// Decode a body (without the prefix). Any bytes are safe: false on anything malformed.
bool DecodeRequest(std::span<const uint8_t> body, Request &request);
bool DecodeReply(std::span<const uint8_t> body, Reply &reply);

} // namespace dln::wire
