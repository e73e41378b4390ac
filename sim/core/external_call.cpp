#include "external_call.h"

#include "dln_api.h"

#include <algorithm>

namespace dlnsim {

using dln::wire::Call;
using dln::wire::Request;

namespace {

// The steps of one call to an external device and what the last one brings back.
struct Asking : std::enable_shared_from_this<Asking> {
    Simulator::Impl &impl;
    std::shared_ptr<Simulator::Impl::CallRecord> call;
    ExternalTransfer transfer;
    Simulator::Impl::Done done;
    size_t next = 0;

    Asking(Simulator::Impl &impl, std::shared_ptr<Simulator::Impl::CallRecord> call,
           ExternalTransfer transfer, Simulator::Impl::Done done)
        : impl(impl), call(std::move(call)), transfer(std::move(transfer)), done(std::move(done)) {}

    void askNext() {
        const ExternalRequest &step = transfer.steps[next++];
        transfer.link->ask(step, transfer.timeoutMs,
                           [self = shared_from_this()](ExternalAnswer answer) {
                               self->answered(std::move(answer));
                           });
    }

    void answered(ExternalAnswer answer) {
        if (answer.result < 0x40 && next < transfer.steps.size())
            return askNext();
        uint64_t heldUs = 0;
        dln::wire::Reply reply;
        {
            std::lock_guard lock(impl.mutex);
            TraceEntry &entry = call->entry;
            std::string note = "external " + transfer.name;
            if (!answer.note.empty())
                note += ": " + answer.note;
            entry.note = entry.note.empty() ? note : note + "; " + entry.note;
            if (answer.result < 0x40 && call->request.call != Call::I2cWrite) {
                call->reply.data = answer.bytes;
                entry.in = answer.bytes;
            }
            reply = impl.conclude(*call, answer.result < 0x40 ? DLN_RES_SUCCESS : answer.result,
                                  &heldUs);
        }
        done(std::move(reply), heldUs);
    }
};

} // namespace

void AddExternalAddresses(const ExternalDevices &externals, std::vector<uint8_t> &addresses) {
    for (const auto &[place, device] : externals.all())
        if (!place.spi && device.link)
            addresses.push_back(place.where);
    std::sort(addresses.begin(), addresses.end());
}

void AskProvider(Simulator::Impl &impl, std::shared_ptr<Simulator::Impl::CallRecord> call,
                 ExternalTransfer transfer, Simulator::Impl::Done done) {
    std::make_shared<Asking>(impl, std::move(call), std::move(transfer), std::move(done))
        ->askNext();
}

std::optional<uint32_t> Simulator::Impl::externalTransfer(const Request &request, TraceEntry &entry,
                                                          ExternalTransfer *external) {
    ExternalPlace place;
    if (request.call == Call::SpiReadWrite) {
        int line = SelectedLine(static_cast<uint8_t>(entry.address));
        if (line < 0)
            return std::nullopt;
        place = {true, static_cast<uint8_t>(line)};
    } else if ((request.call == Call::I2cWrite || request.call == Call::I2cRead) &&
               request.port == 0 && request.address <= 0x7F) {
        place = {false, request.address};
    } else {
        return std::nullopt;
    }
    const ExternalDevices::Device *device = externals.find(place);
    if (device == nullptr)
        return std::nullopt;
    std::vector<uint8_t> address;
    if (!MemoryAddressBytes(request, address) ||
        (request.call == Call::I2cRead ? !request.data.empty()
                                       : request.data.size() != request.length))
        return DLN_RES_INVALID_ARGUMENT;
    ExternalTransfer &transfer = *external;
    if (request.call == Call::I2cRead) {
        entry.out = address;
        if (!address.empty())
            transfer.steps.push_back({"write", place, address, 0});
        transfer.steps.push_back({"read", place, {}, request.length});
    } else if (request.call == Call::I2cWrite) {
        address.insert(address.end(), request.data.begin(), request.data.end());
        entry.out = address;
        transfer.steps.push_back({"write", place, address, 0});
    } else {
        transfer.steps.push_back({"transfer", place, request.data, request.length});
    }
    if (!device->link) {
        entry.note = "external " + device->name + ": no provider";
        // An I2C device that is not there does not acknowledge its address.
        return place.spi ? DLN_RES_FAIL : DLN_RES_I2C_NACK;
    }
    transfer.link = device->link;
    transfer.timeoutMs = device->timeoutMs;
    transfer.name = device->name;
    return kExternal;
}

} // namespace dlnsim
