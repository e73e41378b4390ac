// Settings from CSV files of time and value: a laser path in the scenario or from the live
// page, any numeric setting over time in a timeline, and clear errors naming file and line.
#include "dlnsim/models/option_error.h"
#include "dlnsim/observation.h"
#include "dlnsim/scenario.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

using namespace dlnsim;
using nlohmann::json;

namespace {

// Writes text to a file in the test's temporary folder and gives its path.
std::string TempFile(const std::string &name, const std::string &text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

json StateAt(Simulator &sim, uint8_t address) {
    for (const DeviceView &device : sim.observe(0, 0).devices)
        if (device.bus == "i2c" && device.address == address)
            return device.state;
    return nullptr;
}

TEST(CsvSeries, LaserPathAndTimedSettingsFollowTheirFiles) {
    TempFile("csv_wall.csv", "time,distance\n0,800\n# the robot turned\n2,400\n\n4,400\n");
    TempFile("csv_sonar.csv", "0.5,120\n1.5,90.0\n");
    std::string scenario = TempFile("csv_scenario.json", R"({
        "i2c": [{"address": 41, "model": "vl53l0x", "world": {"path": {"csv": "csv_wall.csv"}}},
                {"address": 112, "model": "ultrasonic-ranger", "distanceCm": 300}],
        "timeline": [{"at": 10, "i2c": 112, "set": {"distanceCm": {"csv": "csv_sonar.csv"}}}]})");
    uint64_t clockUs = 0;
    auto sim = LoadScenarioFile(scenario).clock([&clockUs] { return clockUs; }).build();
    const std::pair<double, std::pair<double, int>> expected[] = {
        // seconds, then the wall (linear between rows) and the sonar (each row at its time)
        {0, {800, 300}},    {1, {600, 300}},    {3, {400, 300}},   {10.4, {400, 300}},
        {10.5, {400, 120}}, {11.4, {400, 120}}, {11.5, {400, 90}}, {60, {400, 90}},
    };
    for (const auto &[seconds, values] : expected) {
        clockUs = static_cast<uint64_t>(seconds * 1e6);
        json wall = StateAt(*sim, 41), sonar = StateAt(*sim, 112);
        EXPECT_DOUBLE_EQ(wall["distanceMm"].get<double>(), values.first) << seconds << " s";
        EXPECT_EQ(sonar["distanceCm"], values.second) << seconds << " s";
    }
    // From the live page, a path counts its times from the change; its file from dln-sim's
    // working folder, or as given.
    std::string wall = ::testing::TempDir() + "csv_wall.csv";
    sim->changeWorld({{"i2c", 41}, {"set", {{"path", {{"csv", wall}}}}}}, nullptr);
    clockUs += 1'000'000;
    EXPECT_DOUBLE_EQ(StateAt(*sim, 41)["distanceMm"].get<double>(), 600);
}

TEST(CsvSeries, BadFilesAreRefusedWithFileAndLine) {
    const std::pair<const char *, const char *> cases[] = {
        {"0,800\n1,x\n", "csv_bad.csv:2: expected a time in seconds, a comma and a value"},
        {"0,800\n2,700\n1,600\n", "csv_bad.csv:3: time 1 is before the time of the row above"},
        {"-1,800\n", "csv_bad.csv:1: time -1 is not from 0"},
        {"time,value\n", "csv_bad.csv: no rows of time and value"},
        {"0,800\n1,1200\n", "set.distanceCm: 1200 is outside 0..1000"},
    };
    std::string scenario = TempFile("csv_bad_scenario.json", R"({
        "i2c": [{"address": 112, "model": "ultrasonic-ranger"}],
        "timeline": [{"at": 1, "i2c": 112, "set": {"distanceCm": {"csv": "csv_bad.csv"}}}]})");
    for (const auto &[file, message] : cases) {
        TempFile("csv_bad.csv", file);
        try {
            LoadScenarioFile(scenario);
            ADD_FAILURE() << "accepted: " << file;
        } catch (const ScenarioError &e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
    auto sim = LoadScenarioFile(TempFile("csv_laser.json", R"({"i2c": [{"address": 41,
        "model": "vl53l0x"}]})"))
                   .build();
    try {
        sim->changeWorld(json::parse(R"({"i2c": 41, "set": {"path": {"csv": "no-such.csv"}}})"),
                         nullptr);
        ADD_FAILURE() << "accepted a missing file";
    } catch (const OptionError &e) {
        EXPECT_EQ(e.key + ": " + e.what(), "set.path.csv: no-such.csv: cannot be read");
    }
}

} // namespace
