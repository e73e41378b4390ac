// The TCP transport of libdln: one socket per counted connection, one frame out and one
// frame back per call, every step bounded in time.
#include "server_address.h"
#include "socket.h"
#include "transport.h"

#include <optional>
#include <span>
#include <vector>

namespace dln::client {

namespace {

using namespace std::chrono_literals;
constexpr auto kConnectTimePerAddress = 1000ms;
constexpr auto kConnectTimeTotal = 2000ms;
// Every simulated call answers at once; a real adapter within milliseconds.
constexpr auto kReplyTime = 2000ms;
// The library connects and disconnects around every method; a connection kept this long
// spares the next method a TCP connect and the server a new client thread.
constexpr auto kLinger = 1000ms;

DLN_RESULT Failure(tcp::IoStatus status) {
    return status == tcp::IoStatus::TimedOut ? DLN_RES_TIMEOUT : DLN_RES_NOT_CONNECTED;
}

class TcpTransport : public Transport {
  public:
    explicit TcpTransport(tcp::SocketHandle socket) : socket_(socket) {}
    ~TcpTransport() override { tcp::SocketClose(socket_); }
    TcpTransport(const TcpTransport &) = delete;
    TcpTransport &operator=(const TcpTransport &) = delete;

    DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply) override {
        std::vector<uint8_t> frame = wire::EncodeRequest(request);
        if (frame.empty())
            return DLN_RES_INVALID_ARGUMENT;
        auto deadline = tcp::Clock::now() + kReplyTime;
        tcp::IoStatus status = tcp::SocketSendAll(socket_, frame.data(), frame.size(), deadline);
        if (status != tcp::IoStatus::Ok)
            return Failure(status);
        // The reply usually arrives whole, so one receive into a buffer sized for the
        // largest frame takes it in.
        buffer_.resize(wire::kLengthPrefix + wire::kMaxBody);
        size_t have = 0;
        std::optional<uint32_t> length;
        while (!length || have < wire::kLengthPrefix + *length) {
            size_t got = 0;
            status = tcp::SocketReceiveSome(socket_, buffer_.data() + have, buffer_.size() - have,
                                            got, deadline);
            if (status != tcp::IoStatus::Ok)
                return Failure(status);
            have += got;
            if (!length && have >= wire::kLengthPrefix) {
                length = wire::BodyLength(std::span<const uint8_t, wire::kLengthPrefix>(
                                              buffer_.data(), wire::kLengthPrefix),
                                          wire::kReplyHeader);
                if (!length)
                    return DLN_RES_PROTOCOL_ERROR;
            }
        }
        // More than one reply to one request: the stream is not ours to trust.
        if (have != wire::kLengthPrefix + *length)
            return DLN_RES_PROTOCOL_ERROR;
        std::span<const uint8_t> body(buffer_.data() + wire::kLengthPrefix, *length);
        return wire::DecodeReply(body, reply) ? DLN_RES_SUCCESS : DLN_RES_PROTOCOL_ERROR;
    }

    std::chrono::milliseconds linger() const override { return kLinger; }

  private:
    tcp::SocketHandle socket_;
    std::vector<uint8_t> buffer_;
};

} // namespace

DLN_RESULT OpenTransport(const std::string &host, uint16_t port,
                         std::unique_ptr<Transport> &transport) {
    std::optional<tcp::ServerAddress> address = tcp::ResolveServerAddress(host, port);
    if (!address)
        return DLN_RES_CONNECTION_FAILED;
    tcp::SocketHandle socket =
        tcp::SocketConnect(address->host, address->port, kConnectTimePerAddress,
                           tcp::Clock::now() + kConnectTimeTotal);
    if (socket == tcp::kNoSocket)
        return DLN_RES_CONNECTION_FAILED;
    transport = std::make_unique<TcpTransport>(socket);
    return DLN_RES_SUCCESS;
}

} // namespace dln::client
