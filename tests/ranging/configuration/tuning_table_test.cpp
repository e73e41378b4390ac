// The tuning-table walker and the default table.
#include "ranging/configuration/tuning_table.h"

#include "support/sensor_rig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TuningTable, DefaultTableIsEightyTwoByteWritesInOrder) {
    SensorRig rig;
    rig.device().targetRefRate = 0x0BCD;
    ASSERT_EQ(0, VL53L0X_ApplyTuningSettings(rig.device(), DefaultTuningTable));
    const auto transfers = rig.bus.transfers();
    ASSERT_EQ(80u, transfers.size());
    for (const std::string &transfer : transfers)
        EXPECT_EQ(11u, transfer.size()) << transfer << ": one register, one value";
    EXPECT_EQ("W 29: ff 01", transfers.front());
    EXPECT_EQ("W 29: 52 96", transfers[24]); // low byte of the pre-range timeout
    EXPECT_EQ("W 29: 01 f8", transfers[74]); // all sequence steps
    EXPECT_EQ("W 29: 80 00", transfers.back());
    EXPECT_EQ(0x0BCD, rig.device().targetRefRate) << "the default table sets no target rate";
    EXPECT_EQ(0, DefaultTuningTable[kDefaultTuningTableSize - 1]);
}

TEST(TuningTable, EntriesOfEveryForm) {
    struct Case {
        const char *form;
        std::vector<uint8_t> table;
        SensorStatus status;
        std::vector<std::string> transfers;
        uint16_t targetRefRate;
    };
    const Case cases[] = {
        {"empty", {0x00}, 0, {}, 0x0BCD},
        {"target rate setting", {0xFF, 3, 0x12, 0x34, 0x00}, 0, {}, 0x1234},
        {"unused settings", {0xFF, 0, 1, 2, 0xFF, 1, 1, 2, 0xFF, 2, 1, 2, 0x00}, 0, {}, 0x0BCD},
        {"multi-byte register", {3, 0x71, 1, 2, 3, 0x00}, 0, {"W 29: 71 01 02 03"}, 0x0BCD},
        {"first byte 5", {5, 0x10, 0x00, 0x00}, -4, {}, 0x0BCD},
        {"selector 4 after a write",
         {1, 0x10, 0xAA, 0xFF, 4, 0x12, 0x34, 1, 0x11, 0xBB, 0x00},
         -4,
         {"W 29: 10 aa"},
         0x0BCD},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.form);
        SensorRig rig;
        rig.device().targetRefRate = 0x0BCD;
        EXPECT_EQ(c.status, VL53L0X_ApplyTuningSettings(rig.device(), c.table.data()));
        EXPECT_EQ(c.transfers, rig.bus.transfers());
        EXPECT_EQ(c.targetRefRate, rig.device().targetRefRate);
    }
}

} // namespace
