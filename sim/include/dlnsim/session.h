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
    using Answer = std::function<dln::wire::Reply(const dln::wire::Request &)>;
    explicit Session(Answer answer);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Runs one adapter call of this session and gives its reply. Every call is traced.
    dln::wire::Reply handle(const dln::wire::Request &request);

    enum class FrameStatus { Replied, Malformed, ReplyTooLarge };
    // The same for a request frame's body (without its length prefix): decodes it, handles
    // it and encodes the reply frame (prefix included) into reply. Malformed: the body is no
    // request and nothing ran; ReplyTooLarge: the call ran but its reply fits in no frame.
    FrameStatus handleFrame(std::span<const uint8_t> body, std::vector<uint8_t> &reply);

  private:
    std::shared_ptr<Simulator> simulator_; // null when answer_ answers
    Answer answer_;
    uint32_t id_ = 0;
};

} // namespace dlnsim
