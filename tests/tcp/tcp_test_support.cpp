#include "tcp_test_support.h"

#include "wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

// Waits up to 50 ms for fd to be readable.
bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 50) > 0;
}

bool ReadExactly(int fd, uint8_t *data, size_t size, const std::atomic<bool> &stop) {
    while (size > 0) {
        if (stop)
            return false;
        if (!Readable(fd))
            continue;
        ssize_t n = recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

int ListenOnLoopback(uint16_t &port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd, 8) != 0 || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return -1;
    port = ntohs(address.sin_port);
    return fd;
}

ScriptedServer::ScriptedServer(int answers, Then then) : answers_(answers), then_(then) {
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    thread_.join();
    close(listenFd_);
}

namespace {

// The proper answer: success, the request's sequence number, one word 1, and for calls that
// read, the bytes asked for, each the number of this answer, so that a stale answer shows.
dln::wire::Reply ProperAnswer(const dln::wire::Request &request, uint8_t number) {
    using dln::wire::Call;
    dln::wire::Reply reply;
    reply.call = request.call;
    reply.sequence = request.sequence;
    if (request.call == Call::I2cRead || request.call == Call::SpiReadWrite)
        reply.data.assign(request.length, number);
    else
        reply.words = {1};
    return reply;
}

bool SendBytes(int fd, const std::vector<uint8_t> &bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

// Answers one request as then_ says; false when the connection is done with.
bool ScriptedServer::misbehave(int fd, const dln::wire::Request &request, uint8_t number) {
    auto frame = dln::wire::EncodeReply(ProperAnswer(request, number));
    switch (then_) {
    case Then::StaySilent:
        while (!stop_)
            Pause(20);
        return false;
    case Then::Close:
        shutdown(fd, SHUT_RDWR);
        return false;
    case Then::Trickle: {
        std::vector<uint8_t> prefix = {0xFF, 0xFF, 0x00, 0x00}; // the largest reply there is
        if (!SendBytes(fd, prefix))
            return false;
        for (uint8_t byte = 0; !stop_ && SendBytes(fd, {byte}); ++byte)
            Pause(50);
        return false;
    }
    case Then::SingleBytes:
        for (uint8_t byte : frame) {
            if (!SendBytes(fd, {byte}))
                return false;
            Pause(1);
        }
        return true;
    case Then::Duplicate: {
        auto twice = frame;
        twice.insert(twice.end(), frame.begin(), frame.end());
        return SendBytes(fd, twice);
    }
    case Then::LateDuplicate:
        if (!SendBytes(fd, frame))
            return false;
        Pause(20);
        return SendBytes(fd, frame);
    case Then::WrongSequence: {
        auto reply = ProperAnswer(request, number);
        reply.sequence += 1;
        return SendBytes(fd, dln::wire::EncodeReply(reply));
    }
    case Then::AheadOfRequest: {
        auto ahead = ProperAnswer(request, 0xAB);
        ahead.sequence += 1;
        auto both = frame;
        auto second = dln::wire::EncodeReply(ahead);
        both.insert(both.end(), second.begin(), second.end());
        return SendBytes(fd, both);
    }
    }
    return false;
}

void ScriptedServer::run() {
    std::vector<int> clients;
    uint8_t answers = 0;
    while (!stop_) {
        if (!Readable(listenFd_))
            continue;
        int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0)
            continue;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        clients.push_back(fd);
        for (int answered = 0; !stop_; ++answered) {
            uint8_t prefix[4];
            if (!ReadExactly(fd, prefix, 4, stop_))
                break;
            std::vector<uint8_t> body(prefix[0] | prefix[1] << 8 | prefix[2] << 16);
            if (!ReadExactly(fd, body.data(), body.size(), stop_))
                break;
            dln::wire::Request request;
            dln::wire::DecodeRequest(body, request);
            ++answers;
            if (answered < answers_) {
                SendBytes(fd, dln::wire::EncodeReply(ProperAnswer(request, answers)));
                continue;
            }
            if (!misbehave(fd, request, answers))
                break;
        }
    }
    for (int fd : clients)
        close(fd);
}

uint16_t UnusedPort() {
    uint16_t port = 0;
    int fd = ListenOnLoopback(port);
    close(fd);
    return port;
}

DelayingProxy::DelayingProxy(uint16_t target, std::chrono::milliseconds delay)
    : target_(target), delayMs_(delay.count()) {
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { run(); });
}

DelayingProxy::~DelayingProxy() {
    stop_ = true;
    thread_.join();
    close(listenFd_);
}

void DelayingProxy::run() {
    std::vector<std::thread> connections;
    while (!stop_) {
        if (!Readable(listenFd_))
            continue;
        int client = accept(listenFd_, nullptr, nullptr);
        if (client >= 0)
            connections.emplace_back([this, client] { serve(client); });
    }
    for (std::thread &connection : connections)
        connection.join();
}

// Forwards both ways on one thread: what the client sends waits `delay` (the calls are one
// request at a time, so each request waits its own delay), what the server sends goes at once.
void DelayingProxy::serve(int client) {
    int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(target_);
    bool up = connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    while (up && !stop_) {
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(p, 2, 50) <= 0)
            continue;
        uint8_t buffer[65536];
        for (int side = 0; side < 2 && up; ++side) {
            if ((p[side].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            ssize_t n = recv(p[side].fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                up = false;
                break;
            }
            if (side == 0) {
                for (auto until = std::chrono::steady_clock::now() +
                                  std::chrono::milliseconds(delayMs_.load());
                     !stop_ && std::chrono::steady_clock::now() < until;)
                    Pause(10);
            }
            up = SendBytes(side == 0 ? server : client, std::vector<uint8_t>(buffer, buffer + n));
        }
    }
    close(server);
    close(client);
}
