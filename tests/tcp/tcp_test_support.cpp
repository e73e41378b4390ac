#include "tcp_test_support.h"

#include "wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

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

ScriptedServer::ScriptedServer(int answers, Then then) : answers_(answers), then_(then) {
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    thread_.join();
    close(listenFd_);
}

void ScriptedServer::run() {
    std::vector<int> clients;
    while (!stop_) {
        if (!Readable(listenFd_))
            continue;
        int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0)
            continue;
        clients.push_back(fd);
        for (int answered = 0; !stop_; ++answered) {
            uint8_t prefix[4];
            if (!ReadExactly(fd, prefix, 4, stop_))
                break;
            std::vector<uint8_t> body(prefix[0] | prefix[1] << 8 | prefix[2] << 16);
            if (!ReadExactly(fd, body.data(), body.size(), stop_))
                break;
            if (answered >= answers_) {
                if (then_ == Then::Close)
                    shutdown(fd, SHUT_RDWR);
                while (!stop_ && then_ == Then::StaySilent)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                break;
            }
            dln::wire::Request request;
            dln::wire::DecodeRequest(body, request);
            dln::wire::Reply reply;
            reply.call = request.call;
            reply.words = {1};
            auto frame = dln::wire::EncodeReply(reply);
            send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
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
