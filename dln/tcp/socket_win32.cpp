// The socket functions over Winsock, for dln.dll.
#include "socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>

namespace dln::tcp {

namespace {

// Winsock must be started once per process before any other call; it stays started until
// the process ends, as the library may be used until then.
bool WinsockStarted() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

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

bool ConnectionLost(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
}

} // namespace

SocketHandle SocketConnect(const std::string &host, uint16_t port,
                           std::chrono::milliseconds perAddress, Clock::time_point deadline) {
    if (!WinsockStarted())
        return kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *addresses = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses) != 0)
        return kNoSocket;
    SocketHandle s = kNoSocket;
    // "localhost" may give ::1 before 127.0.0.1 while the server listens on one of them only.
    for (addrinfo *a = addresses; a != nullptr && s == kNoSocket; a = a->ai_next) {
        if (Clock::now() >= deadline)
            break;
        s = ConnectOne(*a, std::min(deadline, Clock::now() + perAddress));
    }
    freeaddrinfo(addresses);
    return s;
}

IoStatus SocketSendAll(SocketHandle s, const uint8_t *data, size_t size,
                       Clock::time_point deadline) {
    while (size > 0) {
        // Checked on every turn: a peer that takes a few bytes at a time must not stretch it.
        if (Clock::now() >= deadline)
            return IoStatus::TimedOut;
        // send takes an int length; a frame is far smaller, but a cap keeps the cast sound.
        int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
        int n = send(static_cast<SOCKET>(s), reinterpret_cast<const char *>(data), chunk, 0);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        int error = WSAGetLastError();
        if (n == SOCKET_ERROR && error == WSAEWOULDBLOCK) {
            IoStatus status = WaitFor(s, Ready::Write, deadline);
            if (status != IoStatus::Ok)
                return status;
            continue;
        }
        return ConnectionLost(error) ? IoStatus::Closed : IoStatus::Failed;
    }
    return IoStatus::Ok;
}

IoStatus SocketReceiveSome(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                           Clock::time_point deadline) {
    received = 0;
    int chunk = static_cast<int>(std::min<size_t>(capacity, 1 << 20));
    for (;;) {
        // Checked on every turn, also when bytes are waiting: a peer trickling bytes must
        // not keep the caller past its deadline.
        if (Clock::now() >= deadline)
            return IoStatus::TimedOut;
        // Waiting first spares a receive that would only say "nothing yet".
        IoStatus status = WaitFor(s, Ready::Read, deadline);
        if (status != IoStatus::Ok)
            return status;
        int n = recv(static_cast<SOCKET>(s), reinterpret_cast<char *>(data), chunk, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return IoStatus::Ok;
        }
        if (n == 0)
            return IoStatus::Closed;
        int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            return ConnectionLost(error) ? IoStatus::Closed : IoStatus::Failed;
    }
}

void SocketClose(SocketHandle s) {
    if (s != kNoSocket)
        closesocket(static_cast<SOCKET>(s));
}

} // namespace dln::tcp
