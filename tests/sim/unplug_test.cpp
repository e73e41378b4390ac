// The adapter unplugged for a time, by a world step or a timeline event: every adapter call
// fails as for a removed device while it is out, and the handles it had are gone after.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/observation.h"
#include "dlnsim/scenario.h"
#include "support/sim_session.h"

#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace dlnsim;

namespace {

// A register device at 0x50 and a clock set by hand.
SimBuilder UnplugRig(uint64_t &clockUs, const char *timeline = "[]") {
    SimBuilder builder = LoadScenario(
        std::string(R"({"i2c": [{"address": "0x50", "model": "register"}], "timeline": )") +
            timeline + "}",
        "unplug.json");
    return builder.clock([&clockUs] { return clockUs; });
}

// What each call gives before, during and after an unplug from 1 s to 3 s; atOneSecond runs
// when the clock reaches 1 s, before the calls then.
void ExpectUnplugFromOneToThreeSeconds(Simulator &sim, uint64_t &clockUs,
                                       const std::function<void()> &atOneSecond) {
    ASSERT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
    HDLN old = 0, fresh = 0;
    ASSERT_EQ(DlnOpenDevice(0, &old), DLN_RES_SUCCESS);
    uint8_t byte = 0;
    clockUs = 1'000'000;
    atOneSecond();
    EXPECT_EQ(DlnI2cMasterRead(old, 0, 0x50, 0, 0, 1, &byte), DLN_RES_NO_SUCH_DEVICE);
    EXPECT_EQ(DlnOpenDevice(0, &fresh), DLN_RES_NO_SUCH_DEVICE);
    clockUs = 2'999'999;
    uint8_t count = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(old, &count), DLN_RES_NO_SUCH_DEVICE);
    Observation seen = sim.observe(1, 0);
    EXPECT_EQ(seen.unpluggedForUs, 1u);
    EXPECT_EQ(seen.trace.back().note, "adapter unplugged");
    // The server itself stays: connecting works throughout.
    EXPECT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect("localhost", 9656), DLN_RES_SUCCESS);
    clockUs = 3'000'000;
    EXPECT_EQ(DlnI2cMasterRead(old, 0, 0x50, 0, 0, 1, &byte), DLN_RES_INVALID_HANDLE);
    ASSERT_EQ(DlnOpenDevice(0, &fresh), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterRead(fresh, 0, 0x50, 0, 0, 1, &byte), DLN_RES_SUCCESS);
    EXPECT_EQ(sim.observe(0, 0).unpluggedForUs, 0u);
    EXPECT_EQ(DlnDisconnect("localhost", 9656), DLN_RES_SUCCESS);
}

TEST(Unplug, WorldStepRemovesTheAdapterAndItsHandles) {
    uint64_t clockUs = 0;
    SimSession session(UnplugRig(clockUs));
    ExpectUnplugFromOneToThreeSeconds(session.sim(), clockUs, [&] {
        uint64_t atUs = 0;
        EXPECT_EQ(
            session.sim().changeWorld(nlohmann::json::parse(R"({"unplug": {"forS": 2}})"), &atUs),
            "adapter unplugged for 2.000 s");
        EXPECT_EQ(atUs, 1'000'000u);
    });
}

TEST(Unplug, TimelineEventUnplugsForItsTime) {
    uint64_t clockUs = 0;
    SimSession session(UnplugRig(clockUs, R"([{"at": 1, "unplug": {"forS": 2}}])"));
    ExpectUnplugFromOneToThreeSeconds(session.sim(), clockUs, [] {});
}

} // namespace
