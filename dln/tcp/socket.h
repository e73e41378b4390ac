// The few socket operations the TCP transport needs, each bounded by a deadline that is
// checked on every loop turn, whatever the peer sends (a send or receive may overrun it by at
// most one 100 ms wait slice). A caller looping over them passes the same deadline each time,
// so that one call of the C interface has one deadline. The loops live in socket.cpp, once;
// the single attempts they make in socket_posix.cpp and socket_win32.cpp.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace dln::tcp {

using Clock = std::chrono::steady_clock;

#if defined(_WIN32)
using SocketHandle = uintptr_t;
#else
using SocketHandle = int;
#endif
constexpr SocketHandle kNoSocket = static_cast<SocketHandle>(-1);

enum class IoStatus { Ok, TimedOut, Closed, Failed };

// Connects to host:port, trying every address the name resolves to, each within
// perAddress and all before deadline; the name's lookup is bounded by deadline too. The socket has
// TCP_NODELAY set. The POSIX socket blocks in slices, so that each send and receive is a single
// system call; the Winsock one waits with select instead, as Windows leaves a socket whose receive
// timed out unusable. kNoSocket on failure.
SocketHandle SocketConnect(const std::string &host, uint16_t port,
                           std::chrono::milliseconds perAddress, Clock::time_point deadline);
// Sends all size bytes (never raising SIGPIPE).
IoStatus SocketSendAll(SocketHandle s, const uint8_t *data, size_t size,
                       Clock::time_point deadline);
// Waits until bytes arrive, then receives what is there, up to capacity, into data;
// received tells how many (at least one when Ok).
IoStatus SocketReceiveSome(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                           Clock::time_point deadline);
// Drops whatever the peer sent that has not been received yet, without waiting. False when
// the connection turned out closed or failed.
bool SocketDiscardArrived(SocketHandle s);
void SocketClose(SocketHandle s);

} // namespace dln::tcp
