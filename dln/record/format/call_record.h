// One adapter call as a recording holds it: one JSON object a line. The recording adapter
// library writes these lines; dln-sim's replay and the scenario seeder read them.
//
// A call is kept in the terms of the wire protocol (a Request and its Reply), which is how
// our dln would carry it to a server, so a replay compares what a server sees. The JSON
// names are those of the C arguments (see the table in call_record.cpp).
#pragma once

#include "wire.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dln::record {

constexpr int kFormatVersion = 1;

struct CallRecord {
    uint64_t seq = 0;        // 1 for the first call of the recording
    uint64_t timeUs = 0;     // when the call began, since the recording began
    uint64_t durationUs = 0; // how long the call took
    uint32_t thread = 0;     // 1 for the first thread that made a call, 2 for the next...
    wire::Request request;   // request.call names the C function
    // reply.result is what the call returned; words and data hold what it handed back,
    // only when it succeeded (a failed call writes nothing to the caller's buffers).
    wire::Reply reply;
    std::string host;     // DlnConnect and DlnDisconnect only
    uint16_t tcpPort = 0; // DlnConnect and DlnDisconnect only
    bool nullPointer =
        false; // the caller passed a null pointer (or null host) for a needed argument
};

// Whether the call succeeded: the adapter's results below 0x40 are successes.
inline bool Succeeded(const CallRecord &call) {
    return call.reply.result < 0x40;
}

// Where a JSON field of a call lives in the record.
enum class Slot : uint8_t {
    Host,
    TcpPort,
    Handle,
    Port,
    Address,
    MemoryAddressLength,
    MemoryAddress,
    Value,
    Length,
    Out,     // request.data: the bytes sent
    Word,    // reply.words[0]
    Version, // reply.words[0..4]: the version record, as an array
    In,      // reply.data: the bytes received
};

struct Field {
    const char *name; // the C argument's name
    Slot slot;
    bool returned; // written back by the call: present only when it succeeded
};

// The fields of a call, in the order they are written.
std::span<const Field> FieldsOf(wire::Call call);

// The JSON line of a call, newline included, appended to line.
void AppendLine(const CallRecord &record, std::string &line);
// The first line of a recording: what it is, its format version and its target library.
std::string HeaderLine(std::string_view target);

// Bytes as two-digit hex numbers separated by spaces ("00 1f a0"); "" for none.
void AppendHex(std::span<const uint8_t> bytes, std::string &text);
// The bytes of such a text (either case); nullopt when it is not one.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text);

// A numeric field's value, and setting it; false when value is out of the slot's range.
uint64_t NumberAt(const CallRecord &record, Slot slot);
bool SetNumberAt(CallRecord &record, Slot slot, uint64_t value);

} // namespace dln::record
