// The simulator's SPI device models driven directly, one transfer at a time.
#include "dlnsim/models/option_error.h"
#include "dlnsim/models/spi_eeprom.h"
#include "dlnsim/models/spi_loopback.h"
#include "dlnsim/scenario.h"
#include "support/temp_working_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Transfer(dlnsim::SpiDevice &device, Bytes out) {
    Bytes in(out.size(), 0x5A);
    device.transfer(out, in, 0);
    return in;
}

uint8_t Status(dlnsim::SpiEeprom &chip) {
    return Transfer(chip, {0x05, 0x00})[1];
}

Bytes Program(uint32_t address, Bytes data) {
    Bytes out = {0x02, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                 static_cast<uint8_t>(address)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

TEST(SpiLoopback, ReturnsWhatItReceives) {
    dlnsim::SpiLoopback loopback;
    EXPECT_EQ(Transfer(loopback, {1, 0x80, 0xFF, 0}), (Bytes{1, 0x80, 0xFF, 0}));
    EXPECT_EQ(Transfer(loopback, {}), Bytes{});
}

TEST(SpiEeprom, AnswersIdentificationAndStatusAfterAnFfByte) {
    dlnsim::SpiEepromConfig config;
    config.id = {0xC2, 0x20, 0x10};
    dlnsim::SpiEeprom chip(config);
    EXPECT_EQ(Transfer(chip, {0x9F, 0, 0, 0}), (Bytes{0xFF, 0xC2, 0x20, 0x10}));
    EXPECT_EQ(Transfer(chip, {0x05, 0, 0}), (Bytes{0xFF, 0x00, 0x00}));
    Transfer(chip, {0x06});
    EXPECT_EQ(Transfer(chip, {0x05, 0, 0}), (Bytes{0xFF, 0x02, 0x02}));
    Transfer(chip, {0x04});
    EXPECT_EQ(Status(chip), 0x00);
}

TEST(SpiEeprom, WritesNeedTheLatchAndUseItUp) {
    dlnsim::SpiEepromConfig config;
    config.programBusyReads = 0;
    dlnsim::SpiEeprom chip(config);
    Transfer(chip, Program(0x10, {1, 2}));
    EXPECT_EQ(chip.memory()[0x10], 0xFF) << "programmed without the latch";
    Transfer(chip, {0x06});
    Transfer(chip, Program(0x10, {1, 2}));
    EXPECT_EQ(chip.memory()[0x10], 1);
    EXPECT_EQ(chip.memory()[0x11], 2);
    EXPECT_EQ(Status(chip), 0x00);
    Transfer(chip, Program(0x10, {9}));
    EXPECT_EQ(chip.memory()[0x10], 1) << "the latch was used by the first program";
    Transfer(chip, {0x60});
    EXPECT_EQ(chip.memory()[0x10], 1) << "erased without the latch";
    Transfer(chip, {0x06});
    Transfer(chip, {0x60});
    EXPECT_EQ(chip.memory()[0x10], 0xFF);
}

TEST(SpiEeprom, StaysBusyForTheConfiguredStatusReadsAndIgnoresWritesMeanwhile) {
    dlnsim::SpiEepromConfig config;
    config.programBusyReads = 2;
    config.eraseBusyReads = 3;
    dlnsim::SpiEeprom chip(config);
    Transfer(chip, {0x06});
    Transfer(chip, Program(0x100, {0xAA}));
    Transfer(chip, {0x06}); // ignored: the chip is busy
    Transfer(chip, Program(0x101, {0xBB}));
    EXPECT_EQ(Status(chip), 0x03);
    EXPECT_EQ(Status(chip), 0x03);
    EXPECT_EQ(Status(chip), 0x00); // done, and the latch is clear again
    EXPECT_EQ(chip.memory()[0x100], 0xAA);
    EXPECT_EQ(chip.memory()[0x101], 0xFF);

    Transfer(chip, {0x06});
    Transfer(chip, {0x60});
    std::vector<uint8_t> seen;
    for (int i = 0; i < 5; ++i)
        seen.push_back(Status(chip));
    EXPECT_EQ(seen, (Bytes{0x03, 0x03, 0x03, 0x00, 0x00}));
}

TEST(SpiEeprom, StuckChipIsBusyForEverAndTakesNoWrite) {
    dlnsim::SpiEepromConfig config;
    config.stuckBusy = true;
    dlnsim::SpiEeprom chip(config);
    Transfer(chip, {0x06});
    Transfer(chip, Program(0, {1}));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(Status(chip) & 0x01, 0x01);
    EXPECT_EQ(chip.memory()[0], 0xFF);
}

TEST(SpiEeprom, ProgramWrapsWithinItsPageAndAddressesWrapAtTheSize) {
    dlnsim::SpiEepromConfig config;
    config.size = 1024;
    config.pageSize = 128;
    config.programBusyReads = 0;
    dlnsim::SpiEeprom chip(config);
    Transfer(chip, {0x06});
    Transfer(chip, Program(0x17E, {1, 2, 3, 4}));
    EXPECT_EQ(chip.memory()[0x17E], 1);
    EXPECT_EQ(chip.memory()[0x17F], 2);
    EXPECT_EQ(chip.memory()[0x100], 3); // past the page end, back to the page start
    EXPECT_EQ(chip.memory()[0x101], 4);
    EXPECT_EQ(chip.memory()[0x180], 0xFF);
    Transfer(chip, {0x06});
    Transfer(chip, Program(0x010405, {7})); // 0x10405 % 1024 = 5
    EXPECT_EQ(chip.memory()[5], 7);
    EXPECT_EQ(Transfer(chip, {0x03, 0x00, 0x01, 0x7F, 0, 0}),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 2, 0xFF}));
    config.pageSize = 100;
    EXPECT_THROW(dlnsim::SpiEeprom{config}, std::invalid_argument);
}

TEST(SpiEeprom, DecodesCommandsForTheTrace) {
    dlnsim::SpiEeprom chip;
    EXPECT_EQ(chip.decodeTransfer(Bytes{0x9F, 0, 0, 0}), "read identification");
    EXPECT_EQ(chip.decodeTransfer(Bytes{0x06}), "write enable");
    EXPECT_EQ(chip.decodeTransfer(Bytes{0x60, 0, 0, 0}), "chip erase");
    EXPECT_EQ(chip.decodeTransfer(Bytes{0x05, 0}), "read status");
    EXPECT_EQ(chip.decodeTransfer(Program(0x180, Bytes(128))), "page program 0x000180, 128 bytes");
    EXPECT_EQ(chip.decodeTransfer(Bytes{0x42}), "unknown command 0x42");
}

TEST(SpiEeprom, DumpFileMirrorsTheMemoryAfterEveryWrite) {
    TempWorkingDir dir;
    dlnsim::SpiEepromConfig config;
    config.programBusyReads = 0;
    config.dumpPath = dir.path() + "/chip.bin";
    dlnsim::SpiEeprom chip(config);
    EXPECT_EQ(dir.read("chip.bin"), std::string(65536, '\xFF'));
    Transfer(chip, {0x06});
    Transfer(chip, Program(0x1234, {0x11, 0x22}));
    std::string dump = dir.read("chip.bin");
    ASSERT_EQ(dump.size(), 65536u);
    EXPECT_EQ(dump.substr(0x1233, 4), "\xFF\x11\x22\xFF");
    chip.finish();
    EXPECT_EQ(dir.read("chip.bin"), std::string(chip.memory().begin(), chip.memory().end()));
}

TEST(SpiModels, ScenarioPlacesThemOnTheirLinesWithTheirOptions) {
    auto sim = dlnsim::LoadScenario(R"({"spi": [
        {"ss": 0, "model": "eeprom", "id": ["0xC2", 32, 16], "size": 1024, "pageSize": 128,
         "programBusyReads": 0, "stuckBusy": true},
        {"ss": 3, "model": "loopback"}]})",
                                    "spi.json")
                   .build();
    auto chip = std::dynamic_pointer_cast<dlnsim::SpiEeprom>(sim->spiDevice(0));
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->memory().size(), 1024u);
    EXPECT_EQ(Transfer(*chip, {0x9F, 0, 0, 0}), (Bytes{0xFF, 0xC2, 0x20, 0x10}));
    EXPECT_EQ(Status(*chip), 0x01);
    EXPECT_NE(std::dynamic_pointer_cast<dlnsim::SpiLoopback>(sim->spiDevice(3)), nullptr);
}

TEST(SpiModels, BadEepromOptionsNameTheOption) {
    const std::pair<const char *, const char *> cases[] = {
        {R"({"id": [1, 2]})", "id"},          {R"({"size": 0})", "size"},
        {R"({"pageSize": 96})", "pageSize"},  {R"({"dump": "/nonexistent-dir/chip.bin"})", "dump"},
        {R"({"busyReads": 2})", "busyReads"},
    };
    for (auto [json, key] : cases) {
        try {
            dlnsim::MakeSpiEeprom(nlohmann::json::parse(json));
            ADD_FAILURE() << json << " was accepted";
        } catch (const dlnsim::OptionError &error) {
            EXPECT_EQ(error.key, key) << json << ": " << error.what();
        }
    }
}

} // namespace
