#include "recording_file.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <stdexcept>

namespace dlnsim::replay {

using dln::record::CallRecord;
using dln::record::Field;
using dln::record::Slot;
using nlohmann::json;

namespace {

struct LineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

uint64_t Unsigned(const json &value, const char *name) {
    if (!value.is_number_unsigned())
        throw LineError(std::string("\"") + name + "\" is not a whole number of 0 or more");
    return value.get<uint64_t>();
}

std::vector<uint8_t> Bytes(const json &value, const char *name) {
    auto bytes = value.is_string() ? dln::record::ParseHex(value.get<std::string>()) : std::nullopt;
    if (!bytes)
        throw LineError(std::string("\"") + name + "\" is not a string of hex bytes (\"0a ff\")");
    return *bytes;
}

// Fills the fields of the call that the line holds.
void ReadFields(const json &line, CallRecord &record) {
    bool succeeded = Succeeded(record);
    std::set<std::string> known = {"seq",  "timeUs", "durationUs", "thread",
                                   "call", "result", "nullPointer"};
    for (const Field &field : dln::record::FieldsOf(record.request.call)) {
        known.insert(field.name);
        auto it = line.find(field.name);
        if (it == line.end()) {
            if (field.returned && !succeeded)
                continue;
            if (field.slot == Slot::Host)
                throw LineError("\"host\" is missing");
            throw LineError(std::string("\"") + field.name + "\" is missing" +
                            (field.returned ? " although the call succeeded" : ""));
        }
        if (field.returned && !succeeded)
            throw LineError(std::string("\"") + field.name +
                            "\" is given although the call failed");
        switch (field.slot) {
        case Slot::Host:
            if (it->is_null())
                record.nullPointer = true;
            else if (it->is_string())
                record.host = it->get<std::string>();
            else
                throw LineError("\"host\" is neither a string nor null");
            break;
        case Slot::Out:
            record.request.data = Bytes(*it, field.name);
            break;
        case Slot::In:
            record.reply.data = Bytes(*it, field.name);
            break;
        case Slot::Version:
            if (!it->is_array() || it->size() != 5)
                throw LineError("\"version\" is not an array of five numbers");
            for (const json &word : *it) {
                uint64_t value = Unsigned(word, field.name);
                if (value > 0xFFFFFFFF)
                    throw LineError("\"version\" holds a number above 32 bits");
                record.reply.words.push_back(static_cast<uint32_t>(value));
            }
            break;
        default:
            if (!dln::record::SetNumberAt(record, field.slot, Unsigned(*it, field.name)))
                throw LineError(std::string("\"") + field.name + "\" is out of range");
        }
    }
    for (auto &[key, value] : line.items())
        if (known.count(key) == 0)
            throw LineError("unknown key \"" + key + "\"");
    bool hasOut = false;
    for (const Field &field : dln::record::FieldsOf(record.request.call))
        hasOut = hasOut || field.slot == Slot::Out;
    if (hasOut && !record.nullPointer && record.request.data.size() != record.request.length)
        throw LineError("the bytes sent are not as many as the length says");
    if (succeeded && record.request.call == dln::wire::Call::I2cRead &&
        record.reply.data.size() != record.request.length)
        throw LineError("the bytes read are not as many as the length says");
    if (succeeded && record.request.call == dln::wire::Call::SpiReadWrite &&
        record.reply.data.size() != record.request.length)
        throw LineError("the bytes received are not as many as were sent");
}

CallRecord ReadCall(const json &line) {
    CallRecord record;
    auto call = line.find("call");
    if (call == line.end() || !call->is_string())
        throw LineError("\"call\" is missing");
    auto named = dln::wire::CallByName(call->get<std::string>());
    if (!named)
        throw LineError("unknown call \"" + call->get<std::string>() + "\"");
    record.request.call = *named;
    record.reply.call = *named;
    auto number = [&](const char *key, bool required) -> uint64_t {
        auto it = line.find(key);
        if (it == line.end()) {
            if (required)
                throw LineError(std::string("\"") + key + "\" is missing");
            return 0;
        }
        return Unsigned(*it, key);
    };
    record.seq = number("seq", true);
    record.timeUs = number("timeUs", false);
    record.durationUs = number("durationUs", false);
    record.thread = static_cast<uint32_t>(number("thread", false));
    uint64_t result = number("result", true);
    if (result > 0xFFFF)
        throw LineError("\"result\" is above 0xFFFF");
    record.reply.result = static_cast<uint16_t>(result);
    auto null = line.find("nullPointer");
    record.nullPointer = null != line.end() && null->is_boolean() && null->get<bool>();
    ReadFields(line, record);
    return record;
}

} // namespace

std::vector<CallRecord> ReadRecording(std::istream &in, const std::string &name) {
    std::vector<CallRecord> calls;
    std::string text;
    size_t lineNumber = 0;
    bool header = false;
    while (std::getline(in, text)) {
        ++lineNumber;
        if (text.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        auto where = [&] { return name + ":" + std::to_string(lineNumber) + ": "; };
        json line = json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object())
            throw std::runtime_error(where() + "not a JSON object");
        if (line.contains("recording")) {
            if (line["recording"] != "dln calls" || line.value("version", 0) != 1)
                throw std::runtime_error(where() + "not a recording of version 1 of dln calls");
            header = true;
            continue;
        }
        if (!header)
            throw std::runtime_error(where() + "no header line before the first call");
        try {
            calls.push_back(ReadCall(line));
        } catch (const LineError &e) {
            throw std::runtime_error(where() +
                                     (line.contains("call") && line["call"].is_string()
                                          ? line["call"].get<std::string>() + ": "
                                          : std::string()) +
                                     e.what());
        }
    }
    if (!header)
        throw std::runtime_error(name + ": empty, not a recording");
    return calls;
}

std::vector<CallRecord> ReadRecordingFile(const std::string &path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error(path + ": cannot open");
    return ReadRecording(in, path);
}

} // namespace dlnsim::replay
