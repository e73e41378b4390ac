#include "call_record.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>

namespace dln::record {

namespace {

using wire::Call;

constexpr Field kHandle{"handle", Slot::Handle, false};
constexpr Field kPort{"port", Slot::Port, false};

// One row per call: its arguments in C order, then what it hands back. The replay and the
// seeder read the lines through this same table.
struct CallFields {
    Call call;
    std::array<Field, 8> fields;
    size_t count;
};

#define FIELDS(call, ...)                                                                          \
    CallFields {                                                                                   \
        call, {__VA_ARGS__}, std::initializer_list<Field>{__VA_ARGS__}.size()                      \
    }

const std::array<CallFields, wire::kLastCall> kTable = {
    FIELDS(Call::Connect, Field{"host", Slot::Host, false}, Field{"port", Slot::TcpPort, false}),
    FIELDS(Call::Disconnect, Field{"host", Slot::Host, false}, Field{"port", Slot::TcpPort, false}),
    FIELDS(Call::OpenDevice, Field{"deviceNumber", Slot::Value, false},
           Field{"handle", Slot::Word, true}),
    FIELDS(Call::CloseHandle, kHandle),
    FIELDS(Call::GetVersion, kHandle, Field{"version", Slot::Version, true}),
    FIELDS(Call::I2cGetPortCount, kHandle, Field{"count", Slot::Word, true}),
    FIELDS(Call::I2cGetFrequency, kHandle, kPort, Field{"frequency", Slot::Word, true}),
    FIELDS(Call::I2cEnable, kHandle, kPort, Field{"conflict", Slot::Word, true}),
    FIELDS(Call::I2cScanDevices, kHandle, kPort, Field{"addressList", Slot::In, true}),
    FIELDS(Call::I2cWrite, kHandle, kPort, Field{"slaveAddress", Slot::Address, false},
           Field{"memoryAddressLength", Slot::MemoryAddressLength, false},
           Field{"memoryAddress", Slot::MemoryAddress, false}, Field{"length", Slot::Length, false},
           Field{"buffer", Slot::Out, false}),
    FIELDS(Call::I2cRead, kHandle, kPort, Field{"slaveAddress", Slot::Address, false},
           Field{"memoryAddressLength", Slot::MemoryAddressLength, false},
           Field{"memoryAddress", Slot::MemoryAddress, false}, Field{"length", Slot::Length, false},
           Field{"buffer", Slot::In, true}),
    FIELDS(Call::SpiGetPortCount, kHandle, Field{"count", Slot::Word, true}),
    FIELDS(Call::SpiGetFrequency, kHandle, kPort, Field{"frequency", Slot::Word, true}),
    FIELDS(Call::SpiEnable, kHandle, kPort, Field{"conflict", Slot::Word, true}),
    FIELDS(Call::SpiSetMode, kHandle, kPort, Field{"mode", Slot::Address, false}),
    FIELDS(Call::SpiGetMode, kHandle, kPort, Field{"mode", Slot::Word, true}),
    FIELDS(Call::SpiSetFrequency, kHandle, kPort, Field{"frequency", Slot::Value, false},
           Field{"actualFrequency", Slot::Word, true}),
    FIELDS(Call::SpiSetSS, kHandle, kPort, Field{"ss", Slot::Address, false}),
    FIELDS(Call::SpiReadWrite, kHandle, kPort, Field{"size", Slot::Length, false},
           Field{"writeBuffer", Slot::Out, false}, Field{"readBuffer", Slot::In, true}),
};

#undef FIELDS

void AppendNumber(uint64_t value, std::string &line) {
    char text[24];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    line.append(text, end);
}

void AppendKey(const char *name, std::string &line) {
    line += ",\"";
    line += name;
    line += "\":";
}

void AppendString(std::string_view text, std::string &line) {
    line += '"';
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            line += '\\';
            line += c;
        } else if (u < 0x20) {
            static const char digits[] = "0123456789abcdef";
            line += "\\u00";
            line += digits[u >> 4];
            line += digits[u & 15];
        } else {
            line += c;
        }
    }
    line += '"';
}

uint64_t SlotMaximum(Slot slot) {
    switch (slot) {
    case Slot::TcpPort:
    case Slot::Handle:
    case Slot::Length:
        return 0xFFFF;
    case Slot::Port:
    case Slot::Address:
    case Slot::MemoryAddressLength:
        return 0xFF;
    default:
        return 0xFFFFFFFF;
    }
}

} // namespace

std::span<const Field> FieldsOf(Call call) {
    auto index = static_cast<size_t>(call) - wire::kFirstCall;
    if (index >= kTable.size())
        return {};
    return std::span(kTable[index].fields.data(), kTable[index].count);
}

uint64_t NumberAt(const CallRecord &record, Slot slot) {
    const wire::Request &r = record.request;
    switch (slot) {
    case Slot::TcpPort:
        return record.tcpPort;
    case Slot::Handle:
        return r.handle;
    case Slot::Port:
        return r.port;
    case Slot::Address:
        return r.address;
    case Slot::MemoryAddressLength:
        return r.memoryAddressLength;
    case Slot::MemoryAddress:
        return r.memoryAddress;
    case Slot::Value:
        return r.value;
    case Slot::Length:
        return r.length;
    case Slot::Word:
        return record.reply.words.empty() ? 0 : record.reply.words[0];
    default:
        return 0;
    }
}

bool SetNumberAt(CallRecord &record, Slot slot, uint64_t value) {
    if (value > SlotMaximum(slot))
        return false;
    wire::Request &r = record.request;
    switch (slot) {
    case Slot::TcpPort:
        record.tcpPort = static_cast<uint16_t>(value);
        break;
    case Slot::Handle:
        r.handle = static_cast<uint16_t>(value);
        break;
    case Slot::Port:
        r.port = static_cast<uint8_t>(value);
        break;
    case Slot::Address:
        r.address = static_cast<uint8_t>(value);
        break;
    case Slot::MemoryAddressLength:
        r.memoryAddressLength = static_cast<uint8_t>(value);
        break;
    case Slot::MemoryAddress:
        r.memoryAddress = static_cast<uint32_t>(value);
        break;
    case Slot::Value:
        r.value = static_cast<uint32_t>(value);
        break;
    case Slot::Length:
        r.length = static_cast<uint16_t>(value);
        break;
    case Slot::Word:
        record.reply.words.assign(1, static_cast<uint32_t>(value));
        break;
    default:
        return false;
    }
    return true;
}

void AppendHex(std::span<const uint8_t> bytes, std::string &text) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
}

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text) {
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < text.size()) {
        if (!bytes.empty()) {
            if (text[i] != ' ')
                return std::nullopt;
            ++i;
        }
        unsigned value = 0;
        auto [end, error] =
            std::from_chars(text.data() + i, text.data() + std::min(i + 2, text.size()), value, 16);
        if (error != std::errc() || end != text.data() + i + 2)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(value));
        i += 2;
    }
    return bytes;
}

void AppendLine(const CallRecord &record, std::string &line) {
    line += "{\"seq\":";
    AppendNumber(record.seq, line);
    AppendKey("timeUs", line);
    AppendNumber(record.timeUs, line);
    AppendKey("durationUs", line);
    AppendNumber(record.durationUs, line);
    AppendKey("thread", line);
    AppendNumber(record.thread, line);
    AppendKey("call", line);
    AppendString(wire::CallName(record.request.call), line);
    bool succeeded = Succeeded(record);
    for (const Field &field : FieldsOf(record.request.call)) {
        if (field.returned)
            continue;
        AppendKey(field.name, line);
        if (field.slot == Slot::Host) {
            if (record.nullPointer && record.host.empty())
                line += "null";
            else
                AppendString(record.host, line);
        } else if (field.slot == Slot::Out) {
            line += '"';
            AppendHex(record.request.data, line);
            line += '"';
        } else {
            AppendNumber(NumberAt(record, field.slot), line);
        }
    }
    if (record.nullPointer)
        line += ",\"nullPointer\":true";
    AppendKey("result", line);
    AppendNumber(record.reply.result, line);
    for (const Field &field : FieldsOf(record.request.call)) {
        if (!field.returned || !succeeded)
            continue;
        AppendKey(field.name, line);
        if (field.slot == Slot::In) {
            line += '"';
            AppendHex(record.reply.data, line);
            line += '"';
        } else if (field.slot == Slot::Version) {
            line += '[';
            for (size_t i = 0; i < record.reply.words.size(); ++i) {
                if (i > 0)
                    line += ',';
                AppendNumber(record.reply.words[i], line);
            }
            line += ']';
        } else {
            AppendNumber(NumberAt(record, field.slot), line);
        }
    }
    line += "}\n";
}

std::string HeaderLine(std::string_view target) {
    std::string line = "{\"recording\":\"dln calls\",\"version\":";
    AppendNumber(kFormatVersion, line);
    AppendKey("target", line);
    AppendString(target, line);
    line += "}\n";
    return line;
}

} // namespace dln::record
