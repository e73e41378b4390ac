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

Session::FrameStatus Session::startFrame(std::span<const uint8_t> body, std::vector<uint8_t> &reply,
                                         FrameDone later) {
    dln::wire::Request request;
    if (!dln::wire::DecodeRequest(body, request))
        return FrameStatus::Malformed;
    heldUs_ = 0;
    std::optional<dln::wire::Reply> now;
    if (answer_) {
        now = answer_(request, heldUs_);
    } else {
        uint32_t sequence = request.sequence;
        now = simulator_->impl_->start(
            id_, request, &heldUs_,
            [sequence, later = std::move(later)](dln::wire::Reply answered, uint64_t heldUs) {
                answered.sequence = sequence;
                std::vector<uint8_t> frame = dln::wire::EncodeReply(answered);
                FrameStatus status =
                    frame.empty() ? FrameStatus::ReplyTooLarge : FrameStatus::Replied;
                later(status, std::move(frame), heldUs);
            });
    }
    if (!now)
        return FrameStatus::Pending;
    now->sequence = request.sequence;
    reply = dln::wire::EncodeReply(*now);
    return reply.empty() ? FrameStatus::ReplyTooLarge : FrameStatus::Replied;
}

} // namespace dlnsim
