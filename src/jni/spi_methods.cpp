// The native methods of SPI: spiWriteRead, spiProgramEEPROM, spiEraseEEPROM.
#include "adapter/eeprom_programmer.h"
#include "adapter/spi_transfer.h"
#include "jni/native_method.h"

#include <cstdio>

namespace {

jint WriteReadBody(ParamSlots &slots) {
    // A refused count has printed its line; the 8 settings slots still go back.
    if (SpiWriteRead(slots.slot) < 0)
        return 3;
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

constexpr NativeMethod kWriteRead{"spiWriteRead", ArrayNeed::CountPlusEight, false, false, 3,
                                  WriteReadBody};
constexpr NativeMethod kProgram{"spiProgramEEPROM", ArrayNeed::Full, false, false, 3, ProgramBody};
constexpr NativeMethod kErase{"spiEraseEEPROM", ArrayNeed::Full, false, false, 3, EraseBody};

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
