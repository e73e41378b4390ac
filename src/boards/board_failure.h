// How a board operation ends on a failed transfer: one line naming what failed, then the
// connection released as a failed connection step would release it.
#pragma once

#include "adapter/connection.h"

#include <cstdio>

// Prints message, closes and disconnects, and returns the operations' failure value -1.
inline int FailBoardOperation(AdapterConnection &connection, const char *message) {
    printf("%s", message);
    ReleaseAdapterConnection(connection);
    return -1;
}
