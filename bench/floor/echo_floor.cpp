#include "echo_floor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

void NoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool ReadAll(int fd, uint8_t *data, size_t size) {
    while (size > 0) {
        ssize_t n = recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t *data, size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void Put32(uint8_t *at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const uint8_t *at) {
    return static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16 | at[3] << 24);
}

// Frames: a 4-byte body length, then the body; a request body starts with the reply's size.
void Serve(int fd) {
    std::vector<uint8_t> buffer(1 << 17);
    for (;;) {
        if (!ReadAll(fd, buffer.data(), 4))
            break;
        uint32_t body = Get32(buffer.data());
        if (body < 4 || body > buffer.size() || !ReadAll(fd, buffer.data(), body))
            break;
        uint32_t reply = Get32(buffer.data()); // body only; its prefix goes out with it
        if (reply + 4 > buffer.size() || !WriteAll(fd, buffer.data(), reply + 4))
            break;
    }
    close(fd);
}

int ConnectTo(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    NoDelay(fd);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        throw std::runtime_error(std::string("connect to the echo server: ") + strerror(errno));
    }
    return fd;
}

double MicrosecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

EchoServer::EchoServer() {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(listenFd_, 64) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error(std::string("echo server: ") + strerror(errno));
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

EchoServer::~EchoServer() {
    shutdown(listenFd_, SHUT_RDWR); // wakes the accept; every client has closed by now
    acceptThread_.join();
    close(listenFd_);
}

// One client at a time is all a measurement has, and it spares a thread per connection.
void EchoServer::acceptLoop() {
    for (;;) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        NoDelay(fd);
        Serve(fd);
    }
}

EchoClient::EchoClient(uint16_t port) : fd_(ConnectTo(port)) {}

EchoClient::~EchoClient() {
    close(fd_);
}

void EchoClient::exchange(const FrameSizes &sizes) {
    Put32(buffer_.data(), static_cast<uint32_t>(sizes.request - 4));
    Put32(buffer_.data() + 4, static_cast<uint32_t>(sizes.reply - 4));
    if (!WriteAll(fd_, buffer_.data(), sizes.request) || !ReadAll(fd_, buffer_.data(), sizes.reply))
        throw std::runtime_error("the echo server went away");
}

std::vector<double> TimeExchanges(uint16_t port, const std::vector<FrameSizes> &exchanges,
                                  int reps) {
    EchoClient client(port);
    std::vector<double> times;
    for (int rep = 0; rep < reps; ++rep) {
        auto start = std::chrono::steady_clock::now();
        for (const FrameSizes &exchange : exchanges)
            client.exchange(exchange);
        times.push_back(MicrosecondsSince(start));
    }
    return times;
}

std::vector<double> TimeConnects(uint16_t port, int reps) {
    std::vector<double> times;
    for (int rep = 0; rep < reps; ++rep) {
        auto start = std::chrono::steady_clock::now();
        { EchoClient client(port); }
        times.push_back(MicrosecondsSince(start));
    }
    return times;
}
