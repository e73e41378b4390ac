// The native methods of raw I2C: print, i2cScan, read, write.
#include "adapter/raw_i2c.h"
#include "jni/native_method.h"

#include <algorithm>
#include <cstdio>

namespace {

// The data slots from 2 end at the last copied slot; a read also echoes slots up to count + 3.
constexpr int32_t kMaxReadCount = kCopiedSlots - 4;
constexpr int32_t kMaxWriteCount = kCopiedSlots - 2;
constexpr int kFirstDataSlot = 2;

// The bus call takes a byte, so an address above 127 would otherwise lose its high bits and
// reach another device (0x129 would become the ranging sensor at 0x29).
bool AddressFits(const char *method, int32_t address, const char *nothingDone) {
    if (address >= 0 && address <= 0x7F)
        return true;
    printf("%s: device address %d is outside 0..127; %s\n", method, address, nothingDone);
    return false;
}

jint PrintBody(ParamSlots &) {
    return PrintAdapterAndDevices();
}

// A scan that reached the bus replaces the whole list of 128 entries, zeros after the last
// address found; one that did not leaves the list as it was.
void ListScan(const I2cScan &scan, ParamSlots &slots) {
    if (!scan.listed)
        return;
    for (int i = 0; i < kScanListLength; ++i)
        slots.slot[i] = i < scan.count ? scan.devices[i] : 0;
}

jint ScanBody(ParamSlots &slots) {
    // The scan runs twice on the same list; the second scan's entries reach Java.
    ListScan(ScanI2cBus(), slots);
    ListScan(ScanI2cBus(), slots);
    printf("Passing Count=%d\n", 10);
    for (int i = 0; i < 10; ++i)
        printf("Passing %d address=%d\n", i, slots.slot[i]);
    return 10;
}

jint ReadBody(ParamSlots &slots) {
    const int32_t count = slots.slot[1];
    if (count < 0 || count > kMaxReadCount) {
        printf("read: byte count %d is outside 0..%d; nothing read\n", count, kMaxReadCount);
        return 0;
    }
    if (!AddressFits("read", slots.slot[0], "nothing read"))
        return count + 4;
    const I2cBytes read =
        ReadI2cBytes(static_cast<uint8_t>(slots.slot[0]), static_cast<uint8_t>(count));
    // A failed read leaves the data slots as they were.
    if (read.outcome == Outcome::Done)
        std::copy(read.bytes, read.bytes + read.count, &slots.slot[kFirstDataSlot]);
    printf("Passing Read Data =%x\n", slots.slot[0]);
    for (int i = 0; i <= count + 3; ++i)
        printf("I2C Read Passing back  %d address=%d\n", i, slots.slot[i]);
    return count + 4;
}

jint WriteBody(ParamSlots &slots) {
    const int32_t count = slots.slot[1];
    if (count < 0 || count > kMaxWriteCount) {
        printf("write: byte count %d is outside 0..%d; nothing written\n", count, kMaxWriteCount);
        return 3;
    }
    if (!AddressFits("write", slots.slot[0], "nothing written"))
        return 3;
    uint8_t bytes[kMaxWriteCount] = {};
    for (int32_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(slots.slot[kFirstDataSlot + i]);
    const I2cBytes written =
        WriteI2cBytes(static_cast<uint8_t>(slots.slot[0]), static_cast<uint8_t>(count), bytes);
    // The bytes that went out come back as sent, so Java sees their low 8 bits.
    if (written.outcome == Outcome::Done)
        std::copy(written.bytes, written.bytes + written.count, &slots.slot[kFirstDataSlot]);
    printf("Passing Write Data =%x\n", slots.slot[0]);
    return 3;
}

constexpr NativeMethod kPrint{"print", ArrayNeed::None, false, false, 0, PrintBody, 1000};
constexpr NativeMethod kScan{"i2cScan", ArrayNeed::OutputTen, false, false, 10, ScanBody, 1000};
constexpr NativeMethod kRead{"read", ArrayNeed::Full, false, false, 0, ReadBody, 1000};
constexpr NativeMethod kWrite{"write", ArrayNeed::Full, false, false, 3, WriteBody, 1000};

} // namespace

I2C_DLN_EXPORT Java_I2C_1DLN_print(JNIEnv *env, jclass) {
    return RunNativeMethod(env, nullptr, kPrint);
}

I2C_DLN_EXPORT Java_I2C_1DLN_i2cScan(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kScan);
}

I2C_DLN_EXPORT Java_I2C_1DLN_read(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kRead);
}

I2C_DLN_EXPORT Java_I2C_1DLN_write(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kWrite);
}
