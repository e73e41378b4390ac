#include "socket.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace dln::tcp {

namespace {

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Waits until s is ready for events or the deadline passes.
IoStatus WaitFor(SocketHandle s, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{s, events, 0};
        int n = poll(&p, 1, MillisecondsUntil(deadline));
        if (n > 0)
            return IoStatus::Ok;
        if (n == 0)
            return IoStatus::TimedOut;
        if (errno != EINTR)
            return IoStatus::Failed;
    }
}

// The slice a blocking send or receive waits at most before the caller checks its deadline.
constexpr timeval kWaitSlice = {0, 100000};

// Blocking, with every wait cut into slices: a send or receive is then one system call
// instead of a poll and a call, yet no call overruns its deadline by more than a slice.
bool MakeBlockingWithSlices(int s) {
    int flags = fcntl(s, F_GETFL);
    return flags >= 0 && fcntl(s, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
           setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &kWaitSlice, sizeof kWaitSlice) == 0 &&
           setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &kWaitSlice, sizeof kWaitSlice) == 0;
}

SocketHandle ConnectOne(const addrinfo &address, Clock::time_point deadline) {
    int s = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                   address.ai_protocol);
    if (s < 0)
        return kNoSocket;
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    bool connected = connect(s, address.ai_addr, address.ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS && WaitFor(s, POLLOUT, deadline) == IoStatus::Ok) {
        int error = 0;
        socklen_t length = sizeof error;
        connected = getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    if (connected && MakeBlockingWithSlices(s))
        return s;
    close(s);
    return kNoSocket;
}

} // namespace

SocketHandle SocketConnect(const std::string &host, uint16_t port,
                           std::chrono::milliseconds perAddress, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
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
        ssize_t n = send(s, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        return (errno == EPIPE || errno == ECONNRESET) ? IoStatus::Closed : IoStatus::Failed;
    }
    return IoStatus::Ok;
}

IoStatus SocketReceiveSome(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                           Clock::time_point deadline) {
    received = 0;
    for (;;) {
        // Checked on every turn, also when bytes are waiting: a peer trickling bytes must
        // not keep the caller past its deadline.
        if (Clock::now() >= deadline)
            return IoStatus::TimedOut;
        ssize_t n = recv(s, data, capacity, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return IoStatus::Ok;
        }
        if (n == 0)
            return IoStatus::Closed;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return errno == ECONNRESET ? IoStatus::Closed : IoStatus::Failed;
    }
}

void SocketClose(SocketHandle s) {
    if (s != kNoSocket)
        close(s);
}

} // namespace dln::tcp
