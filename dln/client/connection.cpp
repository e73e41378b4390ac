#include "connection.h"

namespace dln::client {

Connection::Connection(std::unique_ptr<Transport> transport)
    : linger_(transport->linger()), transport_(std::move(transport)) {}

DLN_RESULT Connection::exchange(const wire::Request &request, wire::Reply &reply,
                                Clock::time_point deadline) {
    std::unique_lock lock(mutex_, deadline);
    if (!lock.owns_lock())
        return DLN_RES_TIMEOUT;
    if (!usable_ || !transport_) {
        transport_.reset();
        return DLN_RES_NOT_CONNECTED;
    }
    // The call's time ran out while it waited: the stream has not been touched and stays sound.
    if (Clock::now() >= deadline)
        return DLN_RES_TIMEOUT;
    DLN_RESULT result = transport_->exchange(request, reply, deadline);
    if (DLN_SUCCEEDED(result) && reply.call != request.call)
        result = DLN_RES_PROTOCOL_ERROR;
    if (!DLN_SUCCEEDED(result))
        usable_ = false; // the stream is out of step: nothing more can be trusted on it
    if (!usable_)
        transport_.reset(); // also when close() came while this exchange was under way
    return result;
}

void Connection::close() {
    usable_ = false;
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock())
        transport_.reset();
}

} // namespace dln::client
