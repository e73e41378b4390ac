#include "replay.h"

#include "dln_api.h"
#include "server_calls.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace dlnsim::replay {

using dln::record::CallRecord;
using dln::record::Field;
using dln::record::Slot;
using dln::wire::Reply;
using dln::wire::Request;

namespace {

// Everything a server sees of a request, the handle aside.
bool SameArguments(const Request &a, const Request &b) {
    return a.call == b.call && a.port == b.port && a.address == b.address &&
           a.memoryAddressLength == b.memoryAddressLength && a.memoryAddress == b.memoryAddress &&
           a.value == b.value && a.length == b.length && a.data == b.data;
}

bool Same(const Request &a, const Request &b) {
    return a.handle == b.handle && SameArguments(a, b);
}

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    dln::record::AppendHex(bytes, text);
    return text;
}

std::string Number(uint64_t value, bool hex) {
    char text[24];
    std::snprintf(text, sizeof text, hex ? "0x%02llx" : "%llu",
                  static_cast<unsigned long long>(value));
    return text;
}

} // namespace

std::string Describe(const Request &request) {
    std::string text = dln::wire::CallName(request.call);
    CallRecord record;
    record.request = request;
    for (const Field &field : dln::record::FieldsOf(request.call)) {
        if (field.returned || field.slot == Slot::Host || field.slot == Slot::TcpPort)
            continue;
        text += std::string(" ") + field.name + "=";
        if (field.slot == Slot::Out)
            text.append("[").append(Hex(request.data)).append("]");
        else
            text += Number(dln::record::NumberAt(record, field.slot), field.slot == Slot::Address);
    }
    return text;
}

std::string BytesSideBySide(const std::string &what, const std::vector<uint8_t> &recorded,
                            const std::vector<uint8_t> &came) {
    std::string recordedLabel = "  " + what + " recorded: ";
    std::string cameLabel = "  " + what + " came:     ";
    cameLabel.resize(recordedLabel.size(), ' ');
    std::string marks(recordedLabel.size(), ' ');
    size_t longest = std::max(recorded.size(), came.size());
    for (size_t i = 0; i < longest; ++i) {
        bool differs = i >= recorded.size() || i >= came.size() || recorded[i] != came[i];
        marks += differs ? "^^ " : "   ";
    }
    while (!marks.empty() && marks.back() == ' ')
        marks.pop_back();
    return recordedLabel + Hex(recorded) + "\n" + cameLabel + Hex(came) + "\n" + marks;
}

Replay::Replay(const std::vector<CallRecord> &recording, Mode mode, Report report, Timing timing)
    : mode_(mode), report_(std::move(report)), calls_(CallsThatReachTheServer(recording)),
      used_(calls_.size(), false), timing_(timing) {
    std::set<uint32_t> threads;
    for (const CallRecord &call : calls_)
        threads.insert(call.thread);
    threads_ = threads.size();
}

uint64_t Replay::holdFor(const CallRecord &recorded) {
    if (timing_ == Timing::None)
        return 0;
    uint64_t held = recorded.durationUs;
    if (timing_ == Timing::RecordedGaps) {
        auto now = std::chrono::steady_clock::now();
        auto pace = paces_.find(recorded.thread);
        if (pace != paces_.end() && recorded.timeUs >= pace->second.recordedEndUs) {
            auto gap = std::chrono::microseconds(recorded.timeUs - pace->second.recordedEndUs);
            auto earliest = pace->second.replied + gap + std::chrono::microseconds(held);
            if (earliest > now)
                held = std::max<uint64_t>(
                    held,
                    std::chrono::duration_cast<std::chrono::microseconds>(earliest - now).count());
        }
        paces_[recorded.thread] = {now + std::chrono::microseconds(held),
                                   recorded.timeUs + recorded.durationUs};
    }
    return held;
}

const CallRecord *Replay::takeInOrder(const Request &request, const CallRecord *&expected) {
    expected = next_ < calls_.size() ? &calls_[next_] : nullptr;
    if (expected == nullptr)
        return nullptr;
    markUsed(next_++);
    return Same(expected->request, request) ? expected : nullptr;
}

const CallRecord *Replay::takeLeniently(const Request &request, const CallRecord *&nearest) {
    const CallRecord *lastUsed = nullptr;
    nearest = nullptr;
    for (size_t i = 0; i < calls_.size(); ++i) {
        const Request &recorded = calls_[i].request;
        if (SameArguments(recorded, request)) {
            if (!used_[i]) {
                markUsed(i);
                return &calls_[i];
            }
            lastUsed = &calls_[i];
        } else if (nearest == nullptr && !used_[i] && recorded.call == request.call &&
                   recorded.address == request.address) {
            nearest = &calls_[i];
        }
    }
    if (lastUsed != nullptr)
        ++reused_;
    return lastUsed;
}

Reply Replay::answer(const Request &request, uint64_t *heldUs) {
    std::unique_lock lock(mutex_);
    ++requests_;
    const CallRecord *other = nullptr;
    const CallRecord *recorded =
        mode_ == Mode::Strict ? takeInOrder(request, other) : takeLeniently(request, other);
    Reply reply;
    if (recorded != nullptr) {
        reply = recorded->reply;
        if (heldUs != nullptr)
            *heldUs = holdFor(*recorded);
        ++matched_;
        if (mismatches_ == 0)
            ++matchedInOrder_;
    } else {
        reply.result = DLN_RES_FAIL;
        if (mismatches_++ == 0)
            firstMismatchSeq_ = other != nullptr && mode_ == Mode::Strict ? other->seq : 0;
        if (mismatches_ <= kMaxReported)
            reportMismatch(request, other);
        if (mismatches_ == kMaxReported)
            report_("replay: further mismatches are counted, not shown (the summary gives "
                    "their number)");
    }
    reply.call = request.call;
    if (usedCount_ == calls_.size() && !reportedEnd_) {
        reportedEnd_ = true;
        report_("replay: the recording has been played to its end; " + summaryLocked());
    }
    if (recorded == nullptr && onMismatch_) {
        auto hook = onMismatch_;
        lock.unlock();
        hook();
    }
    return reply;
}

bool Replay::anyMismatch() const {
    std::lock_guard lock(mutex_);
    return mismatches_ + earlierMismatches_ > 0;
}

void Replay::onMismatch(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    onMismatch_ = std::move(hook);
}

void Replay::restart() {
    std::lock_guard lock(mutex_);
    report_("replay: starting the recording again for a new client; the last pass: " +
            summaryLocked());
    earlierMismatches_ += mismatches_;
    used_.assign(calls_.size(), false);
    usedCount_ = next_ = 0;
    requests_ = matched_ = matchedInOrder_ = reused_ = mismatches_ = firstMismatchSeq_ = 0;
    reportedEnd_ = false;
    paces_.clear();
}

std::string Replay::describeDevices() const {
    std::set<uint8_t> i2c, spiLines;
    bool spi = false;
    for (const CallRecord &call : calls_) {
        dln::wire::Call kind = call.request.call;
        if (kind == dln::wire::Call::I2cWrite || kind == dln::wire::Call::I2cRead)
            i2c.insert(call.request.address);
        if (kind == dln::wire::Call::SpiSetSS)
            spiLines.insert(call.request.address);
        spi = spi || kind == dln::wire::Call::SpiReadWrite;
    }
    std::string text;
    for (uint8_t address : i2c)
        text += (text.empty() ? "i2c " : ", ") + Number(address, true);
    if (spi) {
        text += text.empty() ? "spi" : "; spi";
        for (uint8_t mask : spiLines)
            text += (mask == *spiLines.begin() ? " ss " : ", ") + Number(mask, true);
    }
    return text.empty() ? "no device calls" : text;
}

void Replay::reportMismatch(const Request &request, const CallRecord *recorded) {
    std::string thisRequest = "request " + std::to_string(requests_);
    std::string thread = recorded != nullptr && threads_ > 1
                             ? ", recorded by thread " + std::to_string(recorded->thread)
                             : std::string();
    std::string text;
    if (mode_ == Mode::Lenient)
        text = "replay: " + thisRequest + " is like no recorded call; it fails with 0x4F\n" +
               (recorded != nullptr ? "  nearest:  recorded call " + std::to_string(recorded->seq) +
                                          ": " + Describe(recorded->request)
                                    : std::string("  nearest:  (none of this call and address)"));
    else if (recorded == nullptr)
        text = "replay: " + thisRequest +
               " came after the end of the recording; it fails with 0x4F\n  recorded: (nothing)";
    else
        text = "replay: mismatch at recorded call " + std::to_string(recorded->seq) + " (" +
               thisRequest + " of this run" + thread +
               "); it fails with 0x4F\n  recorded: " + Describe(recorded->request);
    text.append("\n  came:     ").append(Describe(request));
    if (recorded != nullptr && recorded->request.data != request.data)
        text.append("\n").append(
            BytesSideBySide("bytes sent", recorded->request.data, request.data));
    if (mode_ == Mode::Strict && threads_ > 1)
        text += "\n  the recording interleaves the calls of " + std::to_string(threads_) +
                " threads, whose order may differ from run to run: --replay-lenient answers "
                "by call and arguments whatever the order";
    report_(text);
}

void Replay::markUsed(size_t index) {
    used_[index] = true;
    ++usedCount_;
}

std::string Replay::summary() const {
    std::lock_guard lock(mutex_);
    return summaryLocked();
}

std::string Replay::summaryLocked() const {
    size_t answered = usedCount_;
    std::string text = std::string("replay (") + (mode_ == Mode::Strict ? "strict" : "lenient") +
                       "): " + std::to_string(answered) + " of " + std::to_string(calls_.size()) +
                       " recorded calls answered";
    if (mismatches_ == 0) {
        text += mode_ == Mode::Strict ? ", all in order and matching" : ", no mismatch";
    } else {
        text += "; " + std::to_string(matchedInOrder_) + " matched before the first mismatch";
        if (firstMismatchSeq_ != 0)
            text += " (at recorded call " + std::to_string(firstMismatchSeq_) + ")";
        text += ", " + std::to_string(mismatches_) + " mismatched in all";
    }
    if (reused_ > 0)
        text += ", " + std::to_string(reused_) + " answered again by a used-up call";
    if (answered < calls_.size())
        text += "; " + std::to_string(calls_.size() - answered) + " recorded calls never asked for";
    return text;
}

bool Replay::allMatched() const {
    std::lock_guard lock(mutex_);
    return mismatches_ == 0 && usedCount_ == calls_.size();
}

} // namespace dlnsim::replay
