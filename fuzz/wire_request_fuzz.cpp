// Any bytes as a request frame body reaching the simulator: the decoder refuses what it cannot
// read, a decoded request survives a round trip, and the simulator answers it with a reply
// that fits in a frame.
#include "dlnsim/scenario.h"
#include "dlnsim/session.h"
#include "wire.h"

#include <cstdlib>

namespace {

dlnsim::Session &RobotSession() {
    static dlnsim::Session session(
        dlnsim::LoadScenario(dlnsim::DefaultScenarioText(), dlnsim::kDefaultScenarioName)
            .traceLimit(16)
            .build());
    return session;
}

bool Same(const dln::wire::Request &a, const dln::wire::Request &b) {
    return a.call == b.call && a.sequence == b.sequence && a.handle == b.handle &&
           a.port == b.port && a.address == b.address &&
           a.memoryAddressLength == b.memoryAddressLength && a.memoryAddress == b.memoryAddress &&
           a.value == b.value && a.length == b.length && a.data == b.data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace dln::wire;
    std::span<const uint8_t> body(data, size);
    if (size >= kLengthPrefix)
        (void)BodyLength(std::span<const uint8_t, kLengthPrefix>(data, kLengthPrefix),
                         kRequestHeader);
    Reply reply;
    (void)DecodeReply(body, reply);
    Request request;
    if (!DecodeRequest(body, request))
        return 0;
    std::vector<uint8_t> frame = EncodeRequest(request);
    Request again;
    if (frame.size() < kLengthPrefix ||
        !DecodeRequest(std::span<const uint8_t>(frame).subspan(kLengthPrefix), again) ||
        !Same(request, again))
        std::abort();
    if (EncodeReply(RobotSession().handle(request)).empty())
        std::abort();
    return 0;
}
