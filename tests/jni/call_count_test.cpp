// Each adapter call is a round trip to the server, so a method may make no more calls than
// its connection sequence and its transfers need. The simulator's trace counts them.
#include "dlnsim/models/register_device.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

namespace {

using Calls = std::vector<std::string>;

const Calls kOpen = {"DlnConnect",
                     "DlnOpenDevice",
                     "DlnGetVersion",
                     "DlnI2cMasterGetPortCount",
                     "DlnI2cMasterGetFrequency",
                     "DlnI2cMasterEnable"};
const Calls kClose = {"DlnCloseHandle", "DlnDisconnect"};

Calls Sequence(const Calls &transfers) {
    Calls calls = kOpen;
    calls.insert(calls.end(), transfers.begin(), transfers.end());
    calls.insert(calls.end(), kClose.begin(), kClose.end());
    return calls;
}

TEST(CallCount, WriteMakesTheConnectionSequenceAndOneTransferOnly) {
    for (int count : {0, 1, 8, 253}) {
        SCOPED_TRACE("write of " + std::to_string(count) + " bytes");
        SimSession session(
            dlnsim::SimBuilder().i2c(0x50, std::make_shared<dlnsim::RegisterDevice>()));
        FakeJni jni;
        std::vector<jint> slots(255, 0x5A);
        slots[0] = 0x50;
        slots[1] = count;
        jintArray array = jni.array(slots);
        CaptureStdout([&] { Java_I2C_1DLN_write(jni.env(), nullptr, array); });
        EXPECT_EQ(session.calls(), Sequence({"DlnI2cMasterWrite"}));
    }
}

TEST(CallCount, ReadAndScanMakeTheirSequencesOnly) {
    struct Case {
        const char *name;
        jint (*method)(JNIEnv *, jclass, jintArray);
        Calls expected;
    };
    Calls scan = Sequence({"DlnI2cMasterScanDevices"});
    Calls twoScans = scan;
    twoScans.insert(twoScans.end(), scan.begin(), scan.end());
    const Case cases[] = {
        {"read", Java_I2C_1DLN_read, Sequence({"DlnI2cMasterRead"})},
        {"i2cScan (scans twice)", Java_I2C_1DLN_i2cScan, twoScans},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SimSession session(
            dlnsim::SimBuilder().i2c(0x50, std::make_shared<dlnsim::RegisterDevice>()));
        FakeJni jni;
        std::vector<jint> slots(255, 0);
        slots[0] = 0x50;
        slots[1] = 8;
        jintArray array = jni.array(slots);
        CaptureStdout([&] { c.method(jni.env(), nullptr, array); });
        EXPECT_EQ(session.calls(), c.expected);
    }
}

} // namespace
