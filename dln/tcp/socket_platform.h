// What each platform's socket file (socket_posix.cpp, socket_win32.cpp) gives the loops of
// socket.cpp, which are written once for both: single attempts, each waiting at most until
// the deadline (or one short wait slice), never looping on their own.
#pragma once

#include "socket.h"

struct addrinfo;

namespace dln::tcp::platform {

// Starts the socket library once per process (Winsock); false when it cannot.
bool Start();

// Connects to one address by deadline: a socket with TCP_NODELAY ready for SendOnce and
// ReceiveOnce, or kNoSocket.
SocketHandle ConnectOne(const addrinfo &address, Clock::time_point deadline);

// One send of up to size bytes: Ok with sent > 0, Ok with sent == 0 when nothing could go
// yet (try again), or how it failed.
IoStatus SendOnce(SocketHandle s, const uint8_t *data, size_t size, size_t &sent,
                  Clock::time_point deadline);

// One receive of up to capacity bytes: Ok with received > 0, Ok with received == 0 when
// nothing came yet (try again), Closed when the peer closed, or how it failed.
IoStatus ReceiveOnce(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                     Clock::time_point deadline);

// Receives, without waiting, whatever has arrived and drops it. False when the connection
// turned out closed or failed.
bool DiscardArrived(SocketHandle s);

} // namespace dln::tcp::platform
