#include "wire.h"

#include <array>

namespace dln::wire {

namespace {

constexpr std::array<const char *, kLastCall + 1> kNames = {
    "?",
    "DlnConnect",
    "DlnDisconnect",
    "DlnOpenDevice",
    "DlnCloseHandle",
    "DlnGetVersion",
    "DlnI2cMasterGetPortCount",
    "DlnI2cMasterGetFrequency",
    "DlnI2cMasterEnable",
    "DlnI2cMasterScanDevices",
    "DlnI2cMasterWrite",
    "DlnI2cMasterRead",
    "DlnSpiMasterGetPortCount",
    "DlnSpiMasterGetFrequency",
    "DlnSpiMasterEnable",
    "DlnSpiMasterSetMode",
    "DlnSpiMasterGetMode",
    "DlnSpiMasterSetFrequency",
    "DlnSpiMasterSetSS",
    "DlnSpiMasterReadWrite",
};

bool IsCall(uint8_t code) {
    return code >= kFirstCall && code <= kLastCall;
}

void Put8(std::vector<uint8_t> &out, uint8_t v) {
    out.push_back(v);
}
void Put16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t> &out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// Reads little-endian fields from a body, refusing to read past its end.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool get8(uint8_t &v) {
        if (remaining() < 1)
            return false;
        v = bytes_[pos_++];
        return true;
    }
    bool get16(uint16_t &v) {
        if (remaining() < 2)
            return false;
        v = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool get32(uint32_t &v) {
        if (remaining() < 4)
            return false;
        v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | bytes_[pos_ + static_cast<size_t>(i)];
        pos_ += 4;
        return true;
    }
    std::span<const uint8_t> rest() const { return bytes_.subspan(pos_); }
    size_t remaining() const { return bytes_.size() - pos_; }

  private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// Writes the length prefix in front of a finished body, or empties it when too long.
std::vector<uint8_t> Framed(std::vector<uint8_t> frame) {
    size_t body = frame.size() - kLengthPrefix;
    if (body > kMaxBody)
        return {};
    for (size_t i = 0; i < kLengthPrefix; ++i)
        frame[i] = static_cast<uint8_t>(body >> (8 * i));
    return frame;
}

} // namespace

const char *CallName(Call call) {
    auto code = static_cast<uint8_t>(call);
    return IsCall(code) ? kNames[code] : kNames[0];
}

std::optional<Call> CallByName(std::string_view name) {
    for (uint8_t code = kFirstCall; code <= kLastCall; ++code)
        if (name == kNames[code])
            return static_cast<Call>(code);
    return std::nullopt;
}

std::vector<uint8_t> EncodeRequest(const Request &request) {
    std::vector<uint8_t> frame(kLengthPrefix);
    frame.reserve(kLengthPrefix + kRequestHeader + request.data.size());
    Put8(frame, kVersion);
    Put8(frame, static_cast<uint8_t>(request.call));
    Put32(frame, request.sequence);
    Put16(frame, request.handle);
    Put8(frame, request.port);
    Put8(frame, request.address);
    Put8(frame, request.memoryAddressLength);
    Put32(frame, request.memoryAddress);
    Put32(frame, request.value);
    Put16(frame, request.length);
    frame.insert(frame.end(), request.data.begin(), request.data.end());
    return Framed(std::move(frame));
}

std::vector<uint8_t> EncodeReply(const Reply &reply) {
    if (reply.words.size() > kMaxWords)
        return {};
    std::vector<uint8_t> frame(kLengthPrefix);
    frame.reserve(kLengthPrefix + kReplyHeader + 4 * reply.words.size() + reply.data.size());
    Put8(frame, kVersion);
    Put8(frame, static_cast<uint8_t>(reply.call));
    Put32(frame, reply.sequence);
    Put16(frame, reply.result);
    Put8(frame, static_cast<uint8_t>(reply.words.size()));
    for (uint32_t word : reply.words)
        Put32(frame, word);
    frame.insert(frame.end(), reply.data.begin(), reply.data.end());
    return Framed(std::move(frame));
}

uint32_t AnnouncedLength(std::span<const uint8_t, kLengthPrefix> prefix) {
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = length << 8 | prefix[static_cast<size_t>(i)];
    return length;
}

std::optional<uint32_t> BodyLength(std::span<const uint8_t, kLengthPrefix> prefix,
                                   size_t minimumBody) {
    uint32_t length = AnnouncedLength(prefix);
    if (length < minimumBody || length > kMaxBody)
        return std::nullopt;
    return length;
}

bool DecodeRequest(std::span<const uint8_t> body, Request &request) {
    if (body.size() > kMaxBody)
        return false;
    Reader in(body);
    uint8_t version = 0, call = 0;
    Request r;
    if (!in.get8(version) || version != kVersion || !in.get8(call) || !IsCall(call))
        return false;
    r.call = static_cast<Call>(call);
    if (!in.get32(r.sequence) || !in.get16(r.handle) || !in.get8(r.port) || !in.get8(r.address) ||
        !in.get8(r.memoryAddressLength) || !in.get32(r.memoryAddress) || !in.get32(r.value) ||
        !in.get16(r.length))
        return false;
    auto rest = in.rest();
    r.data.assign(rest.begin(), rest.end());
    request = std::move(r);
    return true;
}

bool DecodeReply(std::span<const uint8_t> body, Reply &reply) {
    if (body.size() > kMaxBody)
        return false;
    Reader in(body);
    uint8_t version = 0, call = 0, words = 0;
    Reply r;
    if (!in.get8(version) || version != kVersion || !in.get8(call) || !IsCall(call))
        return false;
    r.call = static_cast<Call>(call);
    if (!in.get32(r.sequence) || !in.get16(r.result) || !in.get8(words) || words > kMaxWords)
        return false;
    r.words.resize(words);
    for (uint32_t &word : r.words)
        if (!in.get32(word))
            return false;
    auto rest = in.rest();
    r.data.assign(rest.begin(), rest.end());
    reply = std::move(r);
    return true;
}

} // namespace dln::wire
