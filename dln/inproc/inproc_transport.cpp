// The in-process backend: DlnConnect reaches the simulator attached by DlnInprocAttach. Each
// connection is a simulator session, and every request still goes through the wire encoding
// so that the tests exercise the same bytes as the TCP road.
#include "connection_table.h"
#include "dln_inproc.h"
#include "handle_table.h"
#include "simulator_impl.h"
#include "transport.h"

namespace dln::client {

namespace {

std::mutex gMutex;
std::shared_ptr<dlnsim::Simulator> gSimulator;

class InprocTransport : public Transport {
  public:
    explicit InprocTransport(std::shared_ptr<dlnsim::Simulator> sim)
        : sim_(std::move(sim)), session_(sim_->impl().openSession()) {}
    ~InprocTransport() override { sim_->impl().closeSession(session_); }
    InprocTransport(const InprocTransport &) = delete;
    InprocTransport &operator=(const InprocTransport &) = delete;

    // The simulator answers at once: there is nothing to bound.
    DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply,
                        Clock::time_point) override {
        std::vector<uint8_t> frame = wire::EncodeRequest(request);
        wire::Request decoded;
        if (frame.empty() ||
            !wire::DecodeRequest(std::span(frame).subspan(wire::kLengthPrefix), decoded))
            return DLN_RES_INVALID_ARGUMENT;
        frame = wire::EncodeReply(sim_->impl().dispatch(session_, decoded));
        if (frame.empty() ||
            !wire::DecodeReply(std::span(frame).subspan(wire::kLengthPrefix), reply))
            return DLN_RES_PROTOCOL_ERROR;
        return DLN_RES_SUCCESS;
    }

  private:
    std::shared_ptr<dlnsim::Simulator> sim_;
    uint32_t session_;
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
