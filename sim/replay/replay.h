// A replay of a recording: answers each request a server receives with the reply that was
// recorded for it, at the level of the wire protocol.
//
// Strict (the default): each request must equal the next recorded call that reached the
// server (its call, handle, port, address, memory address, value, length and bytes sent).
// A request that does not fails with DLN_RES_FAIL and is reported; the recorded call it met
// is used up, so the rest of the run stays in step where only bytes differed.
// Lenient: a request takes the first unused recorded call with the same call and arguments
// (handles aside), whatever its place; once all such calls are used up, the last of them
// answers again. Only a request like no recorded call fails.
//
// Handles: an open answers with the handle that was recorded, so later requests carry the
// recorded handles whatever the recording process and this one numbered their own.
// Reports: each mismatch names the recorded call's thread; where the recording's threads
// interleave, it suggests the lenient mode. The first kMaxReported mismatches are shown in
// full, later ones only counted.
// Thread-safe: every connection of a server may share one replay.
#pragma once

#include "call_record.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace dlnsim::replay {

enum class Mode { Strict, Lenient };

// When a replayed call is answered. None: at once. Recorded: after the call's recorded
// duration. RecordedGaps: also no sooner after the previous call of the same recorded thread
// than it came on the robot, for a program that runs faster here between its calls.
enum class Timing { None, Recorded, RecordedGaps };

class Replay {
  public:
    static constexpr uint64_t kMaxReported = 10;
    using Report = std::function<void(const std::string &text)>;
    // recording: every call of the file (those our dln answers itself are left out here).
    // report receives each mismatch (several lines, no final newline) and the line saying
    // that the recording has been played to its end.
    Replay(const std::vector<dln::record::CallRecord> &recording, Mode mode, Report report,
           Timing timing = Timing::None);

    // heldUs, when given, receives how long to hold the reply back, as timing says.
    dln::wire::Reply answer(const dln::wire::Request &request, uint64_t *heldUs = nullptr);

    // One line: how many recorded calls were answered, how far the run matched, how many
    // mismatched and how many recorded calls were never asked for.
    std::string summary() const;
    bool allMatched() const; // every recorded call answered, no mismatch
    // Whether any request mismatched, in this pass or an earlier one.
    bool anyMismatch() const;
    // Called (outside the lock) after each mismatch.
    void onMismatch(std::function<void()> hook);
    // Starts the recording again from its first call; reports how the last pass ended.
    void restart();
    // The devices the recording's calls reach: "i2c 0x29, 0x30; spi ss 0x01".
    std::string describeDevices() const;

  private:
    const dln::record::CallRecord *takeInOrder(const dln::wire::Request &request,
                                               const dln::record::CallRecord *&expected);
    const dln::record::CallRecord *takeLeniently(const dln::wire::Request &request,
                                                 const dln::record::CallRecord *&nearest);
    void markUsed(size_t index);
    uint64_t holdFor(const dln::record::CallRecord &recorded);
    std::string summaryLocked() const;
    void reportMismatch(const dln::wire::Request &request, const dln::record::CallRecord *recorded);

    mutable std::mutex mutex_;
    const Mode mode_;
    const Report report_;
    std::function<void()> onMismatch_;
    size_t threads_ = 0;                         // threads that made the calls
    uint64_t earlierMismatches_ = 0;             // in passes before restart()
    std::vector<dln::record::CallRecord> calls_; // those that reach the server
    std::vector<bool> used_;
    size_t usedCount_ = 0;
    size_t next_ = 0;             // strict: the next recorded call expected
    uint64_t requests_ = 0;       // requests received
    uint64_t matched_ = 0;        // answered from the recording
    uint64_t matchedInOrder_ = 0; // before the first mismatch
    uint64_t reused_ = 0;         // lenient: answered again by an used-up call
    uint64_t mismatches_ = 0;
    uint64_t firstMismatchSeq_ = 0; // the recorded call it met; 0 when none or past the end
    bool reportedEnd_ = false;
    const Timing timing_;
    // RecordedGaps: per recorded thread, when its last reply left and when its call ended on
    // the robot.
    struct ThreadPace {
        std::chrono::steady_clock::time_point replied;
        uint64_t recordedEndUs = 0;
    };
    std::map<uint32_t, ThreadPace> paces_;
};

// A request as a replay report shows it: the call and its arguments named as in the
// recording ("DlnI2cMasterWrite handle=1 port=0 slaveAddress=0x50 length=3").
std::string Describe(const dln::wire::Request &request);
// Two rows of bytes, one over the other, and a third marking where they differ.
std::string BytesSideBySide(const std::string &what, const std::vector<uint8_t> &recorded,
                            const std::vector<uint8_t> &came);

} // namespace dlnsim::replay
