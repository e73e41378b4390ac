#include "fault_injection.h"

namespace dlnsim {

using dln::wire::Call;

FaultInjection::FaultInjection(std::vector<Fault> faults, const RandomFaults &random)
    : plan_(std::move(faults)), random_(random) {
    if (random.calls.empty())
        randomCalls_ = {"DlnI2cMasterWrite", "DlnI2cMasterRead", "DlnSpiMasterReadWrite"};
    else
        randomCalls_.insert(random.calls.begin(), random.calls.end());
    rng_.seed(random.seed);
}

std::optional<uint16_t> FaultInjection::setFaultFor(const std::string &call, int target) {
    return plan_.match(call, target);
}

FaultInjection::Draw FaultInjection::drawRandomFault(Call call) {
    if (random_.rate <= 0 || randomCalls_.count(dln::wire::CallName(call)) == 0)
        return Draw::None;
    // Integer arithmetic on the generator's output: the same seed gives the same faults
    // with any standard library.
    constexpr uint64_t kScale = 1000000;
    if (rng_() % kScale >= static_cast<uint64_t>(random_.rate * kScale))
        return Draw::None;
    bool i2cTransfer = call == Call::I2cWrite || call == Call::I2cRead;
    bool reads = call == Call::I2cRead || call == Call::SpiReadWrite;
    Draw kinds[3];
    size_t count = 0;
    if (random_.nack && i2cTransfer)
        kinds[count++] = Draw::Nack;
    if (random_.fail)
        kinds[count++] = Draw::Fail;
    if (random_.flip && reads)
        kinds[count++] = Draw::Flip;
    return count == 0 ? Draw::None : kinds[rng_() % count];
}

void FaultInjection::flipRandomBit(std::vector<uint8_t> &bytes, std::string &note) {
    if (bytes.empty())
        return;
    size_t index = rng_() % bytes.size();
    unsigned bit = static_cast<unsigned>(rng_() % 8);
    bytes[index] = static_cast<uint8_t>(bytes[index] ^ (1u << bit));
    ++injected_;
    std::string flipped = "random fault: bit " + std::to_string(bit) + " of byte " +
                          std::to_string(index) + " flipped";
    note = note.empty() ? flipped : note + "; " + flipped;
}

} // namespace dlnsim
