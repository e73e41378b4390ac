// One client of a simulator: a connection of dln-sim, a connection of the in-process dln, or
// a test. It opens on construction; adapter handles opened through it close with it. A
// session may instead be answered by a function (a replay of a recording), with no simulator.
#pragma once

#include "dlnsim/simulator.h"
#include "wire.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace dlnsim {

class Session {
  public:
    explicit Session(std::shared_ptr<Simulator> simulator);
    // An answer also sets how long the reply is to be held back (it starts at 0).
    using Answer = std::function<dln::wire::Reply(const dln::wire::Request &, uint64_t &heldUs)>;
    explicit Session(Answer answer);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Runs one adapter call of this session and gives its reply. Every call is traced.
    dln::wire::Reply handle(const dln::wire::Request &request);

    enum class FrameStatus { Replied, Malformed, ReplyTooLarge, Pending };
    // The same for a request frame's body (without its length prefix): decodes it, handles
    // it and encodes the reply frame (prefix included) into reply. Malformed: the body is no
    // request and nothing ran; ReplyTooLarge: the call ran but its reply fits in no frame.
    FrameStatus handleFrame(std::span<const uint8_t> body, std::vector<uint8_t> &reply);
    // The reply frame of a call that was Pending (Replied or ReplyTooLarge) and how long it
    // is held back, counted from the call.
    using FrameDone =
        std::function<void(FrameStatus status, std::vector<uint8_t> reply, uint64_t heldUs)>;
    // As handleFrame, without waiting: a call that goes to an external device's provider
    // returns Pending, and its reply goes to later once the provider answered (or did not in
    // time), from the provider's thread.
    FrameStatus startFrame(std::span<const uint8_t> body, std::vector<uint8_t> &reply,
                           FrameDone later);

    // How long the reply to the last call is to be held back, in microseconds: the
    // simulator's latency model, or the recorded time of a replayed call.
    uint64_t heldUs() const { return heldUs_; }

  private:
    std::shared_ptr<Simulator> simulator_; // null when answer_ answers
    Answer answer_;
    uint32_t id_ = 0;
    uint64_t heldUs_ = 0;
};

} // namespace dlnsim
