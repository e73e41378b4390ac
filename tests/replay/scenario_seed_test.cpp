// Seeding a scenario from a recording: what a register device can answer becomes its
// registers; a device whose values change by themselves, and SPI traffic other than a
// loopback's, is left out with a note.
#include "dlnsim/scenario.h"
#include "scenario_seed.h"

#include <gtest/gtest.h>

using dln::record::CallRecord;
using dln::wire::Call;
using nlohmann::json;

namespace {

CallRecord Make(Call call, uint8_t address, std::vector<uint8_t> out, std::vector<uint8_t> in,
                uint16_t result = 0) {
    static uint64_t seq = 0;
    CallRecord r;
    r.seq = ++seq;
    r.request.call = r.reply.call = call;
    r.request.address = address;
    r.request.data = std::move(out);
    r.reply.data = std::move(in);
    r.reply.result = result;
    return r;
}

} // namespace

TEST(ScenarioSeed, RegisterDevicesHoldTheValuesReadBeforeTheProgramWroteThem) {
    CallRecord version = Make(Call::GetVersion, 0, {}, {});
    version.reply.words = {0x0401, 0x01000000, 0x00070000, 0x00030100, 0x00040200};
    std::vector<CallRecord> recording = {
        version,
        Make(Call::I2cScanDevices, 0, {}, {0x50, 0x60, 0x61}),
        Make(Call::I2cRead, 0x50, {}, {0x07, 0x08}),  // pointer 0: registers 0, 1
        Make(Call::I2cWrite, 0x50, {0x10, 0xAA}, {}), // written: not seeded
        Make(Call::I2cWrite, 0x50, {0x10}, {}),
        Make(Call::I2cRead, 0x50, {}, {0xAA, 0x3C}), // 0x10 as written, 0x11 seeded
        Make(Call::I2cRead, 0x50, {0x00}, {}, 0x44), // a NACK teaches nothing
        Make(Call::I2cWrite, 0x60, {0x05}, {}),
        Make(Call::I2cRead, 0x60, {}, {0x01}),
        Make(Call::I2cWrite, 0x60, {0x05}, {}),
        Make(Call::I2cRead, 0x60, {}, {0x02}), // changed by itself
        Make(Call::SpiSetSS, 0xFD, {}, {}),    // line 1
        Make(Call::SpiReadWrite, 0, {1, 2}, {1, 2}),
        Make(Call::SpiSetSS, 0xFE, {}, {}), // line 0
        Make(Call::SpiReadWrite, 0, {0x9F, 0}, {0xFF, 0x20}),
    };
    auto seeded = dlnsim::replay::SeedScenario(recording, "run.jsonl");
    EXPECT_EQ(seeded.scenario["adapter"]["type"], "0x0401");
    EXPECT_EQ(seeded.scenario["i2c"], json::parse(R"([
                {"address": "0x50", "model": "register",
                 "registers": {"0x00": "0x07", "0x01": "0x08", "0x11": "0x3c"}},
                {"address": "0x61", "model": "register", "registers": {}}])"));
    EXPECT_EQ(seeded.scenario["spi"], json::parse(R"([{"ss": 1, "model": "loopback"}])"));
    ASSERT_EQ(seeded.notes.size(), 2u);
    EXPECT_EQ(seeded.notes[0], "I2C 0x60: left out, not a register device: register 0x05 read "
                               "0x02 at call 11 where a register device would answer 0x01, what "
                               "it held or was written last; its values change by themselves");
    EXPECT_EQ(seeded.notes[1].substr(0, 43), "SPI line 0: left out: 1 transfers that a lo");
}

// An EEPROM shows itself by its identification answer and page programs; the identification
// alone (a loopback would echo 0x9F) or page programs alone are not enough.
TEST(ScenarioSeed, AnIdentifiedEepromWithPageProgramsIsKept) {
    std::vector<uint8_t> program = {0x02, 0x00, 0x01, 0x00, 0xAB, 0xCD};
    std::vector<CallRecord> recording = {
        Make(Call::SpiSetSS, 0xFE, {}, {}), // line 0
        Make(Call::SpiReadWrite, 0, {0x9F, 0, 0, 0}, {0xFF, 0xC2, 0x20, 0x11}),
        Make(Call::SpiReadWrite, 0, {0x06}, {0xFF}),
        Make(Call::SpiReadWrite, 0, program, std::vector<uint8_t>(program.size(), 0xFF)),
        Make(Call::SpiSetSS, 0xFB, {}, {}), // line 2: identified, never programmed
        Make(Call::SpiReadWrite, 0, {0x9F, 0, 0, 0}, {0xFF, 0xC2, 0x20, 0x11}),
    };
    auto seeded = dlnsim::replay::SeedScenario(recording, "run.jsonl");
    ASSERT_EQ(seeded.scenario["spi"].size(), 1u);
    json eeprom = seeded.scenario["spi"][0];
    eeprom.erase("comment");
    EXPECT_EQ(eeprom, json::parse(R"({"ss": 0, "model": "eeprom", "id": [194, 32, 17],
                                      "size": 131072})"));
    ASSERT_EQ(seeded.notes.size(), 1u);
    EXPECT_EQ(seeded.notes[0].substr(0, 22), "SPI line 2: left out: ");
    // dln-sim takes what was seeded.
    EXPECT_NO_THROW(dlnsim::LoadScenario(seeded.scenario.dump(), "seeded.json").build());
}
