// Calls that go to external devices: how a transfer becomes provider requests, and how the
// provider's answer (or its absence) ends the call.
#pragma once

#include "simulator_impl.h"

#include <memory>
#include <vector>

namespace dlnsim {

// Adds the I2C addresses of external devices whose provider is connected to a scan's sorted
// addresses.
void AddExternalAddresses(const ExternalDevices &externals, std::vector<uint8_t> &addresses);

// Asks transfer's provider, step by step, and ends call with the answer through done. Runs
// without the simulator's lock; takes it only to end the call.
void AskProvider(Simulator::Impl &impl, std::shared_ptr<Simulator::Impl::CallRecord> call,
                 ExternalTransfer transfer, Simulator::Impl::Done done);

} // namespace dlnsim
