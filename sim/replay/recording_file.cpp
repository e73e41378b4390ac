#include "recording_file.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
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
        default: {
            uint64_t value = Unsigned(*it, field.name);
            // The handle an open hands back is kept in a 32-bit word, but handles are 16 bits.
            if (record.request.call == dln::wire::Call::OpenDevice && field.slot == Slot::Word &&
                value > 0xFFFF)
                throw LineError(std::string("\"") + field.name +
                                "\" is above 65535 (handles are 16 bits)");
            if (!dln::record::SetNumberAt(record, field.slot, value))
                throw LineError(std::string("\"") + field.name + "\" is out of range");
        }
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

namespace {

// The JSON object of one line; a key given twice is refused (the parser would keep the last).
json ParseLine(const std::string &text) {
    std::set<std::string> keys;
    auto callback = [&keys](int depth, json::parse_event_t event, json &parsed) {
        if (event == json::parse_event_t::key && depth == 1 &&
            !keys.insert(parsed.get<std::string>()).second)
            throw LineError("\"" + parsed.get<std::string>() + "\" is given twice");
        return true;
    };
    return json::parse(text, callback, false);
}

std::string TooLarge() {
    return "larger than " + std::to_string(kMaxRecordingBytes >> 20) +
           " MiB; a recording this long is refused (record a shorter run)";
}

// The lines of a stream, each of at most kMaxLineBytes and all of them kMaxRecordingBytes,
// read a block at a time.
class LineReader {
  public:
    explicit LineReader(std::istream &in) : buffer_(*in.rdbuf()) {}
    // The next line into text; false at the end. *ended: it had its newline.
    bool next(std::string &text, bool *ended) {
        text.clear();
        *ended = false;
        for (;;) {
            if (at_ == block_.size() && !fill())
                return !text.empty();
            const char *start = block_.data() + at_;
            size_t left = block_.size() - at_;
            auto *newline = static_cast<const char *>(std::memchr(start, '\n', left));
            size_t taken = newline != nullptr ? static_cast<size_t>(newline - start) : left;
            if (text.size() + taken > kMaxLineBytes)
                throw LineError("a line longer than " + std::to_string(kMaxLineBytes >> 20) +
                                " MiB; not a recording");
            text.append(start, taken);
            at_ += taken;
            if (newline != nullptr) {
                ++at_;
                *ended = true;
                return true;
            }
        }
    }

  private:
    bool fill() {
        block_.resize(64 * 1024);
        auto got = buffer_.sgetn(block_.data(), static_cast<std::streamsize>(block_.size()));
        block_.resize(got > 0 ? static_cast<size_t>(got) : 0);
        at_ = 0;
        total_ += block_.size();
        if (total_ > kMaxRecordingBytes)
            throw LineError(TooLarge());
        return !block_.empty();
    }

    std::streambuf &buffer_;
    std::string block_;
    size_t at_ = 0;
    size_t total_ = 0;
};

// The order and the handles of the calls read so far, for what no reader should take silently.
class CallChecks {
  public:
    void check(const CallRecord &record, size_t line) {
        if (record.seq <= lastSeq_)
            throw LineError("\"seq\" " + std::to_string(record.seq) + " after " +
                            std::to_string(lastSeq_) +
                            (record.seq == lastSeq_ ? ": given twice" : ": out of order"));
        lastSeq_ = record.seq;
        using dln::wire::Call;
        Call call = record.request.call;
        if (call == Call::OpenDevice && Succeeded(record) && !record.reply.words.empty())
            opened_.insert(static_cast<uint16_t>(record.reply.words[0]));
        bool onHandle = false;
        for (const Field &field : dln::record::FieldsOf(call))
            onHandle = onHandle || (field.slot == Slot::Handle && !field.returned);
        if (onHandle && !record.nullPointer && opened_.count(record.request.handle) == 0) {
            unopened_.emplace(record.request.handle, 0).first->second += 1;
            if (firstUnopenedLine_ == 0)
                firstUnopenedLine_ = line;
        }
    }
    // Calls on handles no open of the recording returned: a server never sees them.
    std::string unopenedWarning(const std::string &name) const {
        if (unopened_.empty())
            return {};
        uint64_t calls = 0;
        std::string handles;
        for (auto &[handle, count] : unopened_) {
            calls += count;
            if (handles.size() < 40)
                handles += (handles.empty() ? "" : ", ") + std::to_string(handle);
        }
        return name + ":" + std::to_string(firstUnopenedLine_) + ": " + std::to_string(calls) +
               (calls == 1 ? " call" : " calls") + " on handles (" + handles +
               ") that no DlnOpenDevice of the recording returned; a server never " + "sees them";
    }

  private:
    uint64_t lastSeq_ = 0;
    size_t firstUnopenedLine_ = 0;
    std::set<uint16_t> opened_;
    std::map<uint16_t, uint64_t> unopened_;
};

} // namespace

std::vector<CallRecord> ReadRecording(std::istream &in, const std::string &name,
                                      const ReadOptions &options) {
    std::vector<CallRecord> calls;
    std::string text;
    size_t lineNumber = 0;
    LineReader reader(in);
    bool header = false, ended = false;
    CallChecks checks;
    auto where = [&] { return name + ":" + std::to_string(lineNumber) + ": "; };
    for (;;) {
        try {
            if (!reader.next(text, &ended))
                break;
        } catch (const LineError &e) {
            throw std::runtime_error(name + ":" + std::to_string(lineNumber + 1) + ": " + e.what());
        }
        ++lineNumber;
        if (options.cancelled && lineNumber % 4096 == 0 && options.cancelled())
            throw ReadCancelled(where() + "reading stopped");
        if (text.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        std::string callName;
        try {
            json line = ParseLine(text);
            if (line.is_discarded() && !ended && header) {
                // The recording process was killed while writing its last line.
                if (options.warnings != nullptr)
                    options.warnings->push_back(where() +
                                                "the last line is cut off; it is left out");
                break;
            }
            if (line.is_discarded() || !line.is_object())
                throw LineError("not a JSON object");
            if (line.contains("recording")) {
                auto version = line.find("version");
                if (line["recording"] != "dln calls" || version == line.end() ||
                    !version->is_number_unsigned() || version->get<uint64_t>() != 1)
                    throw LineError("not a recording of version 1 of dln calls");
                header = true;
                continue;
            }
            if (!header)
                throw LineError("no header line before the first call");
            if (line.contains("call") && line["call"].is_string())
                callName = line["call"].get<std::string>() + ": ";
            calls.push_back(ReadCall(line));
            checks.check(calls.back(), lineNumber);
        } catch (const LineError &e) {
            throw std::runtime_error(where() + callName + e.what());
        } catch (const json::exception &e) {
            // A value of another type than the format's ("version": "1").
            throw std::runtime_error(where() + callName + e.what());
        }
    }
    if (!header)
        throw std::runtime_error(name + ": empty, not a recording");
    std::string unopened = checks.unopenedWarning(name);
    if (!unopened.empty() && options.warnings != nullptr)
        options.warnings->push_back(unopened);
    return calls;
}

std::vector<CallRecord> ReadRecordingFile(const std::string &path, const ReadOptions &options) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path + ": cannot open");
    // A file known to be too large is refused before reading; a stream (/dev/zero, a pipe)
    // when its bytes pass the bound.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) > kMaxRecordingBytes)
        throw std::runtime_error(path + ": " + TooLarge());
    return ReadRecording(in, path, options);
}

} // namespace dlnsim::replay
