// The adapter latency model: a scenario's "latency" as it loads (presets, overrides, refusals),
// the draws' median and 95th percentile, the bus time of a transfer, and the model a recording
// measures, loaded back as the scenario it seeds.
#include "dlnsim/latency.h"
#include "dlnsim/scenario.h"
#include "scenario_seed.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dlnsim;
using dln::wire::Call;
using dln::wire::Request;

namespace {

LatencyModel LatencyOf(const std::string &latency) {
    return LoadScenario(R"({"adapter": {"latency": )" + latency + "}}", "l.json")
        .build()
        ->config()
        .latency;
}

TEST(Latency, LoadsPresetsAndWhatAScenarioOverrides) {
    EXPECT_TRUE(LatencyOf(R"("none")").none());
    EXPECT_TRUE(LoadScenario("{}", "l.json").build()->config().latency.none());
    EXPECT_EQ(LatencyOf(R"("robot")"), RobotLatency());
    LatencyModel model = LatencyOf(R"({"preset": "robot", "usb": {"medianMs": 1.2, "p95Ms": 1.9},
        "busTime": false, "calls": {"DlnI2cMasterRead": {"medianMs": 2.5}}})");
    EXPECT_EQ(model.server, RobotLatency().server);
    EXPECT_EQ(model.usb, (CallTime{1200, 1900}));
    EXPECT_FALSE(model.busTime);
    EXPECT_EQ(model.calls[size_t(Call::I2cRead)], (CallTime{2500, 2500}));
    EXPECT_FALSE(model.calls[size_t(Call::I2cWrite)]);
}

TEST(Latency, RefusesWhatIsNoModelNamingThePlace) {
    struct Case {
        const char *latency;
        const char *message;
    } cases[] = {
        {R"("fast")", "l.json: adapter.latency: \"fast\" is not a latency preset (robot, none)"},
        {R"({"usb": {"medianMs": -1}})", "l.json: adapter.latency.usb.medianMs: -1 is outside "
                                         "0..10000 ms"},
        {R"({"usb": {"medianMs": 2, "p95Ms": 1}})",
         "l.json: adapter.latency.usb.p95Ms: is below medianMs"},
        {R"({"usb": {"mean": 2}})", "l.json: adapter.latency.usb.mean: unknown key (medianMs, "
                                    "p95Ms)"},
        {R"({"server": 2})", "l.json: adapter.latency.server: expected an object such as "
                             "{\"medianMs\": 1.5, \"p95Ms\": 2}"},
        {R"({"calls": {"DlnFly": {"medianMs": 1}}})",
         "l.json: adapter.latency.calls.DlnFly: not an adapter call's name"},
        {R"({"busTime": 1})", "l.json: adapter.latency.busTime: 1 is not true or false"},
        {R"({"jitter": 1})", "l.json: adapter.latency.jitter: unknown key"},
    };
    for (const Case &c : cases) {
        try {
            LatencyOf(c.latency);
            ADD_FAILURE() << c.latency << " loaded";
        } catch (const ScenarioError &e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.latency;
        }
    }
}

TEST(Latency, DrawsHaveTheModelsMedianAndNinetyFifthPercentile) {
    LatencyModel model;
    model.usb = {1500, 2000};
    model.server = {100, 100};
    LatencyClock clock(model);
    Request read;
    read.call = Call::I2cRead;
    std::vector<uint64_t> draws;
    for (int i = 0; i < 20000; ++i)
        draws.push_back(clock.draw(read, 100000, 1000000));
    std::sort(draws.begin(), draws.end());
    EXPECT_NEAR(double(draws[draws.size() / 2]), 1500, 30);
    EXPECT_NEAR(double(draws[draws.size() * 95 / 100]), 2000, 40);
    EXPECT_GT(draws.front(), 0u);
    Request open;
    open.call = Call::OpenDevice;
    EXPECT_EQ(clock.draw(open, 100000, 1000000), 100u); // no jitter where p95 is the median
}

TEST(Latency, BusTimeCountsEachTransfersBitsAtItsBusFrequency) {
    LatencyModel model;
    model.busTime = true;
    LatencyClock clock(model);
    Request read;
    read.call = Call::I2cRead;
    read.length = 4;
    // Start, stop and five bytes of nine bits at 100 kHz.
    EXPECT_EQ(clock.draw(read, 100000, 1000000), 470u);
    Request spi;
    spi.call = Call::SpiReadWrite;
    spi.data.assign(100, 0);
    EXPECT_EQ(clock.draw(spi, 100000, 1000000), 800u);
    Request version;
    version.call = Call::GetVersion;
    EXPECT_EQ(clock.draw(version, 100000, 1000000), 0u);
}

TEST(Latency, ARecordingSeedsTheModelItMeasuredAndTheScenarioLoadsIt) {
    std::vector<dln::record::CallRecord> recording;
    auto add = [&](Call call, uint64_t durationUs) {
        dln::record::CallRecord record;
        record.seq = recording.size() + 1;
        record.durationUs = durationUs;
        record.request.call = record.reply.call = call;
        record.reply.result = 0x44; // failed calls took their time too
        recording.push_back(record);
    };
    for (uint64_t us = 1001; us <= 1100; ++us)
        add(Call::I2cRead, us); // median 1050, 95th percentile 1095
    for (uint64_t us : {1900, 2000, 2100})
        add(Call::I2cWrite, us);
    add(Call::OpenDevice, 300);
    auto seeded = replay::SeedScenario(recording, "run.jsonl");
    LatencyModel model =
        LoadScenario(seeded.scenario.dump(), "seeded.json").build()->config().latency;
    EXPECT_EQ(model.server, (CallTime{300, 300}));
    EXPECT_EQ(model.usb, (CallTime{1052, 1098})); // over every USB call
    EXPECT_EQ(model.calls[size_t(Call::I2cRead)], (CallTime{1050, 1095}));
    EXPECT_EQ(model.calls[size_t(Call::I2cWrite)], (CallTime{2000, 2100}));
    EXPECT_FALSE(model.busTime); // inside the recorded durations already
}

} // namespace
