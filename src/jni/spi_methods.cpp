// The native methods of SPI: spiWriteRead, spiProgramEEPROM, spiEraseEEPROM.
#include "adapter/eeprom_programmer.h"
#include "adapter/spi_transfer.h"
#include "jni/native_method.h"

#include <cstdio>

namespace {

// The data slots from 8 end at the last slot copied in from Java.
constexpr int kFirstDataSlot = 8;
constexpr int32_t kMaxSpiTransferCount = kCopiedSlots - kFirstDataSlot;
static_assert(kMaxSpiTransferCount <= kSpiBufferSize);

// Slots 4 to 7 hold the frequency one byte each, least significant first. Added up in 32 bits,
// so a slot above 255 carries into the next byte.
uint32_t RequestedFrequency(const ParamSlots &slots) {
    uint32_t frequency = 0;
    for (int i = 7; i >= 4; --i)
        frequency = frequency * 256u + static_cast<uint32_t>(slots.slot[i]);
    return frequency;
}

jint WriteReadBody(ParamSlots &slots) {
    const int32_t count = slots.slot[0];
    if (count < 0 || count > kMaxSpiTransferCount) {
        // The 8 settings slots still go back.
        printf("spiWriteRead: byte count %d is outside 0..%d; nothing transferred\n", count,
               kMaxSpiTransferCount);
        return 3;
    }
    SpiTransferRequest request;
    request.cpol = slots.slot[1];
    request.cpha = slots.slot[2];
    request.slaveSelect = slots.slot[3];
    request.frequency = RequestedFrequency(slots);
    request.count = static_cast<uint16_t>(count);
    for (int32_t i = 0; i < count; ++i)
        request.bytes[i] = static_cast<uint8_t>(slots.slot[kFirstDataSlot + i]);
    const SpiTransferResult result = SpiWriteRead(request);
    // Once the adapter was reached the received bytes replace the bytes sent, zeros after a
    // failed transfer; without a server the slots keep their values.
    if (result.connected) {
        for (int32_t i = 0; i < count; ++i)
            slots.slot[kFirstDataSlot + i] = result.received[i];
    }
    printf("Passing Write Data =%x\n", slots.slot[0]);
    return 3;
}

jint ProgramBody(ParamSlots &slots) {
    SpiProgramEEPROM();
    printf("Passing Write Data =%x\n", slots.slot[0]);
    return 3;
}

jint EraseBody(ParamSlots &slots) {
    SpiEraseEEPROM();
    printf("Passing Write Data =%x\n", slots.slot[0]);
    return 3;
}

constexpr NativeMethod kWriteRead{
    "spiWriteRead", ArrayNeed::CountPlusEight, false, false, 3, WriteReadBody, 1000};
constexpr NativeMethod kProgram{
    "spiProgramEEPROM", ArrayNeed::Full, false, false, 3, ProgramBody, 10000};
constexpr NativeMethod kErase{"spiEraseEEPROM", ArrayNeed::Full, false, false, 3, EraseBody, 1000};

} // namespace

I2C_DLN_EXPORT Java_I2C_1DLN_spiWriteRead(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kWriteRead);
}

I2C_DLN_EXPORT Java_I2C_1DLN_spiProgramEEPROM(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kProgram);
}

I2C_DLN_EXPORT Java_I2C_1DLN_spiEraseEEPROM(JNIEnv *env, jclass, jintArray array) {
    return RunNativeMethod(env, array, kErase);
}
