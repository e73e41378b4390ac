#include "dlnsim/server.h"

#include "dlnsim/session.h"
#include "wire.h"

#include <asio.hpp>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <list>
#include <optional>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

namespace dlnsim {

using asio::ip::tcp;

namespace {

std::string PeerName(const tcp::socket &socket) {
    asio::error_code error;
    tcp::endpoint peer = socket.remote_endpoint(error);
    if (error)
        return "?:0";
    return peer.address().to_string() + ":" + std::to_string(peer.port());
}

std::runtime_error ListenError(const std::string &where, const std::string &why) {
    return std::runtime_error("cannot listen on " + where + ": " + why);
}

// The address to listen on, as getaddrinfo finds it for listening, so that a name that cannot
// be resolved is named in the system's own words.
tcp::endpoint ListenEndpoint(const std::string &bindAddress, uint16_t port,
                             const std::string &where) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *addresses = nullptr;
    int status = getaddrinfo(bindAddress.c_str(), std::to_string(port).c_str(), &hints, &addresses);
    if (status != 0)
        throw ListenError(where, gai_strerror(status));
    tcp::endpoint endpoint;
    bool fits = addresses->ai_addrlen <= endpoint.capacity();
    if (fits) {
        std::memcpy(endpoint.data(), addresses->ai_addr, addresses->ai_addrlen);
        endpoint.resize(addresses->ai_addrlen);
    }
    freeaddrinfo(addresses);
    if (!fits)
        throw ListenError(where, "not an IPv4 or IPv6 address");
    return endpoint;
}

#ifdef _WIN32
// Windows lets a second socket take a port bound with SO_REUSEADDR; exclusive use instead.
using ExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
#endif

} // namespace

class Client;

struct Server::Impl {
    NewSession newSession;
    Log log;
    size_t maxClients;
    asio::io_context io;
    std::optional<tcp::acceptor> acceptor;
    asio::steady_timer acceptPause{io};
    std::thread runner;
    uint16_t port = 0;
    // Touched by the serving thread only.
    std::list<std::shared_ptr<Client>> clients;
    bool stopping = false;

    void accept();
    void admit(tcp::socket socket);
};

// One connection: whatever has arrived is taken in one receive and handed out as whole
// frames, each answered before the next is read. A reply the session holds back (its
// latency model) waits on the connection's timer, so the one serving thread goes on serving
// the others meanwhile and this client's replies still leave in order. It stays alive while an
// operation of its own is pending, and ends once, logging why.
class Client : public std::enable_shared_from_this<Client> {
  public:
    Client(Server::Impl &server, tcp::socket socket, std::string peer)
        : server_(server), socket_(std::move(socket)), peer_(std::move(peer)),
          session_(server.newSession()), hold_(server.io) {}

    void start() { readMore(); }

    // Closes the connection and its session and logs why; later calls do nothing.
    void end(const std::string &why) {
        if (ended_)
            return;
        ended_ = true;
        asio::error_code ignored;
        socket_.close(ignored); // pending operations finish with operation_aborted
        hold_.cancel();
        session_.reset(); // closes the handles it opened
        server_.log("dln-sim: client " + peer_ + " " +
                    (server_.stopping ? std::string("closed: the server stops") : why));
        server_.clients.remove(shared_from_this());
    }

  private:
    void readMore() {
        socket_.async_read_some(asio::buffer(chunk_),
                                [self = shared_from_this()](asio::error_code error, size_t got) {
                                    self->received(error, got);
                                });
    }

    void received(const asio::error_code &error, size_t got) {
        if (ended_)
            return;
        if (error == asio::error::eof || error == asio::error::connection_reset)
            return end(unread() == 0 ? "disconnected"
                                     : "dropped: disconnected in the middle of a frame");
        if (error)
            return end("dropped: receive failed");
        bytes_.insert(bytes_.end(), chunk_.begin(), chunk_.begin() + static_cast<ptrdiff_t>(got));
        answerNextFrame();
    }

    size_t unread() const { return bytes_.size() - start_; }

    // Answers the next whole frame, or reads on when none has arrived whole.
    void answerNextFrame() {
        if (unread() < dln::wire::kLengthPrefix)
            return readMore();
        std::span<const uint8_t, dln::wire::kLengthPrefix> prefix(bytes_.data() + start_,
                                                                  dln::wire::kLengthPrefix);
        auto length = dln::wire::BodyLength(prefix, dln::wire::kRequestHeader);
        if (!length) {
            return end("dropped: frame length " +
                       std::to_string(dln::wire::AnnouncedLength(prefix)) + " outside " +
                       std::to_string(dln::wire::kRequestHeader) + ".." +
                       std::to_string(dln::wire::kMaxBody));
        }
        if (unread() < dln::wire::kLengthPrefix + *length)
            return readMore();
        std::span<const uint8_t> body(bytes_.data() + start_ + dln::wire::kLengthPrefix, *length);
        auto taken = std::chrono::steady_clock::now();
        // A call to an external device is answered later, from its provider's thread: the
        // reply comes back to this thread through the event loop, which serves the other
        // clients meanwhile.
        auto later = [self = shared_from_this(), taken](
                         Session::FrameStatus status, std::vector<uint8_t> reply, uint64_t heldUs) {
            asio::post(self->server_.io,
                       [self, taken, status, reply = std::move(reply), heldUs]() mutable {
                           if (self->ended_)
                               return;
                           self->reply_ = std::move(reply);
                           self->replied(status, taken, heldUs);
                       });
        };
        Session::FrameStatus status = session_->startFrame(body, reply_, std::move(later));
        if (status == Session::FrameStatus::Malformed)
            return end("dropped: malformed request");
        start_ += dln::wire::kLengthPrefix + *length;
        if (start_ == bytes_.size()) {
            bytes_.clear();
            start_ = 0;
        }
        if (status != Session::FrameStatus::Pending)
            replied(status, taken, session_->heldUs());
    }

    // Sends the reply in reply_ once it has been held for heldUs from taken.
    void replied(Session::FrameStatus status, std::chrono::steady_clock::time_point taken,
                 uint64_t heldUs) {
        if (status == Session::FrameStatus::ReplyTooLarge)
            return end("dropped: reply does not fit in a frame");
        if (heldUs == 0)
            return sendReply();
        hold_.expires_at(taken + std::chrono::microseconds(heldUs));
        hold_.async_wait([self = shared_from_this()](asio::error_code) {
            if (!self->ended_)
                self->sendReply();
        });
    }

    void sendReply() {
        asio::async_write(socket_, asio::buffer(reply_),
                          [self = shared_from_this()](asio::error_code error, size_t) {
                              if (self->ended_)
                                  return;
                              if (error)
                                  return self->end("dropped: send failed");
                              self->compact();
                              self->answerNextFrame();
                          });
    }

    // Drops the bytes handed out already, so the buffer holds at most one frame and a chunk.
    void compact() {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(start_));
        start_ = 0;
    }

    Server::Impl &server_;
    tcp::socket socket_;
    std::string peer_;
    std::unique_ptr<Session> session_; // null once ended
    bool ended_ = false;
    std::vector<uint8_t> bytes_;
    size_t start_ = 0; // bytes before it are answered already
    std::array<uint8_t, 16384> chunk_;
    std::vector<uint8_t> reply_;
    asio::steady_timer hold_;
};

void Server::Impl::accept() {
    acceptor->async_accept([this](asio::error_code error, tcp::socket socket) {
        if (stopping || error == asio::error::operation_aborted)
            return;
        if (error == asio::error::no_descriptors || error == asio::error::no_buffer_space ||
            error == asio::error::no_memory) {
            // Out of descriptors: pause rather than spin, the clients we have may close.
            acceptPause.expires_after(std::chrono::milliseconds(50));
            acceptPause.async_wait([this](asio::error_code waited) {
                if (!waited && !stopping)
                    accept();
            });
            return;
        }
        if (!error) // otherwise the client gave up meanwhile
            admit(std::move(socket));
        accept();
    });
}

void Server::Impl::admit(tcp::socket socket) {
    std::string peer = PeerName(socket);
    if (clients.size() >= maxClients) {
        log("dln-sim: client " + peer + " refused: " + std::to_string(maxClients) +
            " clients are connected already (--max-clients)");
        asio::error_code ignored;
        socket.close(ignored);
        return;
    }
    asio::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    auto client = std::make_shared<Client>(*this, std::move(socket), std::move(peer));
    clients.push_back(client);
    client->start();
}

Server::Server(std::shared_ptr<Simulator> simulator, Log log, size_t maxClients)
    : Server([simulator] { return std::make_unique<Session>(simulator); }, std::move(log),
             maxClients) {}

Server::Server(NewSession newSession, Log log, size_t maxClients)
    : impl_(std::make_unique<Impl>()) {
    impl_->newSession = std::move(newSession);
    impl_->log = std::move(log);
    impl_->maxClients = maxClients;
    if (!impl_->log)
        impl_->log = [](const std::string &line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        };
}

Server::~Server() {
    stop();
}

uint16_t Server::port() const {
    return impl_->port;
}

void Server::start(uint16_t port, const std::string &bindAddress) {
    std::string where = bindAddress + ":" + std::to_string(port);
    if (impl_->acceptor)
        throw ListenError(where, "this server is already listening on port " +
                                     std::to_string(impl_->port));
    tcp::endpoint endpoint = ListenEndpoint(bindAddress, port, where);
    tcp::acceptor acceptor(impl_->io);
    asio::error_code error;
    acceptor.open(endpoint.protocol(), error);
    if (!error) {
#ifdef _WIN32
        acceptor.set_option(ExclusiveAddressUse(true), error);
#else
        // A restarted server rebinds at once although the last run's connections linger.
        acceptor.set_option(tcp::acceptor::reuse_address(true), error);
#endif
    }
    if (!error)
        acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(64, error);
    if (error)
        throw ListenError(where, error.message());
    impl_->port = acceptor.local_endpoint().port();
    impl_->acceptor.emplace(std::move(acceptor));
    impl_->io.restart();
    impl_->accept();
    impl_->runner = std::thread([this] { impl_->io.run(); });
}

void Server::stop() {
    if (!impl_->acceptor)
        return;
    asio::post(impl_->io, [impl = impl_.get()] {
        impl->stopping = true;
        asio::error_code ignored;
        impl->acceptor->close(ignored);
        impl->acceptPause.cancel();
        // Ending a client removes it from the list.
        auto clients = impl->clients;
        for (auto &client : clients)
            client->end("closed: the server stops");
    });
    impl_->runner.join(); // the serving thread runs out of work once every client has ended
    impl_->acceptor.reset();
    impl_->stopping = false;
}

} // namespace dlnsim
