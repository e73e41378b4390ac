#include "scenario_seed.h"

#include "latency_seed.h"

#include <array>
#include <cstdio>
#include <map>
#include <optional>

namespace dlnsim::replay {

using dln::record::CallRecord;
using dln::wire::Call;
using nlohmann::json;

namespace {

std::string Hex(unsigned value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

// One I2C device as a register device would see the recorded traffic: the values it must
// have held before the program wrote anything, and the first answer it could not give.
class RegisterModel {
  public:
    void write(const std::vector<uint8_t> &bytes) {
        if (bytes.empty())
            return;
        pointer_ = bytes[0];
        for (size_t i = 1; i < bytes.size(); ++i)
            known_[pointer_++] = bytes[i];
    }
    void read(const std::vector<uint8_t> &bytes, uint64_t seq) {
        for (uint8_t byte : bytes) {
            uint8_t at = pointer_++;
            if (!known_[at]) {
                known_[at] = byte;
                seeded_[at] = byte;
            } else if (*known_[at] != byte && conflict_.empty()) {
                conflict_ = "register " + Hex(at) + " read " + Hex(byte) + " at call " +
                            std::to_string(seq) + " where a register device would answer " +
                            Hex(*known_[at]) + ", what it held or was written last; its " +
                            "values change by themselves";
            }
        }
    }
    const std::string &conflict() const { return conflict_; }
    json registers() const {
        json registers = json::object();
        for (auto &[at, value] : seeded_)
            registers[Hex(at)] = Hex(value);
        return registers;
    }

  private:
    uint8_t pointer_ = 0;
    std::array<std::optional<uint8_t>, 256> known_;
    std::map<uint8_t, uint8_t> seeded_;
    std::string conflict_;
};

// What a line's transfers show of a serial EEPROM: its identification answer (0x9F) and
// page programs (0x02), the two that no other device of ours answers.
struct EepromSigns {
    std::vector<uint8_t> id; // manufacturer, type, capacity code
    uint64_t pagePrograms = 0;

    void transfer(const std::vector<uint8_t> &sent, const std::vector<uint8_t> &received) {
        if (sent.size() >= 4 && sent[0] == 0x9F && received.size() >= 4)
            id.assign(received.begin() + 1, received.begin() + 4);
        if (sent.size() >= 5 && sent[0] == 0x02)
            ++pagePrograms;
    }
    bool seen() const { return !id.empty() && pagePrograms > 0; }
    json entry(uint8_t line) const {
        json eeprom = {{"ss", line}, {"model", "eeprom"}, {"id", id}};
        // The capacity code is the size's power of two on the chips that follow the JEDEC
        // convention; others keep the model's default.
        if (id[2] >= 10 && id[2] <= 24)
            eeprom["size"] = 1u << id[2];
        eeprom["comment"] = "identification and page programs seen in the recording; its "
                            "memory starts erased";
        return eeprom;
    }
};

} // namespace

SeededScenario SeedScenario(const std::vector<CallRecord> &recording,
                            const std::string &recordingName) {
    SeededScenario seeded;
    json adapter = json::object();
    std::map<uint8_t, RegisterModel> devices; // by 7-bit address, port 0 only
    std::map<uint8_t, uint64_t> spiTransfers; // by slave-select line
    std::map<uint8_t, bool> spiLoopback;      // every transfer came back as sent
    std::map<uint8_t, EepromSigns> eeproms;   // by slave-select line
    uint8_t ssMask = 0xFE;                    // line 0 selected at power-on
    uint64_t otherPorts = 0;
    for (const CallRecord &call : recording) {
        if (!Succeeded(call))
            continue;
        const auto &request = call.request;
        const auto &reply = call.reply;
        bool onOtherPort = request.port != 0;
        switch (request.call) {
        case Call::GetVersion:
            if (reply.words.size() == 5) {
                adapter["type"] = Hex(reply.words[0], 4);
                adapter["hardwareVersion"] = Hex(reply.words[1], 8);
                adapter["firmwareVersion"] = Hex(reply.words[2], 8);
                adapter["serverVersion"] = Hex(reply.words[3], 8);
                adapter["libraryVersion"] = Hex(reply.words[4], 8);
            }
            break;
        case Call::I2cGetPortCount:
            adapter["i2cPorts"] = reply.words.at(0);
            break;
        case Call::SpiGetPortCount:
            adapter["spiPorts"] = reply.words.at(0);
            break;
        case Call::I2cGetFrequency:
            if (!onOtherPort)
                adapter["i2cFrequency"] = reply.words.at(0);
            break;
        case Call::SpiGetFrequency:
            if (!onOtherPort)
                adapter["spiFrequency"] = reply.words.at(0);
            break;
        case Call::I2cScanDevices:
            if (!onOtherPort)
                for (uint8_t address : reply.data)
                    devices[address];
            break;
        case Call::I2cWrite:
            if (!onOtherPort)
                devices[request.address].write(request.data);
            break;
        case Call::I2cRead:
            if (!onOtherPort)
                devices[request.address].read(reply.data, call.seq);
            break;
        case Call::SpiSetSS:
            if (!onOtherPort)
                ssMask = request.address;
            break;
        case Call::SpiReadWrite:
            for (uint8_t line = 0; line < 8 && !onOtherPort; ++line)
                if ((ssMask & (1u << line)) == 0) {
                    ++spiTransfers[line];
                    spiLoopback.try_emplace(line, true);
                    spiLoopback[line] = spiLoopback[line] && reply.data == request.data;
                    eeproms[line].transfer(request.data, reply.data);
                    break;
                }
            break;
        default:
            break;
        }
        if (onOtherPort && request.call != Call::I2cEnable && request.call != Call::SpiEnable)
            ++otherPorts;
    }

    json &scenario = seeded.scenario;
    scenario["comment"] = "Seeded from the recording " + recordingName +
                          ": register devices holding the values that were read";
    if (json latency = MeasuredLatency(recording); !latency.is_null())
        adapter["latency"] = latency;
    if (!adapter.empty())
        scenario["adapter"] = adapter;
    scenario["i2c"] = json::array();
    for (auto &[address, device] : devices) {
        if (!device.conflict().empty()) {
            seeded.notes.push_back("I2C " + Hex(address) +
                                   ": left out, not a register device: " + device.conflict());
            continue;
        }
        scenario["i2c"].push_back(
            {{"address", Hex(address)}, {"model", "register"}, {"registers", device.registers()}});
    }
    scenario["spi"] = json::array();
    for (auto &[line, transfers] : spiTransfers) {
        if (spiLoopback[line]) {
            scenario["spi"].push_back({{"ss", line}, {"model", "loopback"}});
            continue;
        }
        if (eeproms[line].seen()) {
            scenario["spi"].push_back(eeproms[line].entry(line));
            continue;
        }
        seeded.notes.push_back("SPI line " + std::to_string(line) +
                               ": left out: " + std::to_string(transfers) +
                               " transfers that a loopback would not answer; no SPI device "
                               "but the loopback and an EEPROM (identified, with page programs) "
                               "can be seeded from its traffic");
    }
    if (otherPorts > 0)
        seeded.notes.push_back(std::to_string(otherPorts) +
                               " calls on ports other than 0 left out: the simulator "
                               "has devices on port 0 only");
    return seeded;
}

} // namespace dlnsim::replay
