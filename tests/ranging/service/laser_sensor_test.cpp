// The laser's one owner: calls of I2C_LaserMeasurement from two threads take turns, so every
// measurement of both runs whole and hands back the range the sensor sees.
#include "dlnsim/models/vl53l0x_sensor.h"
#include "platform/wait.h"
#include "ranging/service/laser_sensor.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// A simulated clock advanced by the library's waits, from any thread (the recorded waits of
// the other tests keep a plain list, which two threads must not share).
std::atomic<uint64_t> g_nowUs{0};
void AdvanceClock(uint32_t ms) {
    g_nowUs += static_cast<uint64_t>(ms) * 1000;
}

// Runs one laser operation through the Java method; returns slots 2 and 3 as one word.
int32_t CallLaser(jint code) {
    FakeJni jni;
    jintArray array = jni.array(std::vector<jint>{0x29, code, -1, -1, 0, 0, 0, 0, 0, 0});
    jni.values(array).resize(255, 0);
    Java_I2C_1DLN_I2C_1LaserMeasurement(jni.env(), nullptr, array);
    return jni.values(array)[2] << 8 | jni.values(array)[3];
}

size_t Count(const std::string &text, const std::string &line) {
    size_t count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++count;
    return count;
}

struct LaserThreads : ::testing::Test {
    LaserThreads() { PlatformSetWaitHook(AdvanceClock); }
    ~LaserThreads() override {
        PlatformSetWaitHook(nullptr);
        TheLaserSensor().forget();
    }
};

TEST_F(LaserThreads, MeasurementsFromTwoThreadsAreAllValid) {
    constexpr int kPerThread = 40;
    dlnsim::RangingSensor sensor =
        dlnsim::MakeRangingSensor({{"world", {{"distanceMm", 300}, {"noiseMm", 0}}}});
    SimSession session(
        dlnsim::SimBuilder().i2c(0x29, sensor.device).clock([] { return g_nowUs.load(); }));
    CaptureStdout([] {
        CallLaser(0);
        CallLaser(1);
    });

    std::vector<int32_t> ranges[2];
    const std::string out = CaptureStdout([&] {
        std::vector<std::thread> threads;
        for (std::vector<int32_t> &own : ranges)
            threads.emplace_back([&own] {
                for (int i = 0; i < kPerThread; ++i)
                    own.push_back(CallLaser(2));
            });
        for (std::thread &thread : threads)
            thread.join();
    });

    for (const std::vector<int32_t> &own : ranges)
        EXPECT_EQ(own, std::vector<int32_t>(kPerThread, 300));
    EXPECT_EQ(Count(out, "Range Status: "), 2u * kPerThread);
    EXPECT_EQ(Count(out, "Range Status: 0 : Range Valid\n"), 2u * kPerThread) << out;
    EXPECT_EQ(Count(out, "Laser Measuremnet=300  in mm=3.956044\n"), 2u * kPerThread);
}

} // namespace
