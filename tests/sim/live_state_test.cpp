// The live state: world changes through the page's API and scenario timelines reach the
// models, refusals name the key, and every scenario of the tree gives a state over HTTP.
#include "dlnsim/models/option_error.h"
#include "dlnsim/recent_calls.h"
#include "dlnsim/scenario.h"
#include "live_page.h"
#include "live_state.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>

using namespace dlnsim;
using nlohmann::json;

namespace {

// The state of the device at bus and address in a snapshot.
json DeviceState(const json &snapshot, const std::string &bus, int address) {
    for (const json &device : snapshot["devices"])
        if (device["bus"] == bus && device["address"] == address)
            return device["state"];
    return nullptr;
}

std::shared_ptr<Simulator> Robot(uint64_t *clockUs = nullptr, const char *extra = "") {
    std::string text(DefaultScenarioText());
    if (*extra != '\0')
        text = text.substr(0, text.rfind('}')) + ", " + extra + "}";
    SimBuilder builder = LoadScenario(text, "robot.json");
    if (clockUs != nullptr)
        builder.clock([clockUs] { return *clockUs; });
    return builder.build();
}

TEST(LiveState, SettingsReachEveryModelAndShowInItsState) {
    struct Case {
        const char *change;
        const char *bus;
        int address;
        const char *key;
        json shown;
    };
    const Case cases[] = {
        {R"({"i2c": "0x29", "set": {"distanceMm": 300}})", "i2c", 0x29, "distanceMm", 300.0},
        {R"({"i2c": 41, "set": {"reflectance": 0.5}})", "i2c", 0x29, "reflectance", 0.5},
        {R"({"i2c": "0x30", "set": {"speed": 7}})", "i2c", 0x30, "speed", 7},
        {R"({"i2c": "0x48", "set": {"input2": "0x10"}})", "i2c", 0x48, "input2", 16},
        {R"({"i2c": "0x51", "set": {"current": 200}})", "i2c", 0x51, "current", 200},
        {R"({"i2c": "0x70", "set": {"distanceCm": 120, "temperature": 30}})", "i2c", 0x70,
         "temperature", 30},
    };
    auto sim = Robot();
    LiveState live(sim);
    for (const Case &c : cases) {
        live.change(json::parse(c.change));
        EXPECT_EQ(DeviceState(live.snapshot(), c.bus, c.address)[c.key], c.shown) << c.change;
    }
    live.change(json::parse(R"({"i2c": 80, "set": {"registers": {"0x10": 60}}})"));
    EXPECT_EQ(DeviceState(live.snapshot(), "i2c", 0x50)["registers"][0x10], 60);
    EXPECT_EQ(live.snapshot()["changes"].size(), std::size(cases) + 1);
}

TEST(LiveState, RefusedChangesNameTheKeyAndChangeNothing) {
    struct Case {
        const char *change;
        const char *message;
    };
    const Case cases[] = {
        {R"({"i2c": "0x51", "set": {"current": 300}})", "set.current: 300 is above 255"},
        {R"({"i2c": "0x29", "set": {"distanceMm": -5}})", "set.distanceMm: must not be negative"},
        // The ranges the page's sliders advertise hold for the API too.
        {R"({"i2c": "0x29", "set": {"distanceMm": 5000}})",
         "set.distanceMm: 5000 is outside 0..2000"},
        {R"({"i2c": "0x29", "set": {"distanceMm": 1e12}})", "set.distanceMm: 1000000000000.0 is"},
        {R"({"i2c": "0x29", "set": {"reflectance": 5}})", "set.reflectance: 5 is outside 0..1"},
        {R"({"i2c": "0x70", "set": {"temperature": 81}})", "set.temperature: 81 is outside"},
        {R"({"i2c": "0x29", "set": {"speed": 5}})", "set.speed: is not a setting of vl53l0x"},
        {R"({"i2c": "0x48", "set": {"input5": 1}})", "set.input5: is not a setting of adc-dac"},
        {R"({"i2c": "0x61", "set": {"speed": 5}})", "i2c: no device at i2c 0x61"},
        {R"({"spi": 0, "set": {"size": 5}})", "set.size: is not a setting of eeprom"},
        {R"({"i2c": "0x29"})", "set: missing"},
        {R"({"set": {"speed": 1}})", ": \"set\" needs a device"},
        {R"({"i2c": 80, "set": {"registers": {"0x10": 60, "0x100": 1}}})",
         "set.registers.0x100: \"0x100\" is above 255"},
        {R"({"fault": {"call": "DlnI2cMasterRead", "code": "boom"}})",
         "fault.code: \"boom\" is not a failure code"},
        {R"({"colour": 1})", "colour: unknown key"},
        {R"({"unplug": {"forS": 0}})", "unplug.forS: 0 is not above 0 and at most 86400"},
        {R"({"unplug": 2})", "unplug: needs {\"forS\": seconds}"},
        {R"({"unplug": {"forS": 1, "why": 1}})", "unplug.why: unknown"},
        {R"({})", ": changes nothing"},
    };
    auto sim = Robot();
    LiveState live(sim);
    // The devices' states but the default wall's distance, which moves with time.
    auto devices = [&live] {
        json states = live.snapshot()["devices"];
        for (json &device : states)
            device["state"].erase("distanceMm");
        return states;
    };
    const json before = devices();
    for (const Case &c : cases) {
        try {
            live.change(json::parse(c.change));
            ADD_FAILURE() << "accepted: " << c.change;
        } catch (const OptionError &e) {
            std::string message = e.key + ": " + e.what();
            EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
        }
    }
    // The register device kept its registers although 0x10 came before the bad index.
    EXPECT_EQ(devices(), before);
}

TEST(LiveState, TimelineChangesTheWorldAndAimsFaultsAtTheirTimes) {
    uint64_t clockUs = 0;
    auto sim = Robot(&clockUs, R"("timeline": [
        {"at": 5, "fault": {"call": "DlnI2cMasterRead", "address": "0x70", "code": "nack",
                            "count": 1}},
        {"at": 2.5, "i2c": "0x29", "set": {"distanceMm": 300}},
        {"at": 2.5, "i2c": "0x30", "set": {"speed": 9}},
        {"at": 7, "clearFaults": true}])");
    LiveState live(sim);
    auto at = [&](double seconds) {
        clockUs = static_cast<uint64_t>(seconds * 1e6);
        return live.snapshot();
    };
    EXPECT_EQ(DeviceState(at(2.4), "i2c", 0x30)["speed"], 100);
    json state = at(2.5);
    EXPECT_EQ(DeviceState(state, "i2c", 0x30)["speed"], 9);
    EXPECT_EQ(DeviceState(state, "i2c", 0x29)["distanceMm"], 300.0);
    EXPECT_TRUE(state["bus"]["pendingFaults"].empty());
    EXPECT_EQ(state["timeline"]["pending"], 2);
    state = at(6);
    ASSERT_EQ(state["bus"]["pendingFaults"].size(), 1u);
    EXPECT_EQ(state["bus"]["pendingFaults"][0], "DlnI2cMasterRead at 0x70: nack, at most 1 call");
    EXPECT_TRUE(at(7)["bus"]["pendingFaults"].empty());
    state = at(8);
    ASSERT_EQ(state["timeline"]["applied"].size(), 4u);
    // Newest first, so that the page shows the latest without scrolling.
    EXPECT_EQ(state["timeline"]["applied"][0].get<std::string>().rfind("7.000 s: ", 0), 0u);
}

TEST(LiveState, PendingFaultsAreCappedAndCounted) {
    auto sim = Robot();
    LiveState live(sim);
    for (int i = 0; i < 50; ++i)
        live.change(json::parse(R"({"fault": {"call": "DlnSpiMasterReadWrite", "ss": 1,
                                              "code": "0x99", "nth": 4}})"));
    json bus = live.snapshot()["bus"];
    EXPECT_EQ(bus["pendingFaultCount"], 50);
    ASSERT_EQ(bus["pendingFaults"].size(), 20u);
    EXPECT_EQ(bus["pendingFaults"][0], "DlnSpiMasterReadWrite on ss 1: 0x99, call 4");
    EXPECT_EQ(live.snapshot()["changes"].size(), 20u);
}

TEST(LiveState, TimelineErrorsNameTheEvent) {
    struct Case {
        const char *timeline;
        const char *message;
    };
    const Case cases[] = {
        {R"([{"i2c": 41, "set": {"distanceMm": 1}}])", "t.json: timeline[0]: needs \"at\""},
        {R"([{"at": -1, "clearFaults": true}])", "t.json: timeline[0].at: -1 is not from 0"},
        {R"([{"at": 1, "clearFaults": true}, {"at": 2, "i2c": 99, "set": {"speed": 1}}])",
         "t.json: timeline[1].i2c: no device at i2c 0x63"},
        {R"([{"at": 1, "i2c": 48, "set": {"speed": 256}}])",
         "t.json: timeline[0].set.speed: 256 is above 255"},
        {R"([{"at": 1, "fault": {"call": "DlnConnect", "nth": 0}}])",
         "t.json: timeline[0].fault.nth: 0 is no call"},
        {R"({"at": 1})", "t.json: timeline: expected a list"},
    };
    for (const Case &c : cases) {
        std::string text = R"({"i2c": [{"address": 41, "model": "vl53l0x"},
                                        {"address": 48, "model": "motor-board"}],
                               "timeline": )" +
                           std::string(c.timeline) + "}";
        try {
            LoadScenario(text, "t.json");
            ADD_FAILURE() << "accepted: " << c.timeline;
        } catch (const ScenarioError &e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
}

// The page's state over HTTP for the built-in robot and every scenario of the tree.
TEST(LivePage, EveryScenarioGivesItsStateOverHttp) {
    std::vector<std::pair<std::string, SimBuilder>> scenarios;
    scenarios.emplace_back("robot", LoadScenario(DefaultScenarioText(), "robot"));
    for (const char *dir :
         {"/sim/scenarios", "/java/test/scenarios", "/java/bench", "/java/api-test/scenarios"})
        for (const auto &file :
             std::filesystem::directory_iterator(std::string(DLNSIM_SOURCE_DIR) + dir))
            if (file.path().extension() == ".json")
                scenarios.emplace_back(file.path().string(),
                                       LoadScenarioFile(file.path().string()));
    ASSERT_GE(scenarios.size(), 5u);
    for (auto &[name, builder] : scenarios) {
        auto sim = builder.build();
        LivePage page(sim);
        page.start(0, "127.0.0.1");
        httplib::Client client("127.0.0.1", page.port());
        auto reply = client.Get("/api/state");
        ASSERT_TRUE(reply) << name;
        EXPECT_EQ(reply->status, 200) << name;
        json state = json::parse(reply->body);
        EXPECT_EQ(state["devices"].size(), LiveState(sim).snapshot()["devices"].size()) << name;
        for (const json &device : state["devices"])
            EXPECT_TRUE(device["state"].is_object() && device["model"].is_string())
                << name << ": " << device.dump();
        auto page_ = client.Get("/");
        ASSERT_TRUE(page_);
        EXPECT_NE(page_->body.find("<script src=\"app.js\" defer>"), std::string::npos);
        // A change must come as JSON, so that another web page cannot send one.
        auto plain = client.Post("/api/world", R"({"clearFaults": true})", "text/plain");
        ASSERT_TRUE(plain);
        EXPECT_EQ(plain->status, 415) << name;
    }
}

// The calls kept for the page come as a waveform file; a page that keeps none says so.
TEST(LivePage, OffersTheLastCallsAsAWaveform) {
    auto sim = LoadScenario(DefaultScenarioText(), "robot").build();
    auto recent = std::make_shared<RecentCalls>(60000000, 1000);
    TraceEntry write;
    write.timeUs = 5;
    write.call = "DlnI2cMasterWrite";
    write.port = 0;
    write.address = 0x50;
    write.out = {0x10};
    recent->add(write);
    LivePage page(sim, recent);
    page.start(0, "127.0.0.1");
    httplib::Client client("127.0.0.1", page.port());
    auto reply = client.Get("/bus.vcd");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Content-Disposition"),
              "attachment; filename=\"dln-bus.vcd\"");
    EXPECT_NE(reply->body.find("$var wire 1 ! i2c0_scl $end"), std::string::npos);
    EXPECT_NE(reply->body.find("#10000\n0\"\n"), std::string::npos); // the start, at once

    LivePage bare(sim);
    bare.start(0, "127.0.0.1");
    auto none = httplib::Client("127.0.0.1", bare.port()).Get("/bus.vcd");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->status, 404);
}

} // namespace
