// dln-sim's replay: a recording read from its file, whose reports go to standard error, and
// the sessions that answer each connection's requests from it.
#pragma once

#include "dlnsim/server.h"
#include "recording_file.h"
#include "replay.h"

#include <memory>
#include <string>

namespace dlnsim::replay {

// Throws std::runtime_error naming the file, the line and the problem (ReadCancelled when
// options.cancelled stopped the reading). With a timing, replies are held as recorded. Warnings go
// to standard error, one line each.
std::shared_ptr<Replay> OpenReplay(const std::string &path, Mode mode,
                                   const ReadOptions &options = {}, Timing timing = Timing::None);

// Sessions for the server: every connection answered from the one replay, so calls that a
// program spreads over several connections still meet the recording in order. With loop, a
// connection arriving while no other is open starts the recording again (once it was begun).
Server::NewSession ReplaySessions(std::shared_ptr<Replay> replay, bool loop = false);

} // namespace dlnsim::replay
