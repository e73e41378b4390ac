// The marshalling of the native methods through a fake JNIEnv, without a JVM. No simulator is
// attached, so every operation stops at its failed connect.
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

std::vector<jint> Counting(size_t n) {
    std::vector<jint> values(n);
    std::iota(values.begin(), values.end(), 1000);
    return values;
}

TEST(JniMarshalling, ReadCopiesIn255SlotsAndBackTen) {
    FakeJni jni;
    std::vector<jint> values = Counting(300);
    values[0] = 0x50;
    values[1] = 20;
    jintArray array = jni.array(values);
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_read(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 24);
    EXPECT_EQ(jni.calls, (std::vector<std::string>{"GetArrayLength", "GetIntArrayRegion(0,255)",
                                                   "SetIntArrayRegion(0,10)"}));
    EXPECT_FALSE(jni.exceptionPending);
    EXPECT_EQ(jni.values(array), values); // a failed read hands the slots back unchanged
    // The echo covers slot 0 to slot 1 + 3, beyond the ten copied back.
    EXPECT_NE(out.find("I2C Read Passing back  23 address=1023\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("I2C Read Passing back  24 "), std::string::npos);
}

TEST(JniMarshalling, ReadReturnValueFollowsTheCount) {
    struct Case {
        jint count;
        jint expected;
    };
    for (Case c : {Case{0, 4}, Case{12, 16}, Case{251, 255}, Case{-3, 0}, Case{252, 0},
                   Case{INT32_MAX, 0}}) {
        FakeJni jni;
        std::vector<jint> values(255);
        values[1] = c.count;
        jintArray array = jni.array(values);
        jint result = -1;
        CaptureStdout([&] { result = Java_I2C_1DLN_read(jni.env(), nullptr, array); });
        EXPECT_EQ(result, c.expected) << "count " << c.count;
    }
}

TEST(JniMarshalling, OutOfRangeCountsAreRefusedWithoutTouchingTheBus) {
    FakeJni jni;
    std::vector<jint> values(255, 5);
    values[1] = 300;
    jintArray readArray = jni.array(values);
    values[1] = 254;
    jintArray writeArray = jni.array(values);
    std::string out = CaptureStdout([&] {
        Java_I2C_1DLN_read(jni.env(), nullptr, readArray);
        EXPECT_EQ(Java_I2C_1DLN_write(jni.env(), nullptr, writeArray), 3);
    });
    EXPECT_EQ(out, "read: byte count 300 is outside 0..251; nothing read\n"
                   "write: byte count 254 is outside 0..253; nothing written\n");
    EXPECT_EQ(jni.values(readArray)[2], 5);
}

// The bus takes a byte: 0x129 would otherwise reach the device at 0x29.
TEST(JniMarshalling, AddressesOutsideSevenBitsAreRefusedWithoutTouchingTheBus) {
    for (jint address : {128, 0x129, -1, INT32_MIN}) {
        FakeJni jni;
        std::vector<jint> values(255, 5);
        values[0] = address;
        values[1] = 2;
        jintArray readArray = jni.array(values);
        jintArray writeArray = jni.array(values);
        jint readResult = 0, writeResult = 0;
        std::string out = CaptureStdout([&] {
            readResult = Java_I2C_1DLN_read(jni.env(), nullptr, readArray);
            writeResult = Java_I2C_1DLN_write(jni.env(), nullptr, writeArray);
        });
        const std::string range = " is outside 0..127; ";
        EXPECT_EQ(out, "read: device address " + std::to_string(address) + range +
                           "nothing read\nwrite: device address " + std::to_string(address) +
                           range + "nothing written\n");
        EXPECT_EQ(readResult, 6);
        EXPECT_EQ(writeResult, 3);
        EXPECT_EQ(jni.values(readArray), values);
        EXPECT_EQ(jni.values(writeArray), values);
    }
}

TEST(JniMarshalling, ScanNeverReadsTheArrayAndWritesTenSlots) {
    FakeJni jni;
    jintArray array = jni.array(std::vector<jint>(12, -1));
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_i2cScan(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 10);
    EXPECT_EQ(jni.calls, (std::vector<std::string>{"GetArrayLength", "SetIntArrayRegion(0,10)"}));
    std::vector<jint> expected(10, 0);
    expected.push_back(-1);
    expected.push_back(-1);
    EXPECT_EQ(jni.values(array), expected);
    EXPECT_EQ(out.substr(0, 76), "Failed to connect to local DLN server\n"
                                 "Failed to connect to local DLN server\n");
}

TEST(JniMarshalling, SpiFrequencyAddsFourByteSlotsWithCarry) {
    struct Case {
        jint slots[4];
        const char *expected;
    };
    const Case cases[] = {
        {{0x40, 0x42, 0x0F, 0}, "1000000"},
        {{256, 0, 0, 0}, "256"},        // the carry goes into the second byte
        {{0x1FF, 0xFF, 0, 0}, "65791"}, // 0xFF00 + 0x1FF
        {{0, 0, 0, 0x80}, "2147483648"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        {{-1, 0, 0, 0}, "4294967295"}, // 32-bit wrapping, no undefined overflow
    };
    for (const Case &c : cases) {
        FakeJni jni;
        std::vector<jint> values(255, 0);
        std::copy(c.slots, c.slots + 4, values.begin() + 4);
        jintArray array = jni.array(values);
        std::string out =
            CaptureStdout([&] { Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
        EXPECT_EQ(out.substr(0, out.find("\n********\n")),
                  std::string("\n*******************\nSPI CPOL=0 CPHA=0 SS=0 freqReques=") +
                      c.expected)
            << c.slots[0] << " " << c.slots[1] << " " << c.slots[2] << " " << c.slots[3];
    }
}

TEST(JniMarshalling, BannerIsFourLinesAndReturnsZero) {
    FakeJni jni;
    jint result = -1;
    std::string out = CaptureStdout([&] { result = Java_I2C_1DLN_test(jni.env(), nullptr); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, "\n\rI2C_DLN native library, version 1.0.0"
                   "\n\rMade by the I2C_DLN developers; free software under the MIT License"
                   "\n\rThe licence text:"
                   "\n\rhttps://opensource.org/licenses/MIT\n\r");
    EXPECT_TRUE(jni.calls.empty());
}

} // namespace
