#include "dlnsim/session.h"

#include "simulator_impl.h"

namespace dlnsim {

Session::Session(std::shared_ptr<Simulator> simulator)
    : simulator_(std::move(simulator)), id_(simulator_->impl_->openSession()) {}

Session::Session(Answer answer) : answer_(std::move(answer)) {}

Session::~Session() {
    if (simulator_)
        simulator_->impl_->closeSession(id_);
}

dln::wire::Reply Session::handle(const dln::wire::Request &request) {
    heldUs_ = 0;
    dln::wire::Reply reply =
        answer_ ? answer_(request, heldUs_) : simulator_->impl_->dispatch(id_, request, &heldUs_);
    // Every reply, also one answered from a recording, ties itself to its request.
    reply.sequence = request.sequence;
    return reply;
}

Session::FrameStatus Session::handleFrame(std::span<const uint8_t> body,
                                          std::vector<uint8_t> &reply) {
    dln::wire::Request request;
    if (!dln::wire::DecodeRequest(body, request))
        return FrameStatus::Malformed;
    reply = dln::wire::EncodeReply(handle(request));
    return reply.empty() ? FrameStatus::ReplyTooLarge : FrameStatus::Replied;
}

} // namespace dlnsim
