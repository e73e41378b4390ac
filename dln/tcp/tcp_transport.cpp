// The TCP transport of libdln: one socket per counted connection, one numbered frame out and
// the reply carrying its number back per call, every step bounded by the call's deadline.
#include "server_address.h"
#include "socket.h"
#include "transport.h"

#include <cstring>
#include <span>
#include <vector>

namespace dln::client {

namespace {

using namespace std::chrono_literals;
// An address that does not answer leaves time for the next one ("localhost": ::1, 127.0.0.1).
constexpr auto kConnectTimePerAddress = 1000ms;
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

    DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply,
                        Clock::time_point deadline) override {
        wire::Request numbered = request;
        numbered.sequence = ++lastSequence_;
        std::vector<uint8_t> frame = wire::EncodeRequest(numbered);
        if (frame.empty())
            return DLN_RES_INVALID_ARGUMENT;
        // Nothing that came before the request can answer it: a reply sent ahead of its
        // request (or any other unasked-for bytes) is dropped, whatever number it carries.
        start_ = end_ = 0;
        if (!tcp::SocketDiscardArrived(socket_))
            return DLN_RES_NOT_CONNECTED;
        tcp::IoStatus status = tcp::SocketSendAll(socket_, frame.data(), frame.size(), deadline);
        if (status != tcp::IoStatus::Ok)
            return Failure(status);
        // A reply with another number answers an earlier request (a server that answered
        // twice): it is dropped, and the answer to this request may still follow.
        for (;;) {
            std::span<const uint8_t> body;
            DLN_RESULT result = nextFrame(body, deadline);
            if (!DLN_SUCCEEDED(result))
                return result;
            if (!wire::DecodeReply(body, reply))
                return DLN_RES_PROTOCOL_ERROR;
            if (reply.sequence == numbered.sequence)
                return DLN_RES_SUCCESS;
        }
    }

    std::chrono::milliseconds linger() const override { return kLinger; }

  private:
    // The body of the next whole frame from the server, receiving until it is complete. Bytes
    // past it stay for the next frame of this call; the next call drops them.
    DLN_RESULT nextFrame(std::span<const uint8_t> &body, Clock::time_point deadline) {
        for (;;) {
            size_t have = end_ - start_;
            if (have >= wire::kLengthPrefix) {
                auto length = wire::BodyLength(std::span<const uint8_t, wire::kLengthPrefix>(
                                                   buffer_.data() + start_, wire::kLengthPrefix),
                                               wire::kReplyHeader);
                if (!length)
                    return DLN_RES_PROTOCOL_ERROR;
                if (have >= wire::kLengthPrefix + *length) {
                    body = std::span<const uint8_t>(buffer_.data() + start_ + wire::kLengthPrefix,
                                                    *length);
                    start_ += wire::kLengthPrefix + *length;
                    return DLN_RES_SUCCESS;
                }
            }
            // The frame begun so far moves to the front, so that the largest one fits.
            std::memmove(buffer_.data(), buffer_.data() + start_, have);
            start_ = 0;
            end_ = have;
            size_t got = 0;
            tcp::IoStatus status = tcp::SocketReceiveSome(socket_, buffer_.data() + end_,
                                                          buffer_.size() - end_, got, deadline);
            if (status != tcp::IoStatus::Ok)
                return Failure(status);
            end_ += got;
        }
    }

    tcp::SocketHandle socket_;
    uint32_t lastSequence_ = 0;
    // Bytes received and not yet taken: [start_, end_). Sized for the largest frame, which a
    // reply usually arrives as whole, so one receive takes it in.
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(wire::kLengthPrefix + wire::kMaxBody);
    size_t start_ = 0;
    size_t end_ = 0;
};
} // namespace

DLN_RESULT OpenTransport(const std::string &host, uint16_t port, Clock::time_point deadline,
                         std::unique_ptr<Transport> &transport) {
    std::optional<tcp::ServerAddress> address = tcp::ResolveServerAddress(host, port);
    if (!address)
        return DLN_RES_CONNECTION_FAILED;
    tcp::SocketHandle socket =
        tcp::SocketConnect(address->host, address->port, kConnectTimePerAddress, deadline);
    if (socket == tcp::kNoSocket)
        return DLN_RES_CONNECTION_FAILED;
    transport = std::make_unique<TcpTransport>(socket);
    return DLN_RES_SUCCESS;
}

} // namespace dln::client
