// How a board reading runs for the fifteen methods: on a connection of its own, its protocol
// on the open adapter, and one line naming the transfer when the reading failed.
#pragma once

#include "adapter/connection.h"

// Opens a connection of form, runs protocol(handle, reporter) -> Reading, reports "<transfer>()
// failed" for a failed reading; the connection is released on every path. A connection that did not
// open gives an empty Reading.
template <class Reading, class Protocol>
Reading ReadOnOwnConnection(ConnectionForm form, Protocol protocol) {
    ScopedConnection connection{form};
    if (!OpenAdapterConnection(connection))
        return Reading{};
    const Reading reading = protocol(connection.handle, *connection.reporter);
    if (reading.outcome == Outcome::Failed)
        ReportFailure(*connection.reporter, TransferName(reading.failure));
    return reading;
}
