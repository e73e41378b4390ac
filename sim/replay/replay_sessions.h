// dln-sim's replay: a recording read from its file, whose reports go to standard error, and
// the sessions that answer each connection's requests from it.
#pragma once

#include "dlnsim/server.h"
#include "replay.h"

#include <memory>
#include <string>

namespace dlnsim::replay {

// Throws std::runtime_error naming the file, the line and the problem.
std::shared_ptr<Replay> OpenReplay(const std::string &path, Mode mode,
                                   Timing timing = Timing::None);

// Sessions for the server: every connection answered from the one replay, so calls that a
// program spreads over several connections still meet the recording in order.
Server::NewSession ReplaySessions(std::shared_ptr<Replay> replay);

} // namespace dlnsim::replay
