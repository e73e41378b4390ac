// How a board operation ends on a failed transfer: one line naming what failed, then the
// connection released as a failed connection step would release it.
#pragma once

#include "adapter/connection.h"

// Prints "<name>() failed", closes and disconnects.
inline void EndFailedBoardOperation(AdapterConnection &connection, const char *name) {
    ReportFailure(name);
    ReleaseAdapterConnection(connection);
}
