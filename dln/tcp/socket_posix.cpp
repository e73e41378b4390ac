// The single socket attempts over POSIX sockets, for libdln.so.
#include "socket_platform.h"

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

bool TryAgain(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

namespace platform {

bool Start() {
    return true;
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

IoStatus SendOnce(SocketHandle s, const uint8_t *data, size_t size, size_t &sent,
                  Clock::time_point) {
    sent = 0;
    ssize_t n = send(s, data, size, MSG_NOSIGNAL);
    if (n > 0) {
        sent = static_cast<size_t>(n);
        return IoStatus::Ok;
    }
    if (n < 0 && TryAgain(errno))
        return IoStatus::Ok;
    return (errno == EPIPE || errno == ECONNRESET) ? IoStatus::Closed : IoStatus::Failed;
}

IoStatus ReceiveOnce(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                     Clock::time_point) {
    received = 0;
    ssize_t n = recv(s, data, capacity, 0);
    if (n > 0) {
        received = static_cast<size_t>(n);
        return IoStatus::Ok;
    }
    if (n == 0)
        return IoStatus::Closed;
    if (TryAgain(errno))
        return IoStatus::Ok;
    return errno == ECONNRESET ? IoStatus::Closed : IoStatus::Failed;
}

bool DiscardArrived(SocketHandle s) {
    uint8_t sink[4096];
    for (;;) {
        ssize_t n = recv(s, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0)
            continue;
        return n < 0 && TryAgain(errno);
    }
}

} // namespace platform

void SocketClose(SocketHandle s) {
    if (s != kNoSocket)
        close(s);
}

} // namespace dln::tcp
