// Scenario files: what they build, and error messages that name the file, place and problem.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/models/registry.h"
#include "dlnsim/scenario.h"
#include "dlnsim/session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace dlnsim;

namespace {

TEST(Scenario, BuildsAdapterDevicesAndFaults) {
    auto sim = LoadScenario(R"({
        "adapter": {"type": "0x0300", "hardwareVersion": 16909060, "i2cPorts": "2",
                    "spiPorts": 0, "i2cFrequency": "400000", "spiFrequency": 4000000},
        "i2c": [{"address": "0x68", "model": "register", "registers": {"0x10": "0x3c", "17": 5}},
                {"address": 32, "model": "register", "fill": "0xff"}],
        "faults": [{"call": "DlnI2cMasterRead", "code": "0x44", "nth": 2},
                   {"call": "DlnSpiMasterSetSS"}]
    })",
                            "test.json")
                   .build();
    const AdapterConfig &config = sim->config();
    EXPECT_EQ(config.hardwareType, 0x0300u);
    EXPECT_EQ(config.hardwareVersion, 0x01020304u);
    EXPECT_EQ(config.i2cPortCount, 2);
    EXPECT_EQ(config.spiPortCount, 0);
    EXPECT_EQ(config.i2cFrequency, 400000u);
    EXPECT_EQ(config.spiFrequency, 4000000u);
    EXPECT_EQ(config.serverVersion, AdapterConfig{}.serverVersion); // defaults where not given
    auto at68 = std::dynamic_pointer_cast<RegisterDevice>(sim->i2cDevice(0x68));
    ASSERT_NE(at68, nullptr);
    EXPECT_EQ(at68->reg(0x10), 0x3C);
    EXPECT_EQ(at68->reg(0x11), 5);
    EXPECT_EQ(at68->reg(0x12), 0);
    auto at20 = std::dynamic_pointer_cast<RegisterDevice>(sim->i2cDevice(0x20));
    ASSERT_NE(at20, nullptr);
    EXPECT_EQ(at20->reg(0x99), 0xFF);

    // The faults act: the second read fails, SetSS always does.
    Session session(sim);
    dln::wire::Request open;
    open.call = dln::wire::Call::OpenDevice;
    uint16_t handle = static_cast<uint16_t>(session.handle(open).words.at(0));
    dln::wire::Request read;
    read.call = dln::wire::Call::I2cRead;
    read.handle = handle;
    read.address = 0x68;
    read.length = 1;
    EXPECT_EQ(session.handle(read).result, DLN_RES_SUCCESS);
    EXPECT_EQ(session.handle(read).result, DLN_RES_I2C_NACK);
    EXPECT_EQ(session.handle(read).result, DLN_RES_SUCCESS);
    dln::wire::Request select;
    select.call = dln::wire::Call::SpiSetSS;
    select.handle = handle;
    EXPECT_EQ(session.handle(select).result, DLN_RES_FAIL);
}

TEST(Scenario, HardwareTypeByName) {
    struct Case {
        const char *name;
        uint32_t code;
    };
    for (Case c : {Case{"DLN-1", 0x0100}, Case{"DLN-2", 0x0200}, Case{"DLN-3", 0x0300},
                   Case{"DLN-4M", 0x0401}, Case{"DLN-4S", 0x0402}}) {
        std::string text = std::string(R"({"adapter": {"type": ")") + c.name + "\"}}";
        EXPECT_EQ(LoadScenario(text, "t").build()->config().hardwareType, c.code) << c.name;
    }
}

TEST(Scenario, ErrorsNameFilePlaceAndProblem) {
    struct Case {
        const char *text;
        const char *message;
    };
    const Case cases[] = {
        {R"({"i2c": [{"address": "0x50", "model": "register"},
                     {"address": "0x51", "model": "register"},
                     {"address": "0x80", "model": "register"}]})",
         R"(s.json: i2c[2].address: "0x80" is above 127)"},
        {R"({"i2c": [{"address": "0x5z", "model": "register"}]})",
         R"(s.json: i2c[0].address: "0x5z" is not a number)"},
        {R"({"i2c": [{"address": -1, "model": "register"}]})",
         "s.json: i2c[0].address: -1 is negative"},
        {R"({"i2c": [{"model": "register"}]})", R"(s.json: i2c[0]: no "address" given)"},
        {R"({"i2c": [{"address": 80}]})", R"(s.json: i2c[0]: no "model" given)"},
        {R"({"i2c": [{"address": 80, "model": "toaster"}]})",
         R"(s.json: i2c[0].model: unknown I2C model "toaster" (known: )"},
        {R"({"i2c": [{"address": 80, "model": "register"}, {"address": "0x50", "model": "register"}]})",
         "s.json: i2c[1].address: a second device at the same address"},
        {R"({"i2c": [{"address": 80, "model": "register", "registers": {"0x100": 1}}]})",
         R"(s.json: i2c[0].registers.0x100: "0x100" is above 255)"},
        {R"({"i2c": [{"address": 80, "model": "register", "colour": "red"}]})",
         "s.json: i2c[0].colour: unknown option"},
        {R"({"i2c": {"address": 80}})", "s.json: i2c: expected a list, found object"},
        {R"({"i2c": [7]})", "s.json: i2c[0]: expected an object, found number"},
        {R"({"spi": [{"ss": 4, "model": "loopback"}]})", "s.json: spi[0].ss: 4 is above 3"},
        {R"({"spi": [{"ss": 0, "model": "x"}]})", R"(s.json: spi[0].model: unknown SPI model "x")"},
        {R"({"spi": [{"model": "x"}]})", R"(s.json: spi[0]: no "ss")"},
        {R"({"adapter": {"type": "DLN-9"}})",
         R"(s.json: adapter.type: "DLN-9" is not an adapter type (DLN-1, DLN-2, DLN-3, DLN-4M, DLN-4S, or a number))"},
        {R"({"adapter": {"type": "0x1g"}})", R"(s.json: adapter.type: "0x1g" is not a number)"},
        {R"({"adapter": {"spiPorts": 0}, "spi": [{"ss": 0, "model": "loopback"}]})",
         "s.json: spi: devices given but adapter.spiPorts is 0"},
        {R"({"adapter": {"i2cFrequency": 99999999999999999999999}})",
         "s.json: adapter.i2cFrequency: 9.999999999999999e+22 is above 4294967295"},
        {R"({"adapter": {"i2cFrequency": "0xffffffffffffffffffff"}})",
         R"(s.json: adapter.i2cFrequency: "0xffffffffffffffffffff" is above 4294967295)"},
        {R"({"adapter": {"i2cPorts": 1.5}})",
         "s.json: adapter.i2cPorts: 1.5 is not a whole number"},
        {R"({"i2c": [{"address": 80, "model": "register"},
                     {"address": 81, "model": "register", "address": 82}]})",
         "s.json: i2c[1].address: given twice (a key may appear once in an object)"},
        {R"({"adapter": {}, "adapter": {}})", "s.json: adapter: given twice"},
        {R"({"adapter": {"i2cPorts": 256}})", "s.json: adapter.i2cPorts: 256 is above 255"},
        {R"({"adapter": {"portz": 1}})", "s.json: adapter.portz: unknown key"},
        {R"({"adapter": []})", "s.json: adapter: expected an object, found array"},
        {R"({"faults": [{"call": "DlnFly", "code": 79}]})",
         R"(s.json: faults[0].call: unknown call "DlnFly")"},
        {R"({"faults": [{"code": 79}]})", R"(s.json: faults[0]: no "call" name given)"},
        {R"({"faults": [{"call": "DlnConnect", "code": 1}]})",
         "s.json: faults[0].code: a fault needs a failure code (0x40 or above)"},
        {R"({"faults": [{"call": "DlnConnect", "nth": "first"}]})",
         R"(s.json: faults[0].nth: "first" is not a number)"},
        {R"({"faults": [{"call": "DlnConnect", "after": 3}]})",
         "s.json: faults[0].after: unknown option"},
        {R"({"faults": [{"call": "DlnConnect", "nth": 0}]})",
         "s.json: faults[0].nth: 0 is no call; the first call is 1"},
        {R"({"faults": [{"call": "DlnConnect", "code": "boom"}]})",
         R"(s.json: faults[0].code: "boom" is not a failure code (not-connected, invalid-handle, )"},
        {R"({"faults": [{"call": "DlnConnect", "address": 80}]})",
         "s.json: faults[0].address: DlnConnect has no I2C address to aim at"},
        {R"({"faults": [{"call": "DlnI2cMasterRead", "ss": 1}]})",
         "s.json: faults[0].ss: DlnI2cMasterRead has no slave-select line to aim at"},
        {R"({"faults": [{"call": "DlnI2cMasterRead", "address": 128}]})",
         "s.json: faults[0].address: 128 is above 127"},
        {R"({"devices": []})", "s.json: devices: unknown key"},
        {R"({"i2c": [{"address": 41, "model": "vl53l0x", "world": {"distanceMm": "far"}}]})",
         R"(s.json: i2c[0].world.distanceMm: "far" is not a number)"},
        {R"([1, 2])", "s.json: top level: expected an object, found array"},
        {R"({"i2c": [)", "s.json: not valid JSON: "},
        // Found by fuzzing: a number beyond a double escaped as a bare JSON library error.
        {R"({"randomFaults": {"seed": 2, "rate": 0.5e9999}})",
         "s.json: randomFaults.rate: a number out of range"},
        {R"({"i2c": [{"address": 80, "model": "vl53l0x", "world": {"path": [{"timeMs": 1e999}]}}]})",
         "s.json: i2c[0].world.path[0].timeMs: a number out of range"},
    };
    for (const Case &c : cases) {
        try {
            LoadScenario(c.text, "s.json");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ScenarioError &e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u)
                << "message: " << e.what() << "\nexpected start: " << c.message;
        }
    }
}

TEST(Scenario, MissingFileIsNamed) {
    try {
        LoadScenarioFile("/nonexistent/robot.json");
        ADD_FAILURE() << "accepted a missing file";
    } catch (const ScenarioError &e) {
        EXPECT_STREQ(e.what(), "/nonexistent/robot.json: cannot be read");
    }
}

TEST(Scenario, FilesTooLargeOrDumpingOverThemselvesAreRefused) {
    struct Case {
        std::string path, message;
    };
    std::string self =
        ::testing::TempDir() + std::to_string(getpid()) + "_scenario_dumps_into_itself.json";
    std::ofstream(self) << R"({"spi": [{"ss": 0, "model": "eeprom", "dump": ")" << self << "\"}]}";
    const Case cases[] = {
        {"/dev/zero", "/dev/zero: larger than 4 MiB; a scenario is a small JSON file"},
        {self, self + ": spi[0].dump: is the scenario file itself"},
    };
    for (const Case &c : cases) {
        try {
            LoadScenarioFile(c.path);
            ADD_FAILURE() << "accepted: " << c.path;
        } catch (const ScenarioError &e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
    std::remove(self.c_str());
}

TEST(Scenario, FaultsByNameAimedAtOneAddressForSomeCalls) {
    auto sim = LoadScenario(R"({
        "i2c": [{"address": 80, "model": "register"}, {"address": 81, "model": "register"}],
        "faults": [{"call": "DlnI2cMasterRead", "code": "timeout", "address": "0x51", "nth": 2},
                   {"call": "DlnI2cMasterWrite", "code": "nack", "address": 80, "count": 2}]
    })",
                            "t.json")
                   .build();
    Session session(sim);
    dln::wire::Request open;
    open.call = dln::wire::Call::OpenDevice;
    uint16_t handle = static_cast<uint16_t>(session.handle(open).words.at(0));
    auto call = [&](dln::wire::Call kind, uint8_t address) {
        dln::wire::Request request;
        request.call = kind;
        request.handle = handle;
        request.address = address;
        request.length = 1;
        if (kind == dln::wire::Call::I2cWrite)
            request.data = {0};
        return session.handle(request).result;
    };
    using dln::wire::Call;
    // The nth read counts reads at 0x51 only; the writes at 0x50 fail twice, then pass.
    const std::pair<Call, uint8_t> calls[] = {
        {Call::I2cRead, 0x50},  {Call::I2cRead, 0x51},  {Call::I2cRead, 0x50},
        {Call::I2cRead, 0x51},  {Call::I2cWrite, 0x51}, {Call::I2cWrite, 0x50},
        {Call::I2cWrite, 0x50}, {Call::I2cWrite, 0x50}, {Call::I2cRead, 0x51}};
    const uint16_t expected[] = {DLN_RES_SUCCESS,  DLN_RES_SUCCESS, DLN_RES_SUCCESS,
                                 DLN_RES_TIMEOUT,  DLN_RES_SUCCESS, DLN_RES_I2C_NACK,
                                 DLN_RES_I2C_NACK, DLN_RES_SUCCESS, DLN_RES_SUCCESS};
    for (size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(call(calls[i].first, calls[i].second), expected[i]) << "call " << i;
}

TEST(Scenario, RandomFaultsWithoutSeedTellTheSeedDrawn) {
    std::vector<std::string> notices;
    LoadScenario(R"({"randomFaults": {"rate": 0.1}})", "r.json", &notices);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].rfind("randomFaults: seed ", 0), 0u) << notices[0];
    EXPECT_NE(notices[0].find("into the scenario to repeat this run"), std::string::npos);
    notices.clear();
    LoadScenario(R"({"randomFaults": {"rate": 0.1, "seed": 7}})", "r.json", &notices);
    EXPECT_TRUE(notices.empty());
}

TEST(Scenario, BuiltInRobotLoadsAndMatchesItsFile) {
    std::ifstream file(std::string(DLNSIM_SOURCE_DIR) + "/sim/scenarios/robot.json");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(DefaultScenarioText(), text);
    auto sim = LoadScenario(DefaultScenarioText(), kDefaultScenarioName).build();
    EXPECT_EQ(sim->config().hardwareType, 0x0401u);
    EXPECT_NE(sim->i2cDevice(0x50), nullptr);
}

TEST(Scenario, EveryScenarioFileInTheTreeLoads) {
    int loaded = 0;
    for (const char *dir : {"/sim/scenarios", "/java/test/scenarios", "/tests/scenarios",
                            "/java/bench", "/java/api-test/scenarios"}) {
        std::filesystem::path path = std::string(DLNSIM_SOURCE_DIR) + dir;
        if (!std::filesystem::is_directory(path))
            continue;
        for (const auto &file : std::filesystem::directory_iterator(path))
            if (file.path().extension() == ".json") {
                EXPECT_NO_THROW(LoadScenarioFile(file.path().string()).build()) << file.path();
                ++loaded;
            }
    }
    EXPECT_GE(loaded, 1);
}

TEST(Registry, RegisterModelIsKnown) {
    auto names = I2cModelNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "register"), names.end());
    EXPECT_NE(MakeI2cModel("register", nlohmann::json::object()), nullptr);
}

} // namespace
