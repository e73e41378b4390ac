#include "line_provider.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

LineProvider::LineProvider(uint16_t port, const nlohmann::json &hello, Answer answer)
    : answer_(std::move(answer)) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return;
    send(hello.dump() + "\n");
    greeting_ = readLine();
    thread_ = std::thread([this] {
        for (std::string line; !(line = readLine()).empty();) {
            std::string reply = answer_(nlohmann::json::parse(line));
            if (reply == "close") {
                shutdown(fd_, SHUT_RDWR);
                return;
            }
            if (!reply.empty())
                send(reply);
        }
    });
}

LineProvider::~LineProvider() {
    shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    close(fd_);
}

void LineProvider::send(const std::string &text) {
    for (size_t sent = 0; sent < text.size();) {
        ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

std::string LineProvider::readLine() {
    for (;;) {
        auto end = buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        char chunk[4096];
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return {};
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}
