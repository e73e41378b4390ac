// The client contract through the in-process dln: any host and port reach the attached
// simulator.
#include "dln/client_backend.h"

#include "dln_inproc.h"

namespace {

class InprocBackend : public ClientBackend {
  public:
    ~InprocBackend() override { stop(); }
    void serve(std::shared_ptr<dlnsim::Simulator> sim) override { DlnInprocAttach(sim); }
    void stop() override { DlnInprocDetach(); }
    const char *host() const override { return "localhost"; }
    const char *otherHost() const override { return "127.0.0.1"; }
    uint16_t port() const override { return 9656; }
};

} // namespace

std::unique_ptr<ClientBackend> MakeClientBackend() {
    return std::make_unique<InprocBackend>();
}
