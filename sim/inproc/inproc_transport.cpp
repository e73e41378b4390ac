// The in-process backend: DlnConnect reaches the simulator attached by DlnInprocAttach. Each
// connection is a simulator session, and every request still goes through the wire encoding
// so that the tests exercise the same bytes as the TCP road.
#include "connection_table.h"
#include "dln_inproc.h"
#include "dlnsim/session.h"
#include "transport.h"

namespace dln::client {

namespace {

std::mutex gMutex;
std::shared_ptr<dlnsim::Simulator> gSimulator;

class InprocTransport : public Transport {
  public:
    explicit InprocTransport(std::shared_ptr<dlnsim::Simulator> sim) : session_(std::move(sim)) {}

    // The simulator answers at once, or within an external device's time-out: there is
    // nothing to bound.
    DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply,
                        Clock::time_point) override {
        std::vector<uint8_t> frame = wire::EncodeRequest(request);
        if (frame.empty())
            return DLN_RES_INVALID_ARGUMENT;
        std::vector<uint8_t> replyFrame;
        switch (session_.handleFrame(std::span(frame).subspan(wire::kLengthPrefix), replyFrame)) {
        case dlnsim::Session::FrameStatus::Malformed:
            return DLN_RES_INVALID_ARGUMENT;
        case dlnsim::Session::FrameStatus::ReplyTooLarge:
            return DLN_RES_PROTOCOL_ERROR;
        case dlnsim::Session::FrameStatus::Replied:
        case dlnsim::Session::FrameStatus::Pending: // handleFrame waits instead
            break;
        }
        if (!wire::DecodeReply(std::span(replyFrame).subspan(wire::kLengthPrefix), reply))
            return DLN_RES_PROTOCOL_ERROR;
        return DLN_RES_SUCCESS;
    }

  private:
    dlnsim::Session session_;
};

} // namespace

DLN_RESULT OpenTransport(const std::string &, uint16_t, Clock::time_point,
                         std::unique_ptr<Transport> &transport) {
    std::shared_ptr<dlnsim::Simulator> sim;
    {
        std::lock_guard lock(gMutex);
        sim = gSimulator;
    }
    if (!sim)
        return DLN_RES_CONNECTION_FAILED;
    transport = std::make_unique<InprocTransport>(std::move(sim));
    return DLN_RES_SUCCESS;
}

} // namespace dln::client

void DlnInprocAttach(std::shared_ptr<dlnsim::Simulator> sim) {
    {
        std::lock_guard lock(dln::client::gMutex);
        dln::client::gSimulator = std::move(sim);
    }
    dln::client::DropAllConnections();
}

void DlnInprocDetach() {
    DlnInprocAttach(nullptr);
}
