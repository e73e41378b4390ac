#include "connection.h"

namespace dln::client {

Connection::Connection(std::unique_ptr<Transport> transport)
    : linger_(transport->linger()), transport_(std::move(transport)) {}

DLN_RESULT Connection::exchange(const wire::Request &request, wire::Reply &reply) {
    std::lock_guard lock(mutex_);
    if (!transport_)
        return DLN_RES_NOT_CONNECTED;
    DLN_RESULT result = transport_->exchange(request, reply);
    if (DLN_SUCCEEDED(result) && reply.call != request.call)
        result = DLN_RES_PROTOCOL_ERROR;
    if (!DLN_SUCCEEDED(result))
        transport_.reset(); // the stream is out of step: nothing more can be trusted on it
    return result;
}

bool Connection::usable() {
    std::lock_guard lock(mutex_);
    return transport_ != nullptr;
}

void Connection::close() {
    std::lock_guard lock(mutex_);
    transport_.reset();
}

} // namespace dln::client
