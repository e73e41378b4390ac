// The single socket attempts over Winsock, for dln.dll.
#include "socket_platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>

namespace dln::tcp {

namespace {

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

enum class Ready { Read, Write };

// Waits until s is ready or the deadline passes. select rather than WSAPoll, because WSAPoll
// on older Windows never reports a refused connect and would wait out the whole time.
// An error on the socket counts as ready, so the following call reports it.
IoStatus WaitFor(SocketHandle s, Ready ready, Clock::time_point deadline) {
    fd_set wanted;
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(static_cast<SOCKET>(s), &wanted);
    FD_SET(static_cast<SOCKET>(s), &failed);
    int ms = MillisecondsUntil(deadline);
    timeval timeout{ms / 1000, (ms % 1000) * 1000};
    // The first argument is ignored by Winsock.
    int n = ready == Ready::Read ? select(0, &wanted, nullptr, &failed, &timeout)
                                 : select(0, nullptr, &wanted, &failed, &timeout);
    if (n > 0)
        return IoStatus::Ok;
    return n == 0 ? IoStatus::TimedOut : IoStatus::Failed;
}

// Non-blocking, so that connect is bounded in time; TCP_NODELAY, as every call is a small
// request waiting for its reply.
bool MakeNonBlockingNoDelay(SOCKET s) {
    u_long nonBlocking = 1;
    BOOL one = TRUE;
    const char *value = reinterpret_cast<const char *>(&one);
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0 &&
           setsockopt(s, IPPROTO_TCP, TCP_NODELAY, value, sizeof one) == 0;
}

bool ConnectionLost(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
}

// send and recv take an int length; a frame is far smaller, but a cap keeps the cast sound.
int Chunk(size_t size) {
    return static_cast<int>(std::min<size_t>(size, 1 << 20));
}

} // namespace

namespace platform {

// Winsock must be started once per process before any other call; it stays started until
// the process ends, as the library may be used until then.
bool Start() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

SocketHandle ConnectOne(const addrinfo &address, Clock::time_point deadline) {
    SOCKET s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    if (!MakeNonBlockingNoDelay(s)) {
        closesocket(s);
        return kNoSocket;
    }
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
        return static_cast<SocketHandle>(s);
    // A refused connect shows as ready too; the socket's error tells the two apart.
    if (WSAGetLastError() == WSAEWOULDBLOCK &&
        WaitFor(static_cast<SocketHandle>(s), Ready::Write, deadline) == IoStatus::Ok) {
        int error = 0;
        int length = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) == 0 &&
            error == 0)
            return static_cast<SocketHandle>(s);
    }
    closesocket(s);
    return kNoSocket;
}

IoStatus SendOnce(SocketHandle s, const uint8_t *data, size_t size, size_t &sent,
                  Clock::time_point deadline) {
    sent = 0;
    int n = send(static_cast<SOCKET>(s), reinterpret_cast<const char *>(data), Chunk(size), 0);
    if (n > 0) {
        sent = static_cast<size_t>(n);
        return IoStatus::Ok;
    }
    int error = WSAGetLastError();
    if (n == SOCKET_ERROR && error == WSAEWOULDBLOCK)
        return WaitFor(s, Ready::Write, deadline);
    return ConnectionLost(error) ? IoStatus::Closed : IoStatus::Failed;
}

IoStatus ReceiveOnce(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                     Clock::time_point deadline) {
    received = 0;
    // Waiting first spares a receive that would only say "nothing yet".
    IoStatus status = WaitFor(s, Ready::Read, deadline);
    if (status != IoStatus::Ok)
        return status;
    int n = recv(static_cast<SOCKET>(s), reinterpret_cast<char *>(data), Chunk(capacity), 0);
    if (n > 0) {
        received = static_cast<size_t>(n);
        return IoStatus::Ok;
    }
    if (n == 0)
        return IoStatus::Closed;
    int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return IoStatus::Ok;
    return ConnectionLost(error) ? IoStatus::Closed : IoStatus::Failed;
}

// The socket is non-blocking, so a receive returns at once when nothing has arrived.
bool DiscardArrived(SocketHandle s) {
    char sink[4096];
    for (;;) {
        int n = recv(static_cast<SOCKET>(s), sink, sizeof sink, 0);
        if (n > 0)
            continue;
        return n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK;
    }
}

} // namespace platform

void SocketClose(SocketHandle s) {
    if (s != kNoSocket)
        closesocket(static_cast<SOCKET>(s));
}

} // namespace dln::tcp
