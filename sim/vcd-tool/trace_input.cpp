#include "trace_input.h"

#include <charconv>
#include <string>

namespace dlnsim::vcd {

namespace {

using dln::record::Slot;
using dln::wire::Call;

bool Number(std::string_view text, int base, uint64_t &value) {
    if (base == 16 && text.substr(0, 2) == "0x")
        text.remove_prefix(2);
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The number in front of suffix in note ("actual 1000 Hz" with " Hz" after "actual "); -1 if none.
int64_t NumberBefore(std::string_view note, std::string_view prefix, std::string_view suffix) {
    size_t from = note.find(prefix);
    if (from == std::string_view::npos)
        return -1;
    from += prefix.size();
    size_t to = suffix.empty() ? note.size() : note.find(suffix, from);
    uint64_t value = 0;
    if (to == std::string_view::npos || !Number(note.substr(from, to - from), 10, value))
        return -1;
    return static_cast<int64_t>(value);
}

int64_t SettingOf(const std::string &call, std::string_view note) {
    if (call == "DlnSpiMasterSetMode" || call == "DlnSpiMasterGetMode")
        return NumberBefore(note, "mode ", "");
    if (call == "DlnSpiMasterSetFrequency")
        return NumberBefore(note, "actual ", " Hz");
    if (call == "DlnSpiMasterGetFrequency" || call == "DlnI2cMasterGetFrequency")
        return NumberBefore(note, "", " Hz");
    return -1;
}

bool Bytes(std::string_view text, std::vector<uint8_t> &bytes) {
    auto parsed = dln::record::ParseHex(text);
    if (!parsed)
        return false;
    bytes = std::move(*parsed);
    return true;
}

} // namespace

std::optional<TraceEntry> ParseTraceLine(std::string_view line) {
    TraceEntry entry;
    std::string_view note;
    if (size_t semicolon = line.find(" ; "); semicolon != std::string_view::npos) {
        note = line.substr(semicolon + 3);
        line = line.substr(0, semicolon);
    }
    entry.note = note;
    // "S.UUUUUU Call", then key=value pieces; bytes in brackets hold spaces.
    size_t dot = line.find('.');
    size_t space = line.find(' ');
    uint64_t seconds = 0, micros = 0;
    if (dot == std::string_view::npos || space == std::string_view::npos || dot > space ||
        !Number(line.substr(0, dot), 10, seconds) ||
        !Number(line.substr(dot + 1, space - dot - 1), 10, micros))
        return std::nullopt;
    entry.timeUs = seconds * 1000000 + micros;
    line.remove_prefix(space + 1);
    space = line.find(' ');
    entry.call = line.substr(0, space);
    bool result = false;
    while (space != std::string_view::npos) {
        line.remove_prefix(space + 1);
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        std::string_view key = line.substr(0, equals);
        std::string_view rest = line.substr(equals + 1);
        uint64_t value = 0;
        if (key == "out" || key == "in") {
            size_t close = rest.find(']');
            if (rest.empty() || rest[0] != '[' || close == std::string_view::npos ||
                !Bytes(rest.substr(1, close - 1), key == "out" ? entry.out : entry.in))
                return std::nullopt;
            space = rest.find(' ', close);
            line = rest;
            continue;
        }
        space = rest.find(' ');
        line = rest;
        if (!Number(rest.substr(0, space), key == "port" ? 10 : 16, value))
            return std::nullopt;
        if (key == "port") {
            entry.port = static_cast<int>(value);
        } else if (key == "addr" || key == "ss") {
            entry.address = static_cast<int>(value);
        } else if (key == "result") {
            entry.result = static_cast<uint16_t>(value);
            result = true;
            break; // a result's name follows in parentheses
        } else {
            return std::nullopt;
        }
    }
    if (!result || entry.call.empty())
        return std::nullopt;
    if (entry.result < 0x40)
        entry.setting = SettingOf(entry.call, note);
    return entry;
}

TraceEntry FromRecordedCall(const dln::record::CallRecord &call) {
    const dln::wire::Request &request = call.request;
    TraceEntry entry;
    entry.timeUs = call.timeUs;
    entry.call = dln::wire::CallName(request.call);
    entry.result = call.reply.result;
    for (const dln::record::Field &field : dln::record::FieldsOf(request.call))
        if (field.slot == Slot::Port)
            entry.port = request.port;
    if (call.nullPointer) {
        entry.note = "null pointer";
        return entry;
    }
    bool ok = dln::record::Succeeded(call);
    uint32_t word = call.reply.words.empty() ? 0 : call.reply.words[0];
    switch (request.call) {
    case Call::I2cWrite:
    case Call::I2cRead:
        entry.address = request.address;
        for (int i = request.memoryAddressLength - 1; i >= 0 && i < 4; --i)
            entry.out.push_back(static_cast<uint8_t>(request.memoryAddress >> (8 * i)));
        entry.out.insert(entry.out.end(), request.data.begin(), request.data.end());
        break;
    case Call::SpiSetSS:
        entry.address = request.address;
        break;
    case Call::SpiSetMode:
        entry.setting = ok ? request.address : -1;
        break;
    case Call::SpiGetMode:
    case Call::SpiSetFrequency:
    case Call::SpiGetFrequency:
    case Call::I2cGetFrequency:
        entry.setting = ok ? static_cast<int64_t>(word) : -1;
        break;
    case Call::SpiReadWrite:
        entry.out = request.data;
        break;
    default:
        break;
    }
    if (ok)
        entry.in = call.reply.data;
    return entry;
}

} // namespace dlnsim::vcd
