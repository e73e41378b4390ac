// Which recorded calls a server sees when our dln makes them. Our dln answers some calls
// itself: a null pointer, a disconnect without a connection, an open without a connection,
// and any call on a handle it does not hold (0, closed, or dropped when its connection's
// count fell to zero). A replay expects only the others, so a recording made through any
// adapter library replays through ours.
#pragma once

#include "call_record.h"

#include <vector>

namespace dlnsim::replay {

// The calls of recording that reach a server, in order.
std::vector<dln::record::CallRecord>
CallsThatReachTheServer(const std::vector<dln::record::CallRecord> &recording);

} // namespace dlnsim::replay
