// The ranging sensor model's measurements, driven byte by byte as the bus would, at chosen
// times of the simulator's clock.
#include "dlnsim/models/option_error.h"
#include "dlnsim/models/vl53l0x_measurement.h"
#include "dlnsim/models/vl53l0x_sensor.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Model {
    // A sensor seeing world (the scenario's "world" object).
    static Model Seeing(const nlohmann::json &world) {
        return Model{dlnsim::MakeRangingSensor({{"world", world}})};
    }
    void write(Bytes bytes, uint64_t atUs = 0) { EXPECT_TRUE(sensor.device->write(bytes, atUs)); }
    Bytes read(uint8_t index, size_t count, uint64_t atUs = 0) {
        write({index}, atUs);
        Bytes bytes(count, 0xAA);
        EXPECT_TRUE(sensor.device->read(bytes, atUs));
        return bytes;
    }
    uint16_t read16(uint8_t index, uint64_t atUs) {
        Bytes bytes = read(index, 2, atUs);
        return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    }
    dlnsim::RangingSensor sensor;
};

TEST(Vl53l0xMeasurement, PowerOnTimingGivesTheBudgetTheDriverComputes) {
    Model model = Model::Seeing(nlohmann::json::object());
    // TCC 2029 + 590, DSS 2 x 2029 + 1380, pre-range 8061 + 660, final 13651 + 550, 2870.
    EXPECT_EQ(33849u, dlnsim::MeasurementTimeUs(*model.sensor.device));
    model.write({0x01, 0xC0}); // pre-range and final range only
    EXPECT_EQ(2870u + 8061 + 660 + 13651 + 550, dlnsim::MeasurementTimeUs(*model.sensor.device));
}

TEST(Vl53l0xMeasurement, RangingCompletesAfterItsTimeAndClearsThroughRegister0B) {
    Model model =
        Model::Seeing({{"distanceMm", 640}, {"noiseMm", 0}, {"measurementTimeUs", 30000}});
    model.write({0x00, 0x01}, 1000);
    EXPECT_EQ(Bytes{0x00}, model.read(0x00, 1, 1000)) << "the start bit is taken at once";
    EXPECT_EQ(Bytes{0x00}, model.read(0x13, 1, 30999));
    EXPECT_EQ(Bytes{0x04}, model.read(0x13, 1, 31000));
    const Bytes block = model.read(0x14, 12, 31000);
    EXPECT_EQ(11 << 3 | 0x01, block[0]) << "valid range, result ready";
    EXPECT_EQ(640, block[10] << 8 | block[11]);
    EXPECT_EQ(0x0A00, block[2] << 8 | block[3]) << "10 effective SPADs";
    EXPECT_EQ(625, block[6] << 8 | block[7]) << "2.0 MCPS / 0.64^2 = 4.88 MCPS in 9.7";
    model.write({0x0B, 0x01}, 31100);
    model.write({0x0B, 0x00}, 31100);
    EXPECT_EQ(Bytes{0x00}, model.read(0x13, 1, 31100));
    EXPECT_EQ(0, model.read(0x14, 1, 31100)[0] & 0x01);
}

TEST(Vl53l0xMeasurement, TheWorldDecidesRangeSignalAndStatus) {
    struct Case {
        const char *world;
        nlohmann::json options;
        uint64_t doneUs; // the measurement takes 1 ms
        uint8_t deviceStatus;
        uint16_t range;
    };
    const Case cases[] = {
        {"fixed target", {{"distanceMm", 500}, {"noiseMm", 0}}, 1000, 11, 500},
        {"beyond reach", {{"distanceMm", 3000}}, 1000, 4, 8190},
        {"dark target", {{"distanceMm", 800}, {"reflectance", 0.05}}, 1000, 4, 8190},
        {"moving target, halfway",
         {{"path", {{{"timeMs", 0}, {"distanceMm", 100}}, {{"timeMs", 1000}, {"distanceMm", 300}}}},
          {"noiseMm", 0}},
         500'000,
         11,
         200},
        {"moving target, after the last waypoint",
         {{"path", {{{"timeMs", 0}, {"distanceMm", 100}}, {{"timeMs", 1000}, {"distanceMm", 300}}}},
          {"noiseMm", 0}},
         5'000'000,
         11,
         300},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.world);
        nlohmann::json world = c.options;
        world["measurementTimeUs"] = 1000;
        Model model = Model::Seeing(world);
        model.write({0x00, 0x01}, c.doneUs - 1000);
        const Bytes block = model.read(0x14, 12, c.doneUs);
        EXPECT_EQ(c.deviceStatus, block[0] >> 3);
        EXPECT_EQ(c.range, block[10] << 8 | block[11]);
    }
}

TEST(Vl53l0xMeasurement, NoiseStaysWithinItsAmplitudeAndVaries) {
    Model model = Model::Seeing({{"distanceMm", 1000}, {"noiseMm", 3}, {"measurementTimeUs", 10}});
    std::vector<int> ranges;
    for (uint64_t t = 0; t < 40 * 100; t += 100) {
        model.write({0x00, 0x01}, t);
        model.read(0x13, 1, t + 50); // the driver looks at the interrupt status first
        ranges.push_back(model.read16(0x1E, t + 50));
    }
    for (int range : ranges)
        EXPECT_LE(std::abs(range - 1000), 3);
    EXPECT_GT(*std::max_element(ranges.begin(), ranges.end()),
              *std::min_element(ranges.begin(), ranges.end()));
}

TEST(Vl53l0xMeasurement, FractionalRangesComeInQuarterMillimetres) {
    Model model = Model::Seeing({{"distanceMm", 300.5}, {"noiseMm", 0}, {"measurementTimeUs", 10}});
    model.write({0x09, 0x01});
    EXPECT_EQ(Bytes{0x01}, model.read(0x09, 1));
    model.write({0x00, 0x01}, 0);
    model.read(0x13, 1, 10);
    EXPECT_EQ(1202, model.read16(0x1E, 10));
}

TEST(Vl53l0xMeasurement, CalibrationsLeaveTheirResultsOnPage6) {
    Model model = Model::Seeing({{"vhvSetting", 0x2A}, {"phaseCal", 0x13}});
    model.write({0x01, 0x01});
    model.write({0x00, 0x41}, 0);
    EXPECT_EQ(Bytes{0x04}, model.read(0x13, 1, 2000));
    model.write({0x0B, 0x01}, 2000);
    model.write({0x01, 0x02});
    model.write({0x00, 0x01}, 3000);
    EXPECT_EQ(Bytes{0x04}, model.read(0x13, 1, 5000));
    EXPECT_EQ(0x2A, model.sensor.device->reg(6, 0xCB));
    EXPECT_EQ(0x13, model.sensor.device->reg(6, 0xEE));
}

TEST(Vl53l0xMeasurement, ReferenceRateGrowsWithTheEnabledSpadsOfEachType) {
    Model model = Model::Seeing({{"measurementTimeUs", 10}});
    // SPADs 0 and 1 (non-aperture) and 12, 13, 14 (aperture).
    model.write({0xB0, 0x03, 0x70, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ((Bytes{0x03, 0x70, 0x00, 0x00, 0x00, 0x00}), model.read(0xB0, 6));
    model.write({0x00, 0x01}, 0);
    model.read(0x13, 1, 10);
    model.write({0xFF, 0x01});
    EXPECT_EQ(2 * 0x100 + 3 * 0x20, model.read16(0xB6, 10));
}

TEST(Vl53l0xMeasurement, ResetDropsAMeasurementUnderWay) {
    Model model = Model::Seeing({{"measurementTimeUs", 10}});
    model.write({0x00, 0x01}, 0);
    model.write({0xBF, 0x00}, 1);
    model.write({0xBF, 0x01}, 2);
    EXPECT_EQ(Bytes{0x00}, model.read(0x13, 1, 100));
}

TEST(Vl53l0xMeasurement, MalformedWorldsAreRefusedNamingThePlace) {
    const struct {
        nlohmann::json world;
        const char *place;
    } cases[] = {
        {{{"distanse", 300}}, "world.distanse"},
        {{{"reflectance", -0.5}}, "world.reflectance"},
        {{{"path", {{{"timeMs", 100}, {"distanceMm", 1}}, {{"timeMs", 50}, {"distanceMm", 2}}}}},
         "world.path[1].timeMs"},
        {{{"path", {{{"timeMs", 0}}}}}, "world.path[0]"},
        {{{"vhvSetting", 256}}, "world.vhvSetting"},
    };
    for (const auto &c : cases) {
        try {
            dlnsim::MakeRangingSensor({{"world", c.world}});
            ADD_FAILURE() << "accepted " << c.world.dump();
        } catch (const dlnsim::OptionError &e) {
            EXPECT_EQ(c.place, e.key) << e.what();
        }
    }
}

} // namespace
