#include "dlnsim/server.h"

#include "dlnsim/session.h"
#include "wire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <span>
#include <system_error>

namespace dlnsim {

namespace {

enum class Io { Ok, Closed, Stopped, Failed };

// Waits until fd is ready for events, or until the server stops (wakeFd readable).
Io Wait(int fd, short events, int wakeFd) {
    for (;;) {
        pollfd p[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        int n = poll(p, 2, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Io::Failed;
        if (p[1].revents != 0)
            return Io::Stopped;
        return Io::Ok;
    }
}

// A client's received bytes, handed out as whole frames. Whatever has arrived is taken in
// one receive, so a request costs one wait and one receive however it was split.
class Inbox {
  public:
    enum class Next { Frame, Closed, CutShort, BadLength, Failed };

    // Waits for the next whole frame. On Frame, body holds it until the next call; on
    // BadLength, claimed is the length its prefix announced. The socket blocks: a request
    // costs one receive, and stop() ends the wait by shutting the socket down.
    Next next(int fd, std::span<const uint8_t> &body) {
        for (;;) {
            size_t available = bytes_.size() - start_;
            if (available >= dln::wire::kLengthPrefix) {
                std::span<const uint8_t, dln::wire::kLengthPrefix> prefix(bytes_.data() + start_,
                                                                          dln::wire::kLengthPrefix);
                auto length = dln::wire::BodyLength(prefix, dln::wire::kRequestHeader);
                if (!length) {
                    claimed = dln::wire::AnnouncedLength(prefix);
                    return Next::BadLength;
                }
                if (available >= dln::wire::kLengthPrefix + *length) {
                    body = {bytes_.data() + start_ + dln::wire::kLengthPrefix, *length};
                    start_ += dln::wire::kLengthPrefix + *length;
                    return Next::Frame;
                }
            }
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(start_));
            start_ = 0;
            ssize_t n = recv(fd, chunk_.data(), chunk_.size(), 0);
            if (n > 0)
                bytes_.insert(bytes_.end(), chunk_.begin(), chunk_.begin() + n);
            else if (n == 0 || errno == ECONNRESET)
                return bytes_.empty() ? Next::Closed : Next::CutShort;
            else if (errno != EINTR)
                return Next::Failed;
        }
    }
    uint32_t claimed = 0;

  private:
    std::vector<uint8_t> bytes_;
    size_t start_ = 0; // bytes before it are handed out already
    std::vector<uint8_t> chunk_ = std::vector<uint8_t>(65536);
};

// Sends on a blocking client socket; stop() ends a send stuck on a client that does not read.
Io SendAll(int fd, const uint8_t *data, size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            return (errno == EPIPE || errno == ECONNRESET) ? Io::Closed : Io::Failed;
        }
    }
    return Io::Ok;
}

std::string PeerName(const sockaddr_storage &address) {
    char host[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (address.ss_family == AF_INET) {
        auto &in = reinterpret_cast<const sockaddr_in &>(address);
        inet_ntop(AF_INET, &in.sin_addr, host, sizeof host);
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        auto &in6 = reinterpret_cast<const sockaddr_in6 &>(address);
        inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
        port = ntohs(in6.sin6_port);
    }
    return std::string(host) + ":" + std::to_string(port);
}

std::runtime_error ListenError(const std::string &where, const std::string &why) {
    return std::runtime_error("cannot listen on " + where + ": " + why);
}

} // namespace

Server::Server(std::shared_ptr<Simulator> simulator, Log log)
    : simulator_(std::move(simulator)), log_(std::move(log)) {
    if (!log_)
        log_ = [](const std::string &line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        };
}

Server::~Server() {
    stop();
}

void Server::start(uint16_t port, const std::string &bindAddress) {
    std::string where = bindAddress + ":" + std::to_string(port);
    if (listenFd_ >= 0)
        throw ListenError(where,
                          "this server is already listening on port " + std::to_string(port_));
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *addresses = nullptr;
    int status = getaddrinfo(bindAddress.c_str(), std::to_string(port).c_str(), &hints, &addresses);
    if (status != 0)
        throw ListenError(where, gai_strerror(status));
    int fd = socket(addresses->ai_family, addresses->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                    addresses->ai_protocol);
    if (fd < 0) {
        freeaddrinfo(addresses);
        throw ListenError(where, std::strerror(errno));
    }
    int one = 1;
    // A restarted server rebinds at once although the last run's connections linger.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bool ok = bind(fd, addresses->ai_addr, addresses->ai_addrlen) == 0 && listen(fd, 64) == 0;
    int error = errno;
    freeaddrinfo(addresses);
    if (!ok) {
        close(fd);
        throw ListenError(where, std::strerror(error));
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);
    port_ = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 &>(bound).sin6_port)
                                        : ntohs(reinterpret_cast<sockaddr_in &>(bound).sin_port);
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(fd);
        throw ListenError(where, std::strerror(errno));
    }
    listenFd_ = fd;
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

void Server::stop() {
    if (listenFd_ < 0)
        return;
    stopping_ = true;
    ssize_t written = write(wakeWrite_, "x", 1);
    (void)written;
    acceptThread_.join(); // no client is added from now on
    {
        // Wakes every client thread from its receive or send; each closes its own socket.
        std::lock_guard lock(clientsMutex_);
        for (Client &client : clients_)
            if (client.fd >= 0)
                shutdown(client.fd, SHUT_RDWR);
    }
    for (Client &client : clients_)
        if (client.thread.joinable())
            client.thread.join();
    clients_.clear();
    close(listenFd_);
    close(wakeRead_);
    close(wakeWrite_);
    listenFd_ = wakeRead_ = wakeWrite_ = -1;
    stopping_ = false;
}

void Server::acceptLoop() {
    for (;;) {
        if (Wait(listenFd_, POLLIN, wakeRead_) != Io::Ok)
            return;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = accept4(listenFd_, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors: pause rather than spin, the clients we have may close.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue; // otherwise the client gave up meanwhile
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        reapFinishedClients();
        std::lock_guard lock(clientsMutex_);
        Client &client = clients_.emplace_back();
        client.fd = fd;
        client.peer = PeerName(peer);
        try {
            client.thread = std::thread([this, &client] { serve(client); });
        } catch (const std::system_error &e) {
            log_("dln-sim: client " + client.peer + " refused: " + e.what());
            close(fd);
            clients_.pop_back();
        }
    }
}

void Server::reapFinishedClients() {
    std::lock_guard lock(clientsMutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->done) {
            it->thread.join();
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

void Server::serve(Client &client) {
    auto session = std::make_unique<Session>(simulator_);
    Inbox inbox;
    std::vector<uint8_t> reply;
    std::string why;
    for (;;) {
        std::span<const uint8_t> body;
        Inbox::Next next = inbox.next(client.fd, body);
        if (next != Inbox::Next::Frame) {
            switch (next) {
            case Inbox::Next::Closed:
                why = "disconnected";
                break;
            case Inbox::Next::CutShort:
                why = "dropped: disconnected in the middle of a frame";
                break;
            case Inbox::Next::BadLength:
                why = "dropped: frame length " + std::to_string(inbox.claimed) + " outside " +
                      std::to_string(dln::wire::kRequestHeader) + ".." +
                      std::to_string(dln::wire::kMaxBody);
                break;
            default:
                why = "dropped: receive failed";
                break;
            }
            break;
        }
        Session::FrameStatus status = session->handleFrame(body, reply);
        if (status == Session::FrameStatus::Malformed) {
            why = "dropped: malformed request";
            break;
        }
        if (status == Session::FrameStatus::ReplyTooLarge) {
            why = "dropped: reply does not fit in a frame";
            break;
        }
        if (SendAll(client.fd, reply.data(), reply.size()) != Io::Ok) {
            why = "dropped: send failed";
            break;
        }
    }
    if (stopping_)
        why = "closed: the server stops";
    session.reset();
    {
        std::lock_guard lock(clientsMutex_); // stop() must never shut down a reused number
        close(client.fd);
        client.fd = -1;
    }
    log_("dln-sim: client " + client.peer + " " + why);
    client.done = true;
}

} // namespace dlnsim
